// zavctl selftest: adapter and cable checked with a loopback plug
// (device/loop_test.h), the result in one line.
#include <algorithm>
#include <cstdio>

#include "cli/app/command.h"
#include "cli/device/loop_test.h"
#include "cli/device/port_opening.h"
#include "cli/output/reporter.h"
#include "cli/platform/console.h"
#include "cli/platform/serial_port.h"
#include "core/link/link_messages.h"
#include "fleet/base/hex.h"

namespace zav::cli {

namespace {

constexpr const char kDeviceAnswers[] = "ein ZAV 160 antwortet: für den Selbsttest den Prüfstecker anschließen";

// "4,17": milliseconds as a German reader writes them.
std::string milliseconds(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", ms);
    std::string shown = text;
    const size_t point = shown.find('.');
    if (point != std::string::npos) shown[point] = ',';
    return shown;
}

const char* result_key(LoopVerdict verdict) {
    switch (verdict) {
        case LoopVerdict::kOk: return "ok";
        case LoopVerdict::kNoEcho: return "no_echo";
        case LoopVerdict::kWrongBytes: return "wrong_bytes";
        case LoopVerdict::kBytesLost: return "bytes_lost";
        case LoopVerdict::kWrongSpeed: return "wrong_speed";
        case LoopVerdict::kDeviceAnswers: return "device_answers";
        case LoopVerdict::kOtherAnswer: return "other_answer";
        case LoopVerdict::kNotSent: return "not_sent";
        case LoopVerdict::kLineGone: return "line_gone";
        case LoopVerdict::kInterrupted: return "interrupted";
    }
    return "";
}

// The one line that says how it went, and the exit code.
Outcome told(const LoopFindings& found) {
    const std::string of_all = " von " + std::to_string(kLoopBytes);
    switch (found.verdict) {
        case LoopVerdict::kOk:
            return success("Schleife OK (" + milliseconds(found.byte_time_ms) + " ms je Byte)");
        case LoopVerdict::kNoEcho:
            return failure(kExitLink, "Kein Echo: Adapter oder Kabel prüfen (ist der Prüfstecker aufgesteckt?)");
        case LoopVerdict::kWrongBytes:
            if (found.wrong_bytes == 0) {
                return failure(kExitLink, "Falsche Bytes: " + std::to_string(found.bytes_back) + " statt " +
                                              std::to_string(kLoopBytes) + " kamen zurück: Adapter oder Kabel prüfen");
            }
            return failure(kExitLink, "Falsche Bytes: " + std::to_string(found.wrong_bytes) + of_all +
                                          " kamen verändert zurück (" + hex_text({uint8_t(found.first_wrong)}) +
                                          " als " + hex_text({found.first_wrong_back}) +
                                          "): Adapter oder Kabel prüfen");
        case LoopVerdict::kBytesLost:
            return failure(kExitLink, "Bytes verloren: nur " + std::to_string(found.bytes_back) + of_all +
                                          " kamen zurück: Adapter oder Treiber prüfen");
        case LoopVerdict::kWrongSpeed:
            return failure(kExitLink, "Falsche Geschwindigkeit: " + milliseconds(found.byte_time_ms) +
                                          " ms je Byte statt " + milliseconds(kByteTimeMs) +
                                          " ms (2400 Baud): Adapter oder Treiber prüfen");
        case LoopVerdict::kDeviceAnswers: return failure(kExitRefused, kDeviceAnswers);
        case LoopVerdict::kOtherAnswer:
            return failure(kExitLink, "Weder Echo noch ZAV 160: es kam " + hex_text(found.answer, " "));
        case LoopVerdict::kNotSent:
            return failure(kExitLink, "Die Bytes gingen nicht in der Zeit hinaus: Adapter oder Treiber prüfen");
        case LoopVerdict::kLineGone:
            return failure(kExitLink, kConnectionLost, "Die Leitung ist weg (Adapter abgezogen?).");
        case LoopVerdict::kInterrupted: return failure(kExitInterrupted, "Abgebrochen.");
    }
    return failure(kExitLink, kConnectionLost);
}

class SelftestCommand final : public Command {
public:
    const char* name() const override { return "selftest"; }
    const char* overview() const override {
        return "  selftest                 Adapter und Kabel prüfen, mit dem Prüfstecker\n"
               "    zavctl --port /dev/ttyUSB0 selftest\n";
    }
    const char* help() const override {
        return "Aufruf: zavctl --port PORT selftest [--json]\n"
               "\n"
               "Prüft Adapter und Kabel mit einem Prüfstecker (Schleife: Pin 2 und 3 des\n"
               "9-poligen Steckers verbunden, TX an RX): jeder Bytewert geht mit 2400 Baud 8N1\n"
               "hinaus und muss unverändert zurückkommen, und die Zeit je Byte muss zu\n"
               "2400 Baud passen (4,17 ms). Das Ergebnis steht in einer Zeile: \"Schleife OK\"\n"
               "oder was fehlt (kein Echo, falsche oder verlorene Bytes, falsche\n"
               "Geschwindigkeit).\n"
               "\n"
               "In ein Gerät wird nie etwas geschrieben. Zuerst gehen drei Bytes hinaus, die\n"
               "ein ZAV 160 verwirft (kein Rahmen); kommt kein Echo, fragt zavctl mit der\n"
               "Erkennung, ob ein Gerät antwortet, und meldet dann \"ein ZAV 160 antwortet:\n"
               "für den Selbsttest den Prüfstecker anschließen\".\n"
               "\n"
               "Exit-Code 0: Schleife OK; 3: die Schleife hat einen Fehler (oder kein\n"
               "Prüfstecker); 4: statt eines Echos antwortet ein ZAV 160.\n"
               "\n"
               "Beispiel:\n"
               "  zavctl --port /dev/ttyUSB0 selftest\n";
    }
    void add_to(CLI::App&) override {}
    int run(const CommonOptions& common) override;
};

int SelftestCommand::run(const CommonOptions& common) {
    const Reporter reporter(common.json, common.quiet);
    const std::string port = chosen_port(common.port);
    if (port.empty()) return reporter.fail(no_port_given());
    std::unique_ptr<SerialLine> line;
    const Outcome opened = open_port(port, line);
    if (!opened.ok()) return reporter.fail(opened);
    reporter.note("Selbsttest an " + shown_name(port) + ": jeder Bytewert hin und zurück, 2400 Baud 8N1 ...");
    const LoopFindings found = test_loop(*line, system_clock());
    line.reset();

    const Outcome outcome = told(found);
    nlohmann::json document = {{"port", json_name(port)},
                               {"result", result_key(found.verdict)},
                               {"message", json_text(outcome.message)},
                               {"exit_code", outcome.exit_code},
                               {"bytes_sent", found.bytes_sent},
                               {"bytes_back", found.bytes_back},
                               {"wrong_bytes", found.wrong_bytes},
                               {"byte_time_ms", nullptr},
                               {"expected_byte_time_ms", kByteTimeMs}};
    if (found.byte_time_ms > 0) document["byte_time_ms"] = found.byte_time_ms;
    if (found.verdict == LoopVerdict::kDeviceAnswers) {
        const std::string setup = hex_text(found.answer);
        document["setup"] = setup.empty() ? nlohmann::json() : nlohmann::json(setup);
    }
    reporter.document(document);
    if (outcome.ok()) {
        reporter.line(outcome.message);
        return kExitOk;
    }
    return reporter.fail(outcome, true);
}

}  // namespace

std::unique_ptr<Command> make_selftest_command() { return std::make_unique<SelftestCommand>(); }

}  // namespace zav::cli
