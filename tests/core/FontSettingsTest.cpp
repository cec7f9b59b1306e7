#include <corvane/FontSettings.h>

#include <gtest/gtest.h>

using namespace corvane;

namespace {
const FontSpec kDefault{};

FontSpec font(std::u16string_view name, int size, bool bold, bool italic, bool underline)
{
    return FontSpec{UString(name), size, bold, italic, underline};
}
} // namespace

TEST(ParseFontSettings, ReadsFiveFields)
{
    EXPECT_EQ(ParseFontSettings(u""), font(u"Arial", 10, false, false, false));
    EXPECT_EQ(ParseFontSettings(u"Tahoma,16,1,0,0"), font(u"Tahoma", 16, true, false, false));
    EXPECT_EQ(ParseFontSettings(u"Times New Roman,12,True,false,FALSE"),
              font(u"Times New Roman", 12, true, false, false));
    EXPECT_EQ(ParseFontSettings(u" Courier New, 9,0,2,-1"), font(u" Courier New", 9, false, true, true));
}

TEST(ParseFontSettings, SizesRoundHalfToEven)
{
    EXPECT_EQ(ParseFontSettings(u"Arial,10.5,0,0,0").Size, 10);
    EXPECT_EQ(ParseFontSettings(u"Arial,11.5,0,0,0").Size, 12);
    // No range check: the target decides what to do with these.
    EXPECT_EQ(ParseFontSettings(u"Arial,0,0,0,0").Size, 0);
    EXPECT_EQ(ParseFontSettings(u"Arial,-5,0,0,0").Size, -5);
    EXPECT_EQ(ParseFontSettings(u",10,0,0,0").Name, u"");
}

TEST(ParseFontSettings, AnythingUnreadableGivesTheWholeDefault)
{
    for (const char16_t *bad :
         {u"Tahoma,16,1,0", u"Tahoma,16,1,0,0,0", u"Tahoma,big,1,0,0", u"Tahoma,16,maybe,0,0", u"Tahoma,,1,0,0",
          u"Tahoma,16,,0,0", u"Tahoma,16,1,0,", u"Tahoma,3000000000,1,0,0", u",,,,,", u"Tahoma"}) {
        EXPECT_EQ(ParseFontSettings(bad), kDefault) << toUtf8(bad);
    }
}
