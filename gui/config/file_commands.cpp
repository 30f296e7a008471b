// "Sichern" and "Laden": the configuration file through the common dialogs.
//
// The file's bytes are built and judged by config/config_file.h and written
// by win32/file_replace.h; here only the dialogs, the file access and the
// messages. A load reads the whole file
// first and lets the judge copy the record, so a refused file never leaves a
// half-read record in the image.
//
// Thread ownership: UI thread only; the dialogs and the file access block it
// for as long as they last.
#include <windows.h>

#include "gui/app/shell.h"
#include "gui/app/messages.h"
#include "core/config/config_file.h"
#include "gui/config/config_window_parts.h"
#include "win32/file_replace.h"

namespace zav {
namespace {

constexpr DWORD kSaveFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_CREATEPROMPT;  // 0x2006
// Without OFN_FILEMUSTEXIST: a typed name of a missing file reaches the open
// and is reported there.
constexpr DWORD kLoadFlags = OFN_HIDEREADONLY | OFN_CREATEPROMPT;  // 0x2004
constexpr DWORD kPathBytes = 260;
constexpr DWORD kTitleBytes = 259;

// A name typed without extension is saved as a configuration file, which is
// what the first filter offers.
constexpr const char kDefaultExtension[] = "zcf";

// The last chosen path stays here, so the next dialog opens with it.
char g_file_path[kPathBytes];
char g_file_title[kTitleBytes];

void prepare_file_dialog(DWORD flags) {
    g_file_dialog.lpstrFile = g_file_path;
    g_file_dialog.nMaxFile = kPathBytes;
    g_file_dialog.lpstrFileTitle = g_file_title;
    g_file_dialog.nMaxFileTitle = kTitleBytes;
    g_file_dialog.lpstrDefExt = kDefaultExtension;
    g_file_dialog.Flags = flags;
}

// The file dialogs live in comdlg32, which brings the shell with it. Loading
// it when a dialog is first wanted, not at program start, lets the program
// start as fast as a plain window; once loaded it stays for the whole run.
using FileDialog = BOOL(WINAPI*)(LPOPENFILENAMEA);
constexpr const char kDialogLibraryMissing[] = "Erforderliche DLL kann nicht geladen werden !";

FileDialog file_dialog(const char* name) {
    static HMODULE library = LoadLibraryA("comdlg32.dll");
    if (library == nullptr) return nullptr;
    return reinterpret_cast<FileDialog>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// Runs the named dialog on the shared record; false when the user cancelled
// or the dialog library is missing (which is said).
bool run_file_dialog(HWND window, const char* name) {
    const FileDialog dialog = file_dialog(name);
    if (dialog == nullptr) {
        show_error(window, kDialogLibraryMissing, kCaptionConfigurationForm);
        return false;
    }
    return dialog(&g_file_dialog) != FALSE;
}

// Reads up to bytes bytes, fewer only at the end of the file or on an error.
DWORD read_up_to(HANDLE file, uint8_t* buffer, DWORD bytes) {
    DWORD total = 0;
    while (total < bytes) {
        DWORD got = 0;
        if (!ReadFile(file, buffer + total, bytes - total, &got, nullptr) || got == 0) break;
        total += got;
    }
    return total;
}

}  // namespace

void save_configuration_file(HWND window) {
    if (!take_fields_into_image(window)) return;
    prepare_file_dialog(kSaveFlags);
    if (!run_file_dialog(window, "GetSaveFileNameA")) return;

    uint8_t bytes[kConfigFileBytes];
    build_config_file(g_image, bytes);
    // The previous file stays as it was until the new one is whole on the
    // disk: a full disk or a lost share must neither destroy it nor pass for
    // a saved configuration. A name at which no file can be made or
    // replaced (a missing folder, a read-only or held file) is "cannot be
    // created"; bytes that did not all reach the disk are a file error.
    FileReplaceFailure failure;
    if (!replace_file_contents(g_file_path, bytes, sizeof bytes, failure)) {
        show_error(window, failure.step == FileReplaceStep::kWrite ? kConfigFileShort : kConfigFileCannotCreate,
                   kCaptionConfiguration);
    }
}

void load_configuration_file(HWND window) {
    prepare_file_dialog(kLoadFlags);
    g_file_dialog.nFilterIndex = 0;
    if (!run_file_dialog(window, "GetOpenFileNameA")) return;

    HANDLE file = CreateFileA(g_file_path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        show_error(window, kConfigFileMissing, kCaptionConfiguration);
        return;
    }
    uint8_t bytes[kConfigFileBytes];
    const DWORD count = read_up_to(file, bytes, sizeof bytes);
    CloseHandle(file);

    const ConfigFileOutcome outcome = load_config_file(bytes, count, g_image);
    if (outcome != ConfigFileOutcome::kOk) {
        show_error(window, config_file_outcome_text(outcome), kCaptionConfiguration);
        return;
    }
    show_new_record(window, kConfigFileLoaded);
}

}  // namespace zav
