// The inventory's rows: one per vehicle, with the state its device was last
// found in. A vehicle is a plan's row, known by its label across logs;
// a device without a plan is its own. Failed attempts and devices left for
// the user are the log's to show, not the inventory's: a vehicle whose
// device never got a state is listed with its last failure and nothing its
// device would hold.
#pragma once

#include <vector>

#include "fleet/sheet/handover_sheet.h"

namespace zav {

// devices: as read from the logs (and files), in their order; the rows in
// the order each vehicle first appears.
std::vector<SheetDevice> inventory_devices(const std::vector<SheetDevice>& devices);

}  // namespace zav
