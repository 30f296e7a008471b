// zavctl restore BACKUP [--setup HEX] [--retries N] [--backup-dir DIR] [--no-backup] [--always]
//                       [--log FILE] [--operator NAME]
#include "cli/app/command.h"
#include "cli/app/command_options.h"

namespace zav::cli {

namespace {

constexpr const char kHelp[] =
    "Aufruf: zavctl --port PORT restore SICHERUNG [--setup HEX] [--retries N]\n"
    "              [--backup-dir ORDNER] [--no-backup] [--always]\n"
    "              [--log DATEI] [--operator NAME]\n"
    "\n"
    "Spielt eine Sicherung zurück: eine Konfigurationsdatei, wie program sie vor dem\n"
    "Schreiben ablegt oder read sie schreibt. Es geht zu wie bei program, nur\n"
    "bekommt das Gerät die Sicherung Byte für Byte so, wie sie ist (auch was das\n"
    "Konfigurationsfenster nicht annähme: es ist, was ein Gerät hielt). Auch vor\n"
    "dem Zurückspielen wird die jetzige Konfiguration des Geräts gesichert, und ein\n"
    "Gerät, das die Sicherung schon hält, wird nicht beschrieben. Im Protokoll\n"
    "steht \"restore\".\n"
    "\n"
    "Optionen:\n"
    "  --setup HEX       der Setup-Block, den das Gerät haben muss (10 Hex-Ziffern)\n"
    "  --retries N       Wiederholungen wie bei program (Vorgabe 2; 0: nie)\n"
    "%BACKUP%"
    "%LOG%"
    "\n"
    "Beispiel:\n"
    "  zavctl --port /dev/ttyUSB0 restore 2026-12-08_091502_LF-20-Fahrer_1a2b3c4d.zcf\n";

class RestoreCommand final : public Command {
public:
    RestoreCommand() : help_(kHelp) {
        help_.replace(help_.find("%BACKUP%"), 8, kBackupOptionsHelp);
        help_.replace(help_.find("%LOG%"), 5, kLogOptionsHelp);
        options_.restore = true;
    }
    const char* name() const override { return "restore"; }
    const char* overview() const override {
        return "  restore SICHERUNG        eine Sicherung zurückspielen, Byte für Byte\n"
               "    zavctl --port /dev/ttyUSB0 restore 2026-12-08_091502_Geraet-1_1a2b3c4d.zcf\n";
    }
    const char* help() const override { return help_.c_str(); }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("SICHERUNG", options_.file)->required();
        subcommand.add_option("--setup", options_.setup);
        subcommand.add_option("--retries", options_.retries)->check(CLI::Range(0, 10));
        add_backup_options(subcommand, options_);
        add_log_options(subcommand, options_.log);
    }
    int run(const CommonOptions& common) override { return command_program(common, options_); }

private:
    std::string help_;
    ProgramOptions options_;
};

}  // namespace

std::unique_ptr<Command> make_restore_command() { return std::make_unique<RestoreCommand>(); }

}  // namespace zav::cli
