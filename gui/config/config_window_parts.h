// What the configuration window's three source files share: the window's
// form and state, the bridge between the controls and the form, and the
// command handlers that the window procedure dispatches to.
//
// Thread ownership: everything declared here belongs to the UI thread. The
// workers reach the window only through posted messages and through the
// image and read-back buffer, which the window reads after the end message.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/config/config_form.h"

namespace zav {

// The window exists at most once; its state lives in static storage so that
// the alarm texts and 5-tone entries survive from one opening to the next.
extern ConfigWindowState g_config_state;
extern ConfigForm g_config_form;

// The control with the given id (0..18), or null while the window is closed.
HWND config_control(int id);

// Copies every control's text and selection into g_config_form.
void read_controls_into_form();

// Shows the parts of g_config_form named by changes. The window ignores the
// notifications its own updates cause.
void apply_form(uint32_t changes);

// Fields into the configuration record; a field error is shown (caption
// "ZAV Konfiguration") and false returned.
bool take_fields_into_image(HWND window);

// After a read or a load put a new record into the image: fill the fields,
// show message, then start afresh at position 0 of every selector.
void show_new_record(HWND window, const char* message);

// The five command buttons, disabled while a transaction runs.
void enable_command_buttons(bool enabled);

// "Laden" and "Sichern".
void load_configuration_file(HWND window);
void save_configuration_file(HWND window);

// "Lesen", "Verifizieren", "Programmieren" and the workers' messages.
void read_from_device(HWND window);
void verify_against_device(HWND window);
void program_device(HWND window);
void on_transaction_progress(HWND window, WPARAM block_number);
void on_transaction_end(HWND window, WPARAM result);

}  // namespace zav
