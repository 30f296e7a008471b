// The port dialog's radio buttons and the ports they stand for.
#pragma once

#include "core/link/port_names.h"

namespace zav {

// The first radio button of the port dialog; button id = this + port index.
constexpr int kFirstPortButton = 103;

// Port index of a port dialog button id, or -1 for any other id.
int port_index_of_button(int button_id);

}  // namespace zav
