// The port dialog: twelve plain radio buttons whose checks this procedure
// sets itself, OK and CANCEL. UI thread only.
#include "gui/app/port_dialog.h"

#include "gui/app/shell.h"
#include "core/app/port_buttons.h"
#include "gui/res/resource_ids.h"

namespace zav {

namespace {

static_assert(IDC_PORT_FIRST == kFirstPortButton && IDC_PORT_LAST == kFirstPortButton + kPortCount - 1,
              "port buttons of the dialog template and the port table differ");

void check_port_button(HWND dialog, int index) {
    CheckRadioButton(dialog, IDC_PORT_FIRST, IDC_PORT_LAST, kFirstPortButton + index);
}

INT_PTR OnInitDialog(HWND dialog) {
    check_port_button(dialog, g_shared.selected_port);
    return TRUE;  // the dialog manager places the focus
}

// The Enter and Escape keys arrive as IDOK and IDCANCEL; they are left to the
// dialog manager, so only the two buttons end the dialog.
INT_PTR OnCommand(HWND dialog, int id) {
    const int port = port_index_of_button(id);
    if (port >= 0) {
        check_port_button(dialog, port);
        g_shared.selected_port = port;
        return TRUE;
    }
    if (id == IDC_PORT_OK) {
        EndDialog(dialog, 1);
        return TRUE;
    }
    if (id == IDC_PORT_CANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK PortDialogProcedure(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog);
        case WM_COMMAND:
            return OnCommand(dialog, LOWORD(wparam));
        default:
            return FALSE;
    }
}

}  // namespace

INT_PTR run_port_dialog(HWND owner) {
    return DialogBoxParamA(g_instance, "ComBox", owner, PortDialogProcedure, 0);
}

}  // namespace zav
