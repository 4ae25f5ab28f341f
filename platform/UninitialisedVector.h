// UninitialisedVector: std::vector without the zeroing on growth.
#pragma once

#include <memory>
#include <utility>
#include <vector>

namespace fillahead {

// Growing it leaves the new elements uninitialised, for buffers that are
// grown first and then written: a search writes a slot for every row and
// keeps those that match, loading writes each value's text where it grew the
// buffer, so zeroing them first would double the memory touched.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}

    template <typename U>
    void construct(U* place) noexcept {
        ::new (static_cast<void*>(place)) U;
    }
    template <typename U, typename... Arguments>
    void construct(U* place, Arguments&&... arguments) {
        ::new (static_cast<void*>(place)) U(std::forward<Arguments>(arguments)...);
    }
};

template <typename T>
using UninitialisedVector = std::vector<T, UninitialisedAllocator<T>>;

} // namespace fillahead
