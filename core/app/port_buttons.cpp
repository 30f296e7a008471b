#include "core/app/port_buttons.h"

namespace zav {

int port_index_of_button(int button_id) {
    const int index = button_id - kFirstPortButton;
    if (index < 0 || index >= kPortCount) return -1;
    return index;
}

}  // namespace zav
