// zavctl restore BACKUP [--setup HEX] [--retries N] [--backup-dir DIR] [--no-backup] [--always]
//                       [--log FILE] [--operator NAME]
//
// Restore gives a device a backup back as program gives it a file
// (commands/program_device.h), but byte for byte as the backup stands.
#include <string>

#include "cli/app/command.h"
#include "cli/app/command_options.h"
#include "cli/commands/program_device.h"
#include "cli/output/reporter.h"
#include "core/config/config_image.h"

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

// A backup is given back byte for byte, as the device held it: the window's
// field checks did not judge it when it was read, and what the window would
// change in it is no part of the way back.
class BackupAsItStands final : public RecordForDevice {
public:
    const char* log_command() const override { return "restore"; }
    Outcome take(const ConfigurationSource& backup, DeviceLink& device, const Reporter& reporter) const override {
        reporter.line("Sicherung zurückspielen: " + backup.name);
        ConfigImage& image = device.state.image;
        return configuration_for_fitting(backup, {image.bytes[kSetupByte1], image.bytes[kSetupByte2]}, image);
    }
};

class RestoreCommand final : public Command {
public:
    RestoreCommand() : help_(with_shared_options(kHelp)) {}
    const char* name() const override { return "restore"; }
    const char* overview() const override {
        return "  restore SICHERUNG        eine Sicherung zurückspielen, Byte für Byte\n"
               "    zavctl --port /dev/ttyUSB0 restore 2026-12-08_091502_Geraet-1_1a2b3c4d.zcf\n";
    }
    const char* help() const override { return help_.c_str(); }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("SICHERUNG", settings_.file)->required();
        subcommand.add_option("--setup", settings_.setup);
        add_retries_option(subcommand, settings_.retries);
        add_backup_options(subcommand, settings_.backup);
        add_log_options(subcommand, settings_.log);
    }
    int run(const CommonOptions& common) override {
        return program_one_device(common, settings_, BackupAsItStands());
    }

private:
    std::string help_;
    ProgramSettings settings_;
};

}  // namespace

std::unique_ptr<Command> make_restore_command() { return std::make_unique<RestoreCommand>(); }

}  // namespace zav::cli
