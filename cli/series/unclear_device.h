// A device that holds the record of a row another device has done, while a
// device that was written with that record and never verified may be about:
// which of the two is the row's cannot be told from the record. The series
// does not guess. It says what it sees and what to do; at a terminal it
// asks whether the device gets the row it took, and otherwise leaves it as
// it is, logs it and counts it, so that the series ends with
// kExitAttention and names it.
#pragma once

#include <string>

#include "cli/output/reporter.h"
#include "cli/series/series_work.h"
#include "fleet/base/outcome.h"
#include "fleet/plan/plan_reader.h"

namespace zav::cli {

// At a terminal (no --json, standard input and standard error a terminal):
// tells what is seen and asks whether the device gets the row taken. True
// only for a yes; no, Enter, the end of the input and Ctrl+C leave it.
// Several ports ask one at a time. Without a terminal: false, unasked.
bool ask_to_give_row(const Reporter& reporter, const PlanRow& held, const PlanRow& taken);

// What the device's line says and the log keeps when it is left as it is
// (exit kExitAttention).
Outcome left_for_the_user(const PlanRow& held);

}  // namespace zav::cli
