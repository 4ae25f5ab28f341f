// Windows virtual-key codes, as the hosts' key events and the keyboard hook
// hand them over (16-bit in the events, wider in the hook) and as the engine's
// OnKeyDown takes them, and the shift state bits of those events. The one set
// every layer uses.
#pragma once

#include <cstdint>

namespace fillahead::vk {

inline constexpr std::int16_t Tab = 9;
inline constexpr std::int16_t Return = 13;
inline constexpr std::int16_t Shift = 16;
inline constexpr std::int16_t Control = 17;
inline constexpr std::int16_t Escape = 27;
inline constexpr std::int16_t Left = 37;
inline constexpr std::int16_t Up = 38;
inline constexpr std::int16_t Right = 39;
inline constexpr std::int16_t Down = 40;

// The Shift argument of KeyDown and KeyUp events.
inline constexpr std::int16_t ShiftMask = 1;
inline constexpr std::int16_t CtrlMask = 2;
inline constexpr std::int16_t AltMask = 4;

} // namespace fillahead::vk
