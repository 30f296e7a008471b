// What the windowed program's windows decide, for the page: the connect of
// the main window, the configuration window's fields, files and device
// commands, the setup window's options and commands, and the info window's
// lines. Each command answers with a step for the page to carry out (see
// PageStep); a transaction's end comes back through transaction_ended, and
// the next step follows from it. The page shows, asks and carries out; it
// decides nothing of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/config/config_form.h"
#include "core/link/shared_state.h"
#include "web/binding/page_link.h"

namespace zav::web {

enum class Caption {
    kNone,
    kConnect,            // "ZAV-Verbinden"
    kConfiguration,      // "ZAV-Konfiguration"
    kConfigurationForm,  // "ZAV Konfiguration": a field error
    kSetup,              // "ZAV-Setup"
    kSetupForm,          // "ZAV Setup": an option group left open
    kInfo,               // "ZAV-Info"
};

// One step for the page, in the order the page carries out its parts: a
// file to offer, the form or options to show, the transaction to run, else
// the message box (with the lines that say more under it); the device-data
// flag changes once the box is closed, as in the window.
struct PageStep {
    bool transaction = false;
    uint8_t command = 0;
    uint8_t block_length = 0;
    int progress_end = 0;

    Caption caption = Caption::kNone;
    bool error = false;
    std::string message;               // Windows-1252
    std::vector<std::string> details;  // Windows-1252

    std::string download_name;         // UTF-8 (a file name)
    std::string download_bytes;        // "" for none

    bool show_form = false;
    bool show_options = false;
    uint16_t options = 0;

    int device_data_valid = -1;        // -1 unchanged, else the new flag
};

class PageCommands {
public:
    PageCommands();

    PageLink& link() { return link_; }
    const SharedState& shared() const { return shared_; }
    const ConfigForm& form() const { return form_; }
    ConfigForm& form() { return form_; }
    const ConfigWindowState& window_state() const { return window_; }

    // The main window.
    PageStep connect();
    std::vector<std::string> info_lines() const;

    // The configuration window: opened for the identified device's setup
    // block; its fields' change handlers give the mask of what changed.
    void open_configuration();
    uint32_t field_changed(int control_id);
    PageStep read_configuration();
    PageStep verify_configuration();
    PageStep program_configuration();
    PageStep save_file();
    PageStep save_text();
    PageStep load_file(const std::string& bytes, const std::string& name_utf8);

    // The setup window.
    PageStep read_setup();
    PageStep write_setup(uint16_t options);

    // The running transaction's end message, or its stop by the page: the
    // user cancelled, or the port went away.
    PageStep transaction_ended(uint32_t result);
    PageStep transaction_stopped(bool port_lost);

private:
    enum class Phase {
        kIdle,
        kConnect,
        kRead,
        kVerify,
        kProgramIdentify,
        kBackupRead,
        kProgram,
        kSetupRead,
        kSetupWrite,
    };

    PageStep start(Phase phase, uint8_t command, uint8_t block_length, int progress_end);
    PageStep show_record(const char* message);
    PageStep field_error(int code) const;
    PageStep connect_ended(uint32_t result);
    PageStep configuration_ended(uint32_t result, bool verify);
    PageStep identified_for_programming(uint32_t result);
    PageStep device_copy_read(uint32_t result);
    PageStep setup_ended(uint32_t result);
    ConfigImage& image() { return link_.image(); }

    PageLink link_;
    SharedState shared_;
    ConfigWindowState window_;
    ConfigForm form_;
    Phase phase_ = Phase::kIdle;
    uint8_t kept_setup_block_[kSetupBlockBytes] = {};
    // The first of two reads of a device copy that failed its check bytes.
    std::vector<uint8_t> earlier_copy_;
    std::vector<std::string> notes_;  // said with the command's last message
};

}  // namespace zav::web
