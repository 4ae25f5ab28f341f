// Bytes to and from COM streams, for the settings objects keep in the bag
// stream layout (platform/PropertyBagStream.h). Failures raise
// AutomationError: a stream's own error, or invalid file format (321) for
// bytes that end early or are not a bag stream.
#pragma once

#include <windows.h>

#include "library/ComObject.h"
#include "platform/PropertyBag.h"

#include <objidl.h>

#include <cstdint>
#include <span>
#include <vector>

namespace fillahead::library {

// Reads one bag stream, header and payload, from where the stream stands,
// and leaves the stream just after it.
MemoryPropertyBag ReadBagStream(IStream& stream);
// Writes every byte; a stream that takes fewer raises STG_E_MEDIUMFULL.
void WriteBytes(IStream& stream, std::span<const std::uint8_t> bytes);
// A stream in memory holding the bytes, positioned at its start.
ComPtr<IStream> StreamOver(std::span<const std::uint8_t> bytes);
// Everything a stream holds, from its start to its end.
std::vector<std::uint8_t> BytesOf(IStream& stream);

} // namespace fillahead::library
