// The handover sheets and the inventory from any log ("zavctl report"):
// what a log line holds (texts, numbers, setup block, record) as the log's
// reader gives it, device by device, with any text in any field.
//
// Every '<' that a text of the log brings is followed by 'Q' (in the record:
// by the next byte, made 'Q', or by the markup after the field), so that no
// text can pass for markup of the page.
//
// Properties:
//  - every '<' on the page begins one of the page's own tags: no '<' from a
//    log or plan reaches the HTML unescaped;
//  - every row of the inventory has the header's cells, none starts a
//    formula, and the label, inventory number, remark, operator, message,
//    configuration and source of each device stand in its row whole.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "fleet/base/text_encoding.h"
#include "fleet/log/audit_log_reader.h"
#include "fleet/sheet/handover_sheet.h"
#include "fleet_fuzz.h"
#include "fuzz_check.h"

using namespace zav;
using zav_fuzz::Input;

namespace {

// Any text, in UTF-8 as the log holds it, each '<' followed by 'Q'.
std::string text(Input& in) {
    std::string bytes;
    const size_t length = in.byte() % 24;
    for (size_t i = 0; i < length; ++i) bytes += static_cast<char>(in.byte());
    std::string utf8;
    for (const char c : utf8_from_cp1252(bytes)) {
        utf8 += c;
        if (c == '<') utf8 += 'Q';
    }
    return utf8;
}

std::string one_of(Input& in, std::initializer_list<const char*> words) {
    const uint8_t choice = in.byte();
    if (choice % (words.size() + 1) == words.size()) return text(in);
    return *(words.begin() + choice % (words.size() + 1));
}

AuditEntry entry_of(Input& in, size_t line) {
    AuditEntry entry;
    entry.line = line;
    entry.time = one_of(in, {"2026-12-08T09:15:02+01:00", "2026-12-08 09:15"});
    entry.zavctl = text(in);
    entry.command = one_of(in, {"program", "verify", "read", "restore"});
    entry.port = text(in);
    entry.operator_name = text(in);
    const uint8_t flags = in.byte();
    if (flags & 1) entry.device_number = 1 + in.byte();
    if (flags & 2) entry.plan_row = 2 + in.byte();
    if (flags & 4) {
        std::array<uint8_t, kSetupBlockBytes> setup{};
        in.take(setup.data(), setup.size());
        entry.setup = setup;
    }
    if (flags & 8) {
        ConfigRecord record{};
        in.take(record.data(), record.size());
        for (size_t i = 0; i < record.size(); ++i) {
            if (record[i] != '<') continue;
            if (i + 1 < record.size()) record[i + 1] = 'Q';
            else record[i] = 'Q';
        }
        entry.record = record;
    }
    if (flags & 16) entry.label = text(in);
    entry.inventory_number = text(in);
    entry.remark = text(in);
    for (uint8_t n = in.byte() % 4; n > 0; --n) entry.plan_values.emplace_back(text(in), text(in));
    entry.file = text(in);
    entry.sha256 = text(in);
    entry.outcome = one_of(in, {"programmed", "unchanged", "verified", "differs", "read", "failed"});
    entry.message = text(in);
    for (uint8_t n = in.byte() % 3; n > 0; --n) {
        LoggedDifference difference{text(in), std::nullopt, std::nullopt};
        if (flags & 32) difference.expected = text(in);
        if (flags & 64) difference.found = text(in);
        entry.differences.push_back(difference);
    }
    return entry;
}

// The page's own tags, and nothing else after a '<'.
void check_markup(const std::string& page) {
    static const char* const kTags[] = {"html", "head",  "meta",   "title", "style", "body",    "section",
                                        "header", "span", "h1",    "h2",    "div",   "table",   "tr",
                                        "th",   "td",    "caption", "strong", "footer"};
    for (size_t at = page.find('<'); at != std::string::npos; at = page.find('<', at + 1)) {
        if (page.compare(at, 15, "<!DOCTYPE html>") == 0) continue;
        size_t name = at + 1;
        if (name < page.size() && page[name] == '/') ++name;
        size_t end = name;
        while (end < page.size() && ((page[end] >= 'a' && page[end] <= 'z') || (page[end] >= '0' && page[end] <= '9'))) {
            ++end;
        }
        bool known = false;
        for (const char* tag : kTags) known = known || page.compare(name, end - name, tag) == 0;
        const bool closed = end < page.size() && (page[end] == '>' || page[end] == ' ');
        if (!(known && closed)) std::fprintf(stderr, "not markup: %s\n", page.substr(at, 40).c_str());
        FUZZ_CHECK(known && closed && end > name);
    }
}

void check_inventory(const std::vector<SheetDevice>& devices) {
    const auto rows = zav_fuzz::checked_inventory(inventory_csv(devices));
    FUZZ_CHECK(rows.size() == devices.size() + 1);
    for (size_t d = 0; d < devices.size(); ++d) {
        const SheetDevice& device = devices[d];
        const std::vector<std::string>& cells = rows[d + 1];
        using zav_fuzz::holds;
        FUZZ_CHECK(holds(cells[0], device.label));
        FUZZ_CHECK(holds(cells[1], device.inventory_number));
        FUZZ_CHECK(holds(cells[2], device.remark));
        FUZZ_CHECK(holds(cells[4], device.operator_name));
        const size_t last = cells.size() - 1;
        FUZZ_CHECK(holds(cells[last - 3], device.message));
        FUZZ_CHECK(holds(cells[last - 1], device.file));
        FUZZ_CHECK(holds(cells[last], device.source));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    std::vector<SheetDevice> devices;
    for (size_t count = 1 + in.byte() % 4, line = 1; line <= count; ++line) {
        devices.push_back(sheet_device_of(entry_of(in, line), text(in)));
    }
    check_markup(handover_sheet_html(devices));
    check_inventory(devices);
    return 0;
}
