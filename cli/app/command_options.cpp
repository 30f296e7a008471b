#include "cli/app/command_options.h"

namespace zav::cli {

const char kLogOptionsHelp[] =
    "  --log DATEI       das Protokoll: je Gerät eine JSON-Zeile (Zeit, Bearbeiter,\n"
    "                    Gerät, Datensatz mit SHA-256, Sicherung, Ergebnis),\n"
    "                    angehängt und auf den Datenträger geschrieben, bevor das\n"
    "                    nächste Gerät beginnt; \"zavctl report\" macht daraus die\n"
    "                    Übergabeblätter.\n"
    "                    Eine Serie ohne --log schreibt zavctl-serie-DATUM-ZEIT.jsonl\n"
    "                    in den aktuellen Ordner.\n"
    "  --operator NAME   der Bearbeiter im Protokoll (sonst der Anmeldename)\n";

const char kBackupOptionsHelp[] =
    "  --backup-dir ORDNER  dorthin die Sicherungen; sonst Linux:\n"
    "                    $XDG_STATE_HOME/zavkonfig/sicherungen (ohne XDG_STATE_HOME:\n"
    "                    ~/.local/state/zavkonfig/sicherungen), Windows:\n"
    "                    %LOCALAPPDATA%\\zavkonfig\\Sicherungen\n"
    "  --no-backup       keine Sicherung\n"
    "  --always          auch ein Gerät programmieren, das die Konfiguration schon\n"
    "                    hält\n";

void add_log_options(CLI::App& subcommand, LogOptions& log) {
    subcommand.add_option("--log", log.file);
    subcommand.add_option("--operator", log.operator_name);
}

void add_backup_options(CLI::App& subcommand, ProgramOptions& options) {
    subcommand.add_option("--backup-dir", options.backup_dir);
    subcommand.add_flag("--no-backup", options.no_backup);
    subcommand.add_flag("--always", options.always);
}

Outcome only_with_series(const std::string& option) {
    return failure(kExitUsage, option + " gilt nur für eine Serie (--series).");
}

}  // namespace zav::cli
