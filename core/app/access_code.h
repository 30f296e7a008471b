// The access code that unlocks the service mode.
#pragma once

namespace zav {

// The command line's whole argument text unlocks the service mode; nothing
// else is read from it. The comparison is exact and case-sensitive.
bool is_access_code(const char* argument_text);

}  // namespace zav
