// The stream form of a property bag: its documented bytes, round trips of
// every value type, and refusal of damaged, truncated or foreign data.
#include "platform/PropertyBagStream.h"

#include "tests/support/Errors.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace fillahead {
namespace {

using testing::errorOf;
using Bytes = std::vector<std::uint8_t>;

MemoryPropertyBag decode(const Bytes& bytes) {
    if (bytes.size() < kBagStreamHeaderSize) {
        throw AutomationError(error::InvalidFileFormat);
    }
    const std::span<const std::uint8_t> all(bytes);
    return DecodeBagStream(all.first<kBagStreamHeaderSize>(), all.subspan(kBagStreamHeaderSize));
}

// Rebuilds the header's checksum after a payload was edited on purpose.
void resealPayload(Bytes& bytes) {
    const std::uint32_t crc =
        Crc32(std::span<const std::uint8_t>(bytes).subspan(kBagStreamHeaderSize));
    for (int i = 0; i < 4; ++i) {
        bytes[12 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    }
}

TEST(PropertyBagStream, WritesTheDocumentedBytes) {
    MemoryPropertyBag bag;
    bag.Set(u"Ab", Variant(std::int32_t{-2}));
    bag.Set(u"K", Variant(u"x\u00e9"));
    const Bytes expectedPayload = {
        2, 0, 'A', 0, 'b', 0, 3, 0, 4, 0, 0,   0, 0xFE, 0xFF, 0xFF, 0xFF, // "Ab" = Long -2
        1, 0, 'K', 0, 8,   0, 4, 0, 0, 0, 'x', 0, 0xE9, 0,                // "K" = Text
    };
    Bytes expected = {
        'F', 'H', 'P', 'B', 1, 0, 0, 0, static_cast<std::uint8_t>(expectedPayload.size()),
        0,   0,   0,   0,   0, 0, 0};
    expected.insert(expected.end(), expectedPayload.begin(), expectedPayload.end());
    resealPayload(expected);
    EXPECT_EQ(EncodeBagStream(bag), expected);
    // The checksum is the common CRC-32: "123456789" gives 0xCBF43926.
    const std::string check = "123456789";
    EXPECT_EQ(Crc32(std::span(reinterpret_cast<const std::uint8_t*>(check.data()), check.size())),
              0xCBF43926u);
}

TEST(PropertyBagStream, EveryValueTypeComesBackAsWritten) {
    MemoryPropertyBag bag;
    bag.Set(u"PrivateBufferLocation", Variant(u"C:\\Users\\\u00c5sa\\Fillahead\\"));
    bag.Set(u"Empty", Variant());
    bag.Set(u"Null", Variant::null());
    bag.Set(u"Integer", Variant(std::int16_t{-32768}));
    bag.Set(u"Long", Variant(std::int32_t{2147483647}));
    bag.Set(u"Single", Variant(1.5f));
    bag.Set(u"Double", Variant(-0.125));
    bag.Set(u"True", Variant(true));
    bag.Set(u"False", Variant(false));
    bag.Set(u"EmptyText", Variant(u""));

    const MemoryPropertyBag back = decode(EncodeBagStream(bag));
    EXPECT_EQ(back.Render(), bag.Render());
    ASSERT_EQ(back.Entries().size(), bag.Entries().size());
    for (std::size_t i = 0; i < bag.Entries().size(); ++i) {
        EXPECT_EQ(back.Entries()[i].second.type(), bag.Entries()[i].second.type())
            << toUtf8(bag.Entries()[i].first);
    }
    EXPECT_EQ(back.Entries()[5].second.toDouble(), 1.5);
    EXPECT_EQ(back.Entries()[6].second.toDouble(), -0.125);
}

TEST(PropertyBagStream, RefusesWhatTheLayoutCannotHold) {
    MemoryPropertyBag withObject;
    withObject.Set(u"Nested",
                   Variant(std::shared_ptr<Object>(std::make_shared<MemoryPropertyBag>())));
    EXPECT_EQ(errorOf([&] { EncodeBagStream(withObject); }), error::TypeMismatch);
    MemoryPropertyBag longKey;
    longKey.Set(Text(256, u'k'), Variant(1));
    EXPECT_EQ(errorOf([&] { EncodeBagStream(longKey); }), error::TypeMismatch);
}

TEST(PropertyBagStream, EveryTruncationAndEveryFlippedByteIsRefused) {
    MemoryPropertyBag bag;
    bag.Set(u"ControlGroupName", Variant(u"Form1"));
    bag.Set(u"MaxDisplayRows", Variant(std::int32_t{12}));
    const Bytes whole = EncodeBagStream(bag);

    for (std::size_t length = 0; length < whole.size(); ++length) {
        const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_EQ(errorOf([&] { decode(cut); }), error::InvalidFileFormat) << length;
    }
    for (std::size_t at = 0; at < whole.size(); ++at) {
        if (at == 6 || at == 7) {
            continue; // the reserved field is not checked
        }
        Bytes flipped = whole;
        flipped[at] ^= 0x10;
        EXPECT_EQ(errorOf([&] { decode(flipped); }), error::InvalidFileFormat) << at;
    }
    // A longer stream than the header announces: the extra bytes are not ours.
    Bytes longer = whole;
    longer.push_back(0);
    EXPECT_EQ(errorOf([&] { decode(longer); }), error::InvalidFileFormat);
}

TEST(PropertyBagStream, HeadersOfOtherDataAndLaterVersionsAreRefusedBeforeReading) {
    MemoryPropertyBag bag;
    bag.Set(u"K", Variant(1));
    Bytes later = EncodeBagStream(bag);
    later[4] = 2;
    try {
        decode(later);
        FAIL() << "a later layout version was read";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), error::InvalidFileFormat);
        EXPECT_NE(toUtf8(e.description()).find("version 2"), std::string::npos);
    }
    // A huge announced length is refused from the header alone, so that no
    // reader allocates for it.
    Bytes huge = EncodeBagStream(bag);
    huge[11] = 0x7F;
    const std::span<const std::uint8_t> header(huge);
    EXPECT_EQ(errorOf([&] { BagStreamPayloadLength(header.first<kBagStreamHeaderSize>()); }),
              error::InvalidFileFormat);
}

TEST(PropertyBagStream, UnknownValueTypesAreSkippedAndRepeatedNamesAreDamage) {
    MemoryPropertyBag bag;
    bag.Set(u"A", Variant(1));
    bag.Set(u"B", Variant(2));
    Bytes bytes = EncodeBagStream(bag);
    // Entry "A" starts the payload: length 2, key 2, type at offset 4.
    bytes[kBagStreamHeaderSize + 4] = 77;
    resealPayload(bytes);
    EXPECT_EQ(decode(bytes).Render(), "B=2\n");

    Bytes twice = EncodeBagStream(bag);
    twice[kBagStreamHeaderSize + 16] = 'a'; // "B" becomes "a": the same name as "A"
    resealPayload(twice);
    EXPECT_EQ(errorOf([&] { decode(twice); }), error::InvalidFileFormat);
}

} // namespace
} // namespace fillahead
