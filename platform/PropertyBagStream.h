// PropertyBagStream: a property bag as bytes, the form in which an object that
// persists itself through a property bag (the engine) is stored in a binary
// stream by its container (IPersistStreamInit on Windows).
//
// Layout, all numbers little-endian:
//
//   offset  size  content
//   0       4     signature "FHPB"
//   4       2     layout version, 1. A reader refuses a later version.
//   6       2     reserved, 0
//   8       4     payload length in bytes (at most kMaxPayload)
//   12      4     CRC-32 of the payload (the polynomial of zlib and PNG)
//   16      ...   payload: the entries, one after another, to its end
//
//   entry:  2     key length in UTF-16 code units (1 to 255)
//           2n    key, UTF-16
//           2     value type, an automation VARTYPE: 0 Empty, 1 Null,
//                 2 Integer, 3 Long, 4 Single, 5 Double, 8 Text, 11 Boolean
//           4     value length in bytes
//           m     value: Integer 2 bytes, Long 4, Single and Double IEEE 754
//                 (4 and 8), Boolean 2 (-1 True, 0 False), Text UTF-16
//                 (m even), Empty and Null nothing
//
// Entries keep the order in which they were written. A reader skips entries
// of a value type it does not know (a later writer may add types); a key that
// appears twice, a length that runs past the payload, a wrong CRC or a
// payload of the wrong length is damage.
//
// Reading is all or nothing: the whole stream is checked and decoded before
// the bag is handed back, so a damaged or truncated stream raises and leaves
// nothing half-read.
#pragma once

#include "platform/PropertyBag.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace fillahead {

inline constexpr std::size_t kBagStreamHeaderSize = 16;
inline constexpr std::uint16_t kBagStreamVersion = 1;
inline constexpr std::uint32_t kBagStreamMaxPayload = 1024 * 1024;

// The header and payload of a bag. Raises AutomationError (type mismatch)
// for a value the layout cannot hold: an object, or a key that is empty or
// longer than 255 code units.
std::vector<std::uint8_t> EncodeBagStream(const MemoryPropertyBag& bag);

// The payload length a header announces. Raises AutomationError (invalid
// file format, 321) when the header is not one of ours, is of a later layout
// version, or announces more than kBagStreamMaxPayload.
std::uint32_t BagStreamPayloadLength(std::span<const std::uint8_t, kBagStreamHeaderSize> header);

// The bag a header and its payload hold. Raises AutomationError (invalid file
// format, 321) describing the damage.
MemoryPropertyBag DecodeBagStream(std::span<const std::uint8_t, kBagStreamHeaderSize> header,
                                  std::span<const std::uint8_t> payload);

// CRC-32 (reflected polynomial 0xEDB88320, initial and final XOR 0xFFFFFFFF).
std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

} // namespace fillahead
