// The module's counts of live objects and server locks.
#include "library/ComObject.h"

#include <atomic>

namespace fillahead::library {
namespace {

std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};

} // namespace

void ObjectCreated() noexcept {
    ++liveObjects;
}

void ObjectDestroyed() noexcept {
    --liveObjects;
}

void LockModule() noexcept {
    ++serverLocks;
}

void UnlockModule() noexcept {
    --serverLocks;
}

bool ModuleIsIdle() noexcept {
    return liveObjects == 0 && serverLocks == 0;
}

} // namespace fillahead::library
