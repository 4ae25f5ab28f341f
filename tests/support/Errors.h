// The error number a call raises, for tests that compare failures.
#pragma once

#include "platform/AutomationError.h"

#include <cstdint>

namespace fillahead::testing {

// The AutomationError number the call raises, or 0 when it succeeds.
template <typename Call>
std::int32_t errorOf(Call&& call) {
    try {
        call();
        return 0;
    } catch (const AutomationError& e) {
        return e.number();
    }
}

} // namespace fillahead::testing
