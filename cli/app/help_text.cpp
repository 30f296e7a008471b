#include "cli/app/help_text.h"

#include "cli/app/exit_codes.h"
#include "fleet/base/text_wrap.h"

namespace zav::cli {

namespace {

constexpr const char kHead[] =
    "Aufruf: zavctl [--port PORT] [--json] [--quiet] [--trace DATEI] BEFEHL ...\n"
    "\n"
    "Der ZAV 160 von der Kommandozeile: Konfiguration sichern, programmieren,\n"
    "prüfen und dokumentieren, für ein Gerät oder eine ganze Serie.\n"
    "\n"
    "Befehle:\n";

constexpr const char kCommandHelpHint[] =
    "  help BEFEHL              die Hilfe eines Befehls: Optionen und Beispiele\n"
    "    zavctl help program\n";

constexpr const char kSharedOptions[] =
    "  --port PORT     Linux: Gerätedatei (/dev/ttyUSB0, /dev/serial/by-id/...);\n"
    "                  Windows: COM1 bis COM256. Ohne --port gilt $ZAV_PORT.\n"
    "  --json          Ergebnis als JSON auf der Standardausgabe\n"
    "  -q, --quiet     nur Fehler melden: kein Fortschrittsbalken, keine Hinweise\n"
    "  --trace DATEI   die Spur: jeder Rahmen auf der Leitung mit Zeit und Bedeutung,\n"
    "                  für die Fehlersuche (docs/Trace.md); die Datei wird angelegt,\n"
    "                  bevor ein Gerät angesprochen wird, und ersetzt nie eine\n"
    "                  vorhandene; - schreibt sie auf die Standardfehlerausgabe\n";

constexpr const char kOverallOptions[] =
    "  --version       die Version von zavctl\n"
    "  -h, --help      dieser Text\n";

constexpr const char kTail[] =
    "\n"
    "Die Optionen aller Befehle (--port, --json, --quiet, --trace) dürfen auch\n"
    "hinter dem Befehl stehen: zavctl identify --port /dev/ttyUSB0\n"
    "\n"
    "Der Port wird mit 2400 Baud 8N1 ohne Flusssteuerung geöffnet, DTR und RTS\n"
    "bleiben inaktiv, und kein anderes Programm kann ihn zugleich benutzen.\n"
    "\n"
    "Exit-Codes:\n";

constexpr const char kExitCodeIndent[] = "       ";

// The table of cli/app/exit_codes.h, each meaning broken to the terminal's width
// under its code.
std::string exit_code_table() {
    std::string text;
    for (const ExitCodeMeaning& entry : kExitCodeMeanings) {
        std::string lines = wrapped(kExitCodeIndent + std::string(entry.meaning), kExitCodeIndent);
        const std::string code = "  " + std::to_string(entry.code);
        lines.replace(0, code.size(), code);
        text += lines + "\n";
    }
    return text;
}

}  // namespace

std::string overall_help(const std::vector<std::unique_ptr<Command>>& commands) {
    std::string text = kHead;
    for (const std::unique_ptr<Command>& command : commands) text += command->overview();
    text += kCommandHelpHint;
    text += "\nOptionen:\n";
    text += kSharedOptions;
    text += kOverallOptions;
    text += kTail;
    text += exit_code_table();
    return text;
}

std::string command_help(const Command& command) {
    return std::string(command.help()) + "\nOptionen aller Befehle:\n" + kSharedOptions;
}

}  // namespace zav::cli
