#include "platform/PropertyBagStream.h"

#include "platform/AutomationError.h"

#include <cstring>

namespace fillahead {
namespace {

constexpr std::array<std::uint8_t, 4> kSignature = {'F', 'H', 'P', 'B'};
constexpr std::size_t kMaxKeyLength = 255;

enum ValueType : std::uint16_t {
    TypeEmpty = 0,
    TypeNull = 1,
    TypeInteger = 2,
    TypeLong = 3,
    TypeSingle = 4,
    TypeDouble = 5,
    TypeText = 8,
    TypeBoolean = 11,
};

[[noreturn]] void damaged(const char* what) {
    throw AutomationError(error::InvalidFileFormat,
                          u"The stored settings are damaged: " + asciiToText(what) + u".");
}

template <typename Unsigned>
void put(std::vector<std::uint8_t>& out, Unsigned value) {
    for (std::size_t i = 0; i < sizeof(Unsigned); ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

void putText(std::vector<std::uint8_t>& out, TextView text) {
    for (const char16_t unit : text) {
        put<std::uint16_t>(out, unit);
    }
}

template <typename Float, typename Bits>
Bits bitsOf(Float value) {
    static_assert(sizeof(Float) == sizeof(Bits));
    Bits bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Reads little-endian values from a span, refusing to run past its end.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool atEnd() const { return position_ == bytes_.size(); }

    template <typename Unsigned>
    Unsigned get() {
        const std::span<const std::uint8_t> raw = take(sizeof(Unsigned));
        Unsigned value = 0;
        for (std::size_t i = 0; i < sizeof(Unsigned); ++i) {
            value = static_cast<Unsigned>(value | (static_cast<Unsigned>(raw[i]) << (8 * i)));
        }
        return value;
    }

    std::span<const std::uint8_t> take(std::size_t count) {
        if (count > bytes_.size() - position_) {
            damaged("an entry runs past the end of the data");
        }
        const std::span<const std::uint8_t> part = bytes_.subspan(position_, count);
        position_ += count;
        return part;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

Text textOf(std::span<const std::uint8_t> raw) {
    Text text(raw.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
    }
    return text;
}

template <typename Unsigned>
Unsigned numberOf(std::span<const std::uint8_t> raw) {
    if (raw.size() != sizeof(Unsigned)) {
        damaged("a number has the wrong length");
    }
    Reader reader(raw);
    return reader.get<Unsigned>();
}

// The value of a known type; false for a type this reader does not know.
bool decodeValue(std::uint16_t type, std::span<const std::uint8_t> raw, Variant& value) {
    switch (type) {
    case TypeEmpty:
    case TypeNull:
        if (!raw.empty()) {
            damaged("an empty value has content");
        }
        value = type == TypeEmpty ? Variant() : Variant::null();
        return true;
    case TypeInteger:
        value = Variant(static_cast<std::int16_t>(numberOf<std::uint16_t>(raw)));
        return true;
    case TypeLong:
        value = Variant(static_cast<std::int32_t>(numberOf<std::uint32_t>(raw)));
        return true;
    case TypeSingle: {
        const std::uint32_t bits = numberOf<std::uint32_t>(raw);
        float number;
        std::memcpy(&number, &bits, sizeof number);
        value = Variant(number);
        return true;
    }
    case TypeDouble: {
        const std::uint64_t bits = numberOf<std::uint64_t>(raw);
        double number;
        std::memcpy(&number, &bits, sizeof number);
        value = Variant(number);
        return true;
    }
    case TypeBoolean:
        value = Variant(numberOf<std::uint16_t>(raw) != 0);
        return true;
    case TypeText:
        if (raw.size() % 2 != 0) {
            damaged("a text has an odd length");
        }
        value = Variant(textOf(raw));
        return true;
    default:
        return false;
    }
}

void encodeValue(const Variant& value, std::vector<std::uint8_t>& out) {
    std::vector<std::uint8_t> data;
    std::uint16_t type = TypeEmpty;
    switch (value.type()) {
    case VariantType::Empty:
        break;
    case VariantType::Null:
        type = TypeNull;
        break;
    case VariantType::Boolean:
        type = TypeBoolean;
        put<std::uint16_t>(data, value.toBoolean() ? 0xFFFF : 0);
        break;
    case VariantType::Integer:
        type = TypeInteger;
        put<std::uint16_t>(data, static_cast<std::uint16_t>(value.toInteger()));
        break;
    case VariantType::Long:
        type = TypeLong;
        put<std::uint32_t>(data, static_cast<std::uint32_t>(value.toLong()));
        break;
    case VariantType::Single:
        type = TypeSingle;
        put<std::uint32_t>(data,
                           bitsOf<float, std::uint32_t>(static_cast<float>(value.toDouble())));
        break;
    case VariantType::Double:
        type = TypeDouble;
        put<std::uint64_t>(data, bitsOf<double, std::uint64_t>(value.toDouble()));
        break;
    case VariantType::Text:
        type = TypeText;
        putText(data, value.toText());
        break;
    case VariantType::Object:
        throw AutomationError(error::TypeMismatch,
                              u"An object cannot be stored among the settings.");
    }
    put<std::uint16_t>(out, type);
    put<std::uint32_t>(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

} // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            entries[n] = c;
        }
        return entries;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t byte : bytes) {
        crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

std::vector<std::uint8_t> EncodeBagStream(const MemoryPropertyBag& bag) {
    std::vector<std::uint8_t> payload;
    for (const auto& [key, value] : bag.Entries()) {
        if (key.empty() || key.size() > kMaxKeyLength) {
            throw AutomationError(error::TypeMismatch,
                                  u"A setting's name must have 1 to 255 characters.");
        }
        put<std::uint16_t>(payload, static_cast<std::uint16_t>(key.size()));
        putText(payload, key);
        encodeValue(value, payload);
    }
    if (payload.size() > kBagStreamMaxPayload) {
        throw AutomationError(error::OutOfMemory, u"The settings are too large to be stored.");
    }
    std::vector<std::uint8_t> out(kSignature.begin(), kSignature.end());
    put<std::uint16_t>(out, kBagStreamVersion);
    put<std::uint16_t>(out, 0);
    put<std::uint32_t>(out, static_cast<std::uint32_t>(payload.size()));
    put<std::uint32_t>(out, Crc32(payload));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

std::uint32_t BagStreamPayloadLength(std::span<const std::uint8_t, kBagStreamHeaderSize> header) {
    if (!std::equal(kSignature.begin(), kSignature.end(), header.begin())) {
        damaged("they are not Fillahead settings");
    }
    Reader reader(header.subspan(4));
    const auto version = reader.get<std::uint16_t>();
    if (version == 0 || version > kBagStreamVersion) {
        throw AutomationError(error::InvalidFileFormat,
                              u"The stored settings have layout version " + toText(version) +
                                  u"; this library reads version " + toText(kBagStreamVersion) +
                                  u".");
    }
    reader.get<std::uint16_t>();
    const auto length = reader.get<std::uint32_t>();
    if (length > kBagStreamMaxPayload) {
        damaged("they announce more data than settings can hold");
    }
    return length;
}

MemoryPropertyBag DecodeBagStream(std::span<const std::uint8_t, kBagStreamHeaderSize> header,
                                  std::span<const std::uint8_t> payload) {
    const std::uint32_t length = BagStreamPayloadLength(header);
    if (payload.size() != length) {
        damaged("they end early");
    }
    Reader headerReader(header.subspan(12));
    if (headerReader.get<std::uint32_t>() != Crc32(payload)) {
        damaged("their checksum does not match");
    }
    MemoryPropertyBag bag;
    Reader reader(payload);
    while (!reader.atEnd()) {
        const auto keyLength = reader.get<std::uint16_t>();
        if (keyLength == 0 || keyLength > kMaxKeyLength) {
            damaged("a name has an impossible length");
        }
        const Text key = textOf(reader.take(2 * std::size_t{keyLength}));
        const auto type = reader.get<std::uint16_t>();
        const auto valueLength = reader.get<std::uint32_t>();
        const std::span<const std::uint8_t> raw = reader.take(valueLength);
        for (const auto& entry : bag.Entries()) {
            if (equalsIgnoringCase(entry.first, key)) {
                damaged("a name appears twice");
            }
        }
        Variant value;
        if (decodeValue(type, raw, value)) {
            bag.Set(key, value);
        }
    }
    return bag;
}

} // namespace fillahead
