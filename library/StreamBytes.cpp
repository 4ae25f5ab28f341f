#include "library/StreamBytes.h"

#include "library/ErrorInfo.h"
#include "platform/PropertyBagStream.h"

#include <array>

namespace fillahead::library {
namespace {

void readExactly(IStream& stream, std::uint8_t* buffer, std::size_t size) {
    ULONG read = 0;
    ThrowIfFailed(stream.Read(buffer, static_cast<ULONG>(size), &read));
    if (read != size) {
        throw AutomationError(error::InvalidFileFormat,
                              u"The stored settings are damaged: they end early.");
    }
}

} // namespace

MemoryPropertyBag ReadBagStream(IStream& stream) {
    std::array<std::uint8_t, kBagStreamHeaderSize> header{};
    readExactly(stream, header.data(), header.size());
    std::vector<std::uint8_t> payload(BagStreamPayloadLength(header));
    readExactly(stream, payload.data(), payload.size());
    return DecodeBagStream(header, payload);
}

void WriteBytes(IStream& stream, std::span<const std::uint8_t> bytes) {
    ULONG written = 0;
    ThrowIfFailed(stream.Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written));
    if (written != bytes.size()) {
        ThrowIfFailed(STG_E_MEDIUMFULL);
    }
}

ComPtr<IStream> StreamOver(std::span<const std::uint8_t> bytes) {
    ComPtr<IStream> stream;
    ThrowIfFailed(CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    WriteBytes(*stream.Get(), bytes);
    const LARGE_INTEGER start{};
    ThrowIfFailed(stream->Seek(start, STREAM_SEEK_SET, nullptr));
    return stream;
}

std::vector<std::uint8_t> BytesOf(IStream& stream) {
    const LARGE_INTEGER start{};
    ULARGE_INTEGER end{};
    ThrowIfFailed(stream.Seek(start, STREAM_SEEK_END, &end));
    if (end.QuadPart > kBagStreamMaxPayload + 2 * kBagStreamHeaderSize) {
        throw AutomationError(error::InvalidFileFormat,
                              u"The stored settings are damaged: they are too long.");
    }
    ThrowIfFailed(stream.Seek(start, STREAM_SEEK_SET, nullptr));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(end.QuadPart));
    readExactly(stream, bytes.data(), bytes.size());
    return bytes;
}

} // namespace fillahead::library
