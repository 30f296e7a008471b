// The module's face to the page: class ZavCore, plain JavaScript values in
// and out. Every text crosses through page_text.h; everything decided
// behind these calls is the core's and the fleet layer's.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <cstdio>
#include <cstring>

#include "core/app/access_code.h"
#include "core/app/window_texts.h"
#include "core/config/config_form.h"
#include "core/link/link_messages.h"
#include "core/setup/setup_block.h"
#include "web/binding/page_commands.h"
#include "web/binding/page_text.h"

namespace zav::web {

namespace {

using emscripten::val;

// The lists of the configuration window, by control id.
constexpr int kListIds[] = {kIdAlarmSelector, kIdAlarmMemory, kIdNumber,          kIdManual,
                            kIdRelaySelector, kIdRelayFiveTone, kIdRelayDoubleTone};

const char* caption_text(Caption caption) {
    switch (caption) {
        case Caption::kConnect: return kCaptionConnect;
        case Caption::kConfiguration: return kCaptionConfiguration;
        case Caption::kConfigurationForm: return kCaptionConfigurationForm;
        case Caption::kSetup: return kCaptionSetup;
        case Caption::kSetupForm: return kCaptionSetupForm;
        case Caption::kInfo: return kCaptionInfo;
        case Caption::kNone: break;
    }
    return "";
}

val text_list(const std::vector<std::string>& lines) {
    val list = val::array();
    for (const std::string& line : lines) list.call<void>("push", page_text(line));
    return list;
}

void take_text(const val& from, const char* key, char* field, size_t field_bytes) {
    const val value = from[key];
    if (value.isUndefined() || value.isNull()) return;
    const std::string text = program_text(value.as<std::string>());
    std::snprintf(field, field_bytes, "%s", text.c_str());
}

void take_selection(const val& from, const char* key, int& selection) {
    const val value = from[key];
    if (value.isNumber()) selection = value.as<int>();
}

class ZavCore {
public:
    // ---- The link -----------------------------------------------------------

    val begin(int command, int block_length) {
        return link_step(commands_.link().begin(static_cast<uint8_t>(command), static_cast<uint8_t>(block_length)));
    }
    val receive(const val& bytes) {
        const std::string data = bytes_from_page(bytes);
        return link_step(commands_.link().receive(reinterpret_cast<const uint8_t*>(data.data()), data.size()));
    }
    val silence() { return link_step(commands_.link().silence()); }
    bool linkRunning() { return commands_.link().running(); }

    // ---- The main window and the info window -----------------------------------

    val connect() { return step(commands_.connect()); }
    val infoLines() { return text_list(commands_.info_lines()); }
    bool isAccessCode(const std::string& text) { return is_access_code(program_text(text).c_str()); }
    val portOpenFailed(const std::string& name) {
        char text[96];
        std::snprintf(text, sizeof text, kPortOpenFailed, program_text(name).c_str());
        return page_text(text);
    }

    // ---- The configuration window -------------------------------------------

    val openConfiguration() {
        commands_.open_configuration();
        return form();
    }
    // A field's change: the form as the page shows it, then the handler;
    // answers the form and the mask of what changed (config_form.h).
    val fieldChanged(int control_id, const val& shown) {
        take_form(shown);
        val answer = val::object();
        answer.set("changed", commands_.field_changed(control_id));
        answer.set("form", form());
        return answer;
    }
    val read() { return step(commands_.read_configuration()); }
    val verify(const val& shown) {
        take_form(shown);
        return step(commands_.verify_configuration());
    }
    val program(const val& shown) {
        take_form(shown);
        return step(commands_.program_configuration());
    }
    val saveFile(const val& shown) {
        take_form(shown);
        return step(commands_.save_file());
    }
    val saveText(const val& shown) {
        take_form(shown);
        return step(commands_.save_text());
    }
    val loadFile(const val& bytes, const std::string& name) {
        return step(commands_.load_file(bytes_from_page(bytes), name));
    }

    // ---- The setup window ---------------------------------------------------

    val setupGroups() {
        val groups = val::array();
        for (const SetupGroup& group : kSetupGroups) {
            val entry = val::object();
            entry.set("name", page_text(group.name));
            val options = val::array();
            for (int option = group.first_option; option <= group.last_option; ++option) {
                val item = val::object();
                item.set("option", option);
                item.set("text", page_text(kSetupOptionTexts[option]));
                options.call<void>("push", item);
            }
            entry.set("options", options);
            groups.call<void>("push", entry);
        }
        return groups;
    }
    // The main window's own texts, for its menu's "Info" and version box.
    val mainWindowTexts() {
        val texts = val::object();
        texts.set("captionConnect", page_text(kCaptionConnect));
        texts.set("captionConfiguration", page_text(kCaptionConfiguration));
        texts.set("captionInfo", page_text(kCaptionInfo));
        texts.set("noInfo", page_text(kNoInfo));
        texts.set("version", page_text(kVersionText));
        return texts;
    }
    int optionClicked(int options, int option) {
        return click_setup_option_mask(static_cast<uint16_t>(options), option);
    }
    val readSetup() { return step(commands_.read_setup()); }
    val writeSetup(int options) { return step(commands_.write_setup(static_cast<uint16_t>(options))); }

    // ---- A transaction's end ------------------------------------------------

    val transactionEnded(int result) { return step(commands_.transaction_ended(static_cast<uint32_t>(result))); }
    val transactionStopped(bool port_lost) { return step(commands_.transaction_stopped(port_lost)); }

private:
    val link_step(const LinkStep& step) {
        val answer = val::object();
        val sends = val::array();
        for (const std::vector<uint8_t>& frame : step.sends) sends.call<void>("push", bytes_to_page(frame.data(), frame.size()));
        answer.set("sends", sends);
        val progress = val::array();
        for (uint32_t block : step.progress) progress.call<void>("push", block);
        answer.set("progress", progress);
        answer.set("ended", step.ended);
        answer.set("result", step.result);
        answer.set("frames", step.frames);
        return answer;
    }

    val form() {
        const ConfigForm& f = commands_.form();
        val shown = val::object();
        shown.set("coding", page_text(f.coding));
        shown.set("deadTime", page_text(f.dead_time));
        shown.set("alarmPause", page_text(f.alarm_pause));
        shown.set("fiveToneCount", page_text(f.five_tone_count));
        shown.set("fiveTone", page_text(f.five_tone));
        shown.set("onTime", page_text(f.on_time));
        shown.set("alarmSelector", f.alarm_selector);
        shown.set("alarmMemory", f.alarm_memory);
        shown.set("number", f.number);
        shown.set("manual", f.manual);
        shown.set("relaySelector", f.relay_selector);
        shown.set("relayFiveTone", f.relay_five_tone);
        shown.set("relayDoubleTone", f.relay_double_tone);
        shown.set("relayDoubleToneEnabled", f.relay_double_tone_enabled);
        shown.set("relayControlsEnabled", f.relay_controls_enabled);
        val lists = val::object();
        for (int id : kListIds) {
            val items = val::array();
            const int count = list_item_count(commands_.window_state(), f, id);
            for (int p = 0; p < count; ++p) {
                items.call<void>("push", page_text(list_item_text(commands_.window_state(), f, id, p)));
            }
            lists.set(id, items);
        }
        shown.set("lists", lists);
        return shown;
    }

    // The controls' values as the page shows them; the number of "Nummer"
    // items and the enabled states are the form's own.
    void take_form(const val& shown) {
        if (shown.isUndefined() || shown.isNull()) return;
        ConfigForm& f = commands_.form();
        take_text(shown, "coding", f.coding, kAlarmTextBytes);
        take_text(shown, "deadTime", f.dead_time, kFieldTextBytes);
        take_text(shown, "alarmPause", f.alarm_pause, kFieldTextBytes);
        take_text(shown, "fiveToneCount", f.five_tone_count, kFieldTextBytes);
        take_text(shown, "fiveTone", f.five_tone, kFieldTextBytes);
        take_text(shown, "onTime", f.on_time, kFieldTextBytes);
        take_selection(shown, "alarmSelector", f.alarm_selector);
        take_selection(shown, "alarmMemory", f.alarm_memory);
        take_selection(shown, "number", f.number);
        take_selection(shown, "manual", f.manual);
        take_selection(shown, "relaySelector", f.relay_selector);
        take_selection(shown, "relayFiveTone", f.relay_five_tone);
        take_selection(shown, "relayDoubleTone", f.relay_double_tone);
    }

    val step(const PageStep& s) {
        val answer = val::object();
        if (s.transaction) {
            val transaction = val::object();
            transaction.set("command", s.command);
            transaction.set("blockLength", s.block_length);
            transaction.set("progressEnd", s.progress_end);
            answer.set("transaction", transaction);
        } else {
            answer.set("transaction", val::null());
        }
        answer.set("caption", page_text(caption_text(s.caption)));
        answer.set("error", s.error);
        answer.set("message", page_text(s.message));
        answer.set("details", text_list(s.details));
        if (s.download_bytes.empty()) {
            answer.set("download", val::null());
        } else {
            val download = val::object();
            download.set("name", s.download_name);
            download.set("bytes", bytes_to_page(s.download_bytes.data(), s.download_bytes.size()));
            answer.set("download", download);
        }
        answer.set("form", s.show_form ? form() : val::null());
        answer.set("options", s.show_options ? val(s.options) : val::null());
        answer.set("deviceDataValid", s.device_data_valid);
        return answer;
    }

    PageCommands commands_;
};

}  // namespace

EMSCRIPTEN_BINDINGS(zavkonfig) {
    emscripten::class_<ZavCore>("ZavCore")
        .constructor<>()
        .function("begin", &ZavCore::begin)
        .function("receive", &ZavCore::receive)
        .function("silence", &ZavCore::silence)
        .function("linkRunning", &ZavCore::linkRunning)
        .function("connect", &ZavCore::connect)
        .function("infoLines", &ZavCore::infoLines)
        .function("mainWindowTexts", &ZavCore::mainWindowTexts)
        .function("isAccessCode", &ZavCore::isAccessCode)
        .function("portOpenFailed", &ZavCore::portOpenFailed)
        .function("openConfiguration", &ZavCore::openConfiguration)
        .function("fieldChanged", &ZavCore::fieldChanged)
        .function("read", &ZavCore::read)
        .function("verify", &ZavCore::verify)
        .function("program", &ZavCore::program)
        .function("saveFile", &ZavCore::saveFile)
        .function("saveText", &ZavCore::saveText)
        .function("loadFile", &ZavCore::loadFile)
        .function("setupGroups", &ZavCore::setupGroups)
        .function("optionClicked", &ZavCore::optionClicked)
        .function("readSetup", &ZavCore::readSetup)
        .function("writeSetup", &ZavCore::writeSetup)
        .function("transactionEnded", &ZavCore::transactionEnded)
        .function("transactionStopped", &ZavCore::transactionStopped);
}

}  // namespace zav::web
