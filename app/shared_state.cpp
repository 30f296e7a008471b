#include "app/shared_state.h"

#include <cstring>

namespace zav {

void clear_shared_state(SharedState& shared) {
    std::memset(&shared, 0, sizeof shared);
}

bool is_access_code(const char* argument_text) {
    return argument_text != nullptr && std::strcmp(argument_text, kAccessCode) == 0;
}

}  // namespace zav
