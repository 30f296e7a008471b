#include "core/link/shared_state.h"

#include <cstring>

namespace zav {

void clear_shared_state(SharedState& shared) {
    std::memset(&shared, 0, sizeof shared);
}

}  // namespace zav
