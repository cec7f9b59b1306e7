#include <corvane/Errors.h>
#include <corvane/Variant.h>

#include <gtest/gtest.h>

#include "support/RunTimeErrors.h"

using namespace corvane;
using corvane::testing::errorOf;

TEST(Variant, TextToIntegerRoundsHalfToEvenAndAllowsBlanks)
{
    EXPECT_EQ(Variant::string(u"10.5").toLong(), 10);
    EXPECT_EQ(Variant::string(u"11.5").toLong(), 12);
    EXPECT_EQ(Variant::string(u"-2.5").toLong(), -2);
    EXPECT_EQ(Variant::string(u"  16 ").toLong(), 16);
    EXPECT_EQ(Variant::string(u"1e3").toInteger(), 1000);
    EXPECT_EQ(Variant::string(u"&HFFFF").toInteger(), -1);
    EXPECT_EQ(Variant::real(32767.4).toInteger(), 32767);
}

TEST(Variant, FailedConversionsRaiseTheRunTimeErrors)
{
    EXPECT_EQ(errorOf([] { Variant::string(u"ten").toLong(); }), err::TypeMismatch);
    EXPECT_EQ(errorOf([] { Variant::string(u"").toLong(); }), err::TypeMismatch);
    EXPECT_EQ(errorOf([] { Variant::string(u"1 0").toLong(); }), err::TypeMismatch);
    EXPECT_EQ(errorOf([] { Variant::string(u"2147483648").toLong(); }), err::Overflow);
    EXPECT_EQ(errorOf([] { Variant::string(u"-2147483648").toLong(); }), 0);
    EXPECT_EQ(errorOf([] { Variant::real(32767.5).toInteger(); }), err::Overflow);
    EXPECT_EQ(errorOf([] { Variant::array({}).toString(); }), err::TypeMismatch);
    EXPECT_EQ(errorOf([] { Variant::string(u"yes").toBoolean(); }), err::TypeMismatch);
}

TEST(Variant, TextToBoolean)
{
    EXPECT_TRUE(Variant::string(u"True").toBoolean());
    EXPECT_TRUE(Variant::string(u"tRUE").toBoolean());
    EXPECT_FALSE(Variant::string(u"false").toBoolean());
    EXPECT_TRUE(Variant::string(u"2").toBoolean());
    EXPECT_FALSE(Variant::string(u"0").toBoolean());
    EXPECT_FALSE(Variant().toBoolean());
}

TEST(Variant, NumbersToText)
{
    EXPECT_EQ(Variant::integer(-12).toString(), u"-12");
    EXPECT_EQ(Variant::real(1.5).toString(), u"1.5");
    EXPECT_EQ(Variant::real(0.1).toString(), u"0.1");
    EXPECT_EQ(Variant::real(1e20).toString(), u"1E+20");
    EXPECT_EQ(Variant::real(1.5e-7).toString(), u"1.5E-07");
    EXPECT_EQ(Variant::boolean(true).toString(), u"True");
    EXPECT_EQ(Variant().toString(), u"");
}

TEST(UString, Utf8RoundTripAndLegacyBytes)
{
    const std::string text = "caf\xC3\xA9 \xF0\x9F\x96\xA8";
    const UString wide = fromUtf8(text);
    EXPECT_EQ(wide.size(), 7u); // the printer emoji takes two UTF-16 units
    EXPECT_EQ(toUtf8(wide), text);
    EXPECT_FALSE(isValidUtf8("caf\xE9"));
    EXPECT_EQ(fromWindows1252("caf\xE9 \x80"), u"caf\u00E9 \u20AC");
    EXPECT_EQ(fromUtf8("a\xFF"
                       "b"),
              u"a\uFFFDb");
}

TEST(UString, UpperCaseBeyondAscii)
{
    EXPECT_EQ(toUpper(u"office laser"), u"OFFICE LASER");
    EXPECT_EQ(toUpper(u"\u00e9t\u00e9 \u0161 \u0436"), u"\u00c9T\u00c9 \u0160 \u0416");
    EXPECT_TRUE(equalsIgnoreCase(u"Drucker-\u00fc", u"DRUCKER-\u00dc"));
}
