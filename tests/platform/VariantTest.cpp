#include "platform/Variant.h"

#include "platform/AutomationError.h"
#include "tests/support/Errors.h"

#include <gtest/gtest.h>

#include <functional>

namespace fillahead {
namespace {

using testing::errorOf;

TEST(Variant, IntegerConversionsFollowVb) {
    EXPECT_EQ(Variant(u" 12 ").toInteger(), 12);
    EXPECT_EQ(Variant(u"-7").toLong(), -7);
    EXPECT_EQ(Variant(u"2.5").toInteger(), 2); // fractions round to even
    EXPECT_EQ(Variant(u"3.5").toInteger(), 4);
    EXPECT_EQ(Variant(u"-2.5").toLong(), -2);
    EXPECT_EQ(Variant(2.5000001).toLong(), 3);
    EXPECT_EQ(Variant(u"1E3").toLong(), 1000);
    EXPECT_EQ(Variant(u"&HFF").toInteger(), 255);
    EXPECT_EQ(Variant(u"&HFFFF").toInteger(), -1);
    EXPECT_EQ(Variant(u"&HFFFFFFFF").toLong(), -1);
    EXPECT_EQ(Variant(true).toInteger(), -1);
    EXPECT_EQ(Variant().toLong(), 0);
    EXPECT_EQ(Variant(std::int16_t{-32768}).toLong(), -32768);
    EXPECT_EQ(Variant(u"2147483647").toLong(), 2147483647);
}

TEST(Variant, ConversionFailuresRaiseVbErrors) {
    EXPECT_EQ(errorOf([] { Variant(u"32768").toInteger(); }), error::Overflow);
    EXPECT_EQ(errorOf([] { Variant(u"32767.5").toInteger(); }), error::Overflow);
    EXPECT_EQ(errorOf([] { Variant(u"2147483648").toLong(); }), error::Overflow);
    EXPECT_EQ(errorOf([] { Variant(1e300).toLong(); }), error::Overflow);
    EXPECT_EQ(errorOf([] { Variant(u"").toInteger(); }), error::TypeMismatch);
    EXPECT_EQ(errorOf([] { Variant(u"12abc").toLong(); }), error::TypeMismatch);
    EXPECT_EQ(errorOf([] { Variant(u"1 2").toLong(); }), error::TypeMismatch);
    EXPECT_EQ(errorOf([] { Variant(u".").toLong(); }), error::TypeMismatch);
    EXPECT_EQ(errorOf([] { Variant(u"1e").toLong(); }), error::TypeMismatch);
    EXPECT_EQ(errorOf([] { Variant::null().toLong(); }), error::InvalidUseOfNull);
    EXPECT_EQ(errorOf([] { Variant::null().toText(); }), error::InvalidUseOfNull);
    EXPECT_EQ(errorOf([] { Variant(std::make_shared<Object>()).toText(); }), error::TypeMismatch);
    EXPECT_EQ(errorOf([] { Variant(u"x").toObject(); }), error::TypeMismatch);
}

TEST(Variant, TextConversionUsesVbForms) {
    EXPECT_EQ(Variant().toText(), u"");
    EXPECT_EQ(Variant(true).toText(), u"True");
    EXPECT_EQ(Variant(false).toText(), u"False");
    EXPECT_EQ(Variant(std::int16_t{-5}).toText(), u"-5");
    EXPECT_EQ(Variant(1.5).toText(), u"1.5");
    EXPECT_EQ(Variant(0.1f).toText(), u"0.1");
    EXPECT_EQ(Variant(0.1).toText(), u"0.1");
    EXPECT_EQ(Variant(1e20).toText(), u"1E+20");
    EXPECT_EQ(Variant(u"as is").toText(), u"as is");
    EXPECT_TRUE(Variant(u"TRUE").toBoolean());
    EXPECT_FALSE(Variant(u"0").toBoolean());
    EXPECT_TRUE(Variant(-1).toBoolean());
}

TEST(Variant, EqualityComparesNumbersByValueAndTextExactly) {
    EXPECT_EQ(Variant(8), Variant(std::int16_t{8}));
    EXPECT_EQ(Variant(8), Variant(8.0));
    EXPECT_NE(Variant(8), Variant(u"8"));
    EXPECT_NE(Variant(u"a"), Variant(u"A"));
    EXPECT_EQ(Variant(), Variant());
    EXPECT_NE(Variant(), Variant::null());
    auto object = std::make_shared<Object>();
    EXPECT_EQ(Variant(object), Variant(object));
    EXPECT_NE(Variant(object), Variant(std::make_shared<Object>()));
}

} // namespace
} // namespace fillahead
