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

void add_backup_options(CLI::App& subcommand, BackupOptions& backup) {
    subcommand.add_option("--backup-dir", backup.folder);
    subcommand.add_flag("--no-backup", backup.none);
    subcommand.add_flag("--always", backup.always);
}

void add_retries_option(CLI::App& subcommand, int& retries) {
    subcommand.add_option("--retries", retries)->check(CLI::Range(0, 10));
}

std::string with_shared_options(std::string help) {
    for (const auto& [mark, lines] : {std::pair<const char*, const char*>{"%BACKUP%", kBackupOptionsHelp},
                                      std::pair<const char*, const char*>{"%LOG%", kLogOptionsHelp}}) {
        const size_t at = help.find(mark);
        if (at != std::string::npos) help.replace(at, std::string(mark).size(), lines);
    }
    return help;
}

Outcome only_with_series(const std::string& option) {
    return failure(kExitUsage, option + " gilt nur für eine Serie (--series).");
}

}  // namespace zav::cli
