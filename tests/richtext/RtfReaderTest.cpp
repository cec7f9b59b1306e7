#include "RecordingBuilder.h"

#include "richtext/RtfReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>

using namespace corvane;
using corvane::testing::RecordingBuilder;

namespace {

RecordingBuilder read(std::string_view rtf)
{
    RecordingBuilder builder;
    readRtf(rtf, builder);
    return builder;
}

std::string dataFile(const std::string &name)
{
    std::ifstream in(std::string(CORVANE_TEST_DATA) + "/" + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

} // namespace

TEST(RtfReader, CharacterFormattingAndFonts)
{
    const auto doc = read(R"({\rtf1\ansi\deff0{\fonttbl{\f0\fswiss Arial;}{\f1\froman\fcharset0 Times New Roman;}}
{\colortbl;\red255\green0\blue0;\red0\green0\blue255;}
Plain {\b bold} {\i\fs28 italic} {\ul under\ulnone  not} {\strike gone} {\f1\cf1 red\cf2 blue} H{\sub 2}O x{\super 2}
{\highlight2 marked}\plain reset\b0\par})");
    const std::vector<std::string> expected{
        "T \"Plain \" Arial 12 -----",
        "T \"bold\" Arial 12 B----",
        "T \" \" Arial 12 -----",
        "T \"italic\" Arial 14 -I---",
        "T \" \" Arial 12 -----",
        "T \"under\" Arial 12 --U--",
        "T \" not \" Arial 12 -----",
        "T \"gone\" Arial 12 ---S-",
        "T \" \" Arial 12 -----",
        "T \"red\" Times New Roman 12 ----- #ff0000",
        "T \"blue\" Times New Roman 12 ----- #0000ff",
        "T \" H\" Arial 12 -----",
        "T \"2\" Arial 12 ----_",
        "T \"O x\" Arial 12 -----",
        "T \"2\" Arial 12 ----^",
        "T \"marked\" Arial 12 ----- bg#0000ff",
        "T \"reset\" Arial 12 -----",
        "P left li=0 ri=0 fi=0 sb=0 sa=0",
        "END left li=0 ri=0 fi=0 sb=0 sa=0",
    };
    EXPECT_EQ(doc.lines, expected);
}

TEST(RtfReader, ParagraphFormatting)
{
    const auto doc = read(R"({\rtf1\pard\qc\li720\ri360\fi-180\sb120\sa240\sl360\slmult1\tx1440\tx2880 Centre\par
\pard\qr Right\line next\par\pard\qj Justified\page After})");
    EXPECT_EQ(doc.lines[1], "P center li=720 ri=360 fi=-180 sb=120 sa=240 sl=360x tx=1440 tx=2880");
    EXPECT_EQ(doc.lines[3], "L");
    EXPECT_EQ(doc.lines[5], "P right li=0 ri=0 fi=0 sb=0 sa=0");
    EXPECT_EQ(doc.lines[7], "PAGE");
    EXPECT_EQ(doc.lines.back(), "END justify li=0 ri=0 fi=0 sb=0 sa=0");
    EXPECT_EQ(doc.plain(), "Centre|Right/next|JustifiedAfter");
    // Shading: a background colour, a pattern colour over white by half, and none after \pard.
    const auto shaded = read(R"({\rtf1{\colortbl;\red255\green0\blue0;\red204\green221\blue238;})"
                             R"(\pard\cbpat2 a\par\pard\cfpat1\shading5000 b\par\pard c\par})");
    EXPECT_EQ(shaded.lines[1], "P left li=0 ri=0 fi=0 sb=0 sa=0 bg#ccddee");
    EXPECT_EQ(shaded.lines[3], "P left li=0 ri=0 fi=0 sb=0 sa=0 bg#ff8080");
    EXPECT_EQ(shaded.lines[5], "P left li=0 ri=0 fi=0 sb=0 sa=0");
    // Direction: right to left, left to right, and the text's own after \pard.
    const auto directed = read(R"({\rtf1\pard\rtlpar\qr a\par\pard\ltrpar b\par\pard c\par})");
    EXPECT_EQ(directed.lines[1], "P right li=0 ri=0 fi=0 sb=0 sa=0 rtl");
    EXPECT_EQ(directed.lines[3], "P left li=0 ri=0 fi=0 sb=0 sa=0 ltr");
    EXPECT_EQ(directed.lines[5], "P left li=0 ri=0 fi=0 sb=0 sa=0");
}

TEST(RtfReader, TabStopsKeepTheirKind)
{
    const auto doc = read(
        R"({\rtf1\pard\tx720\tqr\tx5760\tqc\tx2880\tqdec\tx4320\tx6000 x\par\pard\tqr\pard\tx100 y\par})");
    EXPECT_EQ(doc.lines[1], "P left li=0 ri=0 fi=0 sb=0 sa=0 tx=720 tx=5760r tx=2880c tx=4320d tx=6000");
    EXPECT_EQ(doc.lines[3], "P left li=0 ri=0 fi=0 sb=0 sa=0 tx=100"); // \pard forgets a kind not used
    // Leaders fill the space before their stop.
    const auto leaders = read(
        R"({\rtf1\pard\tqr\tldot\tx5760\tlhyph\tx6000\tlul\tx7000\tx8000\tleq\tx9000\tlmdot\tx9500 z\par\pard\tldot\pard\tx100 w\par})");
    EXPECT_EQ(leaders.lines[1],
              "P left li=0 ri=0 fi=0 sb=0 sa=0 tx=5760r(.) tx=6000(-) tx=7000(_) tx=8000 tx=9000(=) tx=9500(\xC2\xB7)");
    EXPECT_EQ(leaders.lines[3], "P left li=0 ri=0 fi=0 sb=0 sa=0 tx=100"); // \pard forgets a leader not used
}

TEST(RtfReader, HiddenTextIsLeftOutAndTheDefaultTabIsPassedOn)
{
    const auto doc = read(
        R"({\rtf1\deftab1134 Shown {\v Hidden \u1234?} after\v hidden\v0  again {\v x\plain  plain}\par})");
    EXPECT_EQ(doc.lines.front(), "DEFTAB 1134");
    EXPECT_EQ(doc.plain(), "Shown  after again  plain|");
    // A distance that is none or absurd is no distance.
    EXPECT_EQ(read(R"({\rtf1\deftab0 x\par})").lines.front().rfind("DEFTAB", 0), std::string::npos);
    EXPECT_EQ(read(R"({\rtf1\deftab999999 x\par})").lines.front(), "DEFTAB 31680");
}

TEST(RtfReader, CodePagesAndUnicode)
{
    // Cyrillic through a font's charset, Western through the document's code page, \u with \uc;
    // an optional hyphen is a soft hyphen.
    const auto doc = read(R"({\rtf1\ansi\ansicpg1252{\fonttbl{\f0 Arial;}{\f1\fcharset204 Arial Cyr;}}
caf\'e9 \'80 {\f1\'cf\'f0\'e8\'e2\'e5\'f2} \u8364? {\uc2\u1046\'3f\'3f}{\uc0\u26085}\u-3998?\emdash\bullet\~x\-y\_z})");
    EXPECT_EQ(doc.plain(), "caf\xC3\xA9 \xE2\x82\xAC \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xE2\x82\xAC "
                           "\xD0\x96\xE6\x97\xA5\xEF\x81\xA2\xE2\x80\x94\xE2\x80\xA2\xC2\xA0x\xC2\xADy\xE2\x80\x91z");
    const auto cp1250 = read("{\\rtf1\\ansi\\ansicpg1250 \\'8a\\'e8}");
    EXPECT_EQ(cp1250.plain(), "\xC5\xA0\xC4\x8D");
    // Macintosh pages: Japanese as the document's page under fonts of charset 77 (which a
    // Macintosh writer gives every font) and through charset 78; Traditional and Simplified
    // Chinese, Korean, Roman, Cyrillic and Central European.
    EXPECT_EQ(read(R"({\rtf1\mac\ansicpg10001{\fonttbl{\f0\fcharset77 Osaka;}{\f1\fcharset78 Hiragino;}}\f0 )"
                   R"(\'82\'a8\'93\'c7\'82\'dd\'82\'ad\'82\'be\'82\'b3\'82\'a2{\f1\'82\'a0}})")
                  .plain(),
              "\xE3\x81\x8A\xE8\xAA\xAD\xE3\x81\xBF\xE3\x81\x8F\xE3\x81\xA0\xE3\x81\x95\xE3\x81\x84\xE3\x81\x82");
    EXPECT_EQ(read("{\\rtf1\\mac\\ansicpg10002 \\'a4\\'a4}").plain(), "\xE4\xB8\xAD");
    EXPECT_EQ(read("{\\rtf1\\mac\\ansicpg10008 \\'c4\\'e3}").plain(), "\xE4\xBD\xA0");
    EXPECT_EQ(read("{\\rtf1\\mac\\ansicpg10003 \\'c7\\'d1}").plain(), "\xED\x95\x9C");
    EXPECT_EQ(read("{\\rtf1\\mac\\ansicpg10000{\\fonttbl{\\f0\\fcharset77 Times;}}\\f0 caf\\'8e}").plain(),
              "caf\xC3\xA9");
    EXPECT_EQ(read("{\\rtf1{\\fonttbl{\\f0\\fcharset89 X;}{\\f1\\fcharset88 Y;}}\\f0\\'80{\\f1\\'80}}").plain(),
              "\xD0\x90\xC3\x84");
    // Greek and Turkish through their charsets (85, 86) and the document's page; Romanian,
    // Ukrainian, Icelandic and Croatian through the document's page.
    EXPECT_EQ(read("{\\rtf1{\\fonttbl{\\f0\\fcharset85 G;}{\\f1\\fcharset86 T;}}\\f0\\'b6\\'ec\\'ec\\'c0\\'e4\\'e1 "
                   "{\\f1\\'da\\'9fzel}}")
                  .plain(),
              "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1 \xC4\x9E\xC3\xBCzel");
    EXPECT_EQ(read("{\\rtf1\\mac\\ansicpg10006 \\'b6\\'ec\\'ec\\'c0\\'e4\\'e1}").plain(),
              "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1");
    EXPECT_EQ(read("{\\rtf1\\mac\\ansicpg10010 \\'dear\\'be}").plain(), "\xC5\xA2" "ar\xC4\x83");
    EXPECT_EQ(read("{\\rtf1\\mac\\ansicpg10017 \\'a2\\'e0\\'ed\\'ee\\'ea}").plain(),
              "\xD2\x90\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xBA");
    EXPECT_EQ(read("{\\rtf1\\mac\\ansicpg10079 \\'a0sa}").plain(), "\xC3\x9Dsa");
    EXPECT_EQ(read("{\\rtf1\\mac\\ansicpg10082 \\'a9uma}").plain(), "\xC5\xA0uma");
}

TEST(RtfReader, DoubleByteCodePagesPairTheirBytes)
{
    // Japanese through a font's charset, Chinese through the document's code page, Traditional
    // Chinese and Korean through \cpg; a trail byte written as an ASCII letter or as an escaped
    // backslash; \uc2 skipping both bytes of the character that stands for \uN.
    const auto doc = read(
        R"({\rtf1\ansi\ansicpg936{\fonttbl{\f0 SimSun;}{\f1\fcharset128 MS Mincho;}{\f2\cpg950 MingLiU;}{\f3\cpg949 Batang;}}
\'c4\'e3\'ba\'c3 {\f1\'82\'a0\'93\'fa\'83A\'95\\}{\f2\'a4\'a4\'a4\'e5}{\f3\'c7\'d1\'b1\'db}{\f1\uc2\u26085\'93\'fa!}})");
    EXPECT_EQ(doc.plain(), "\xE4\xBD\xA0\xE5\xA5\xBD \xE3\x81\x82\xE6\x97\xA5\xE3\x82\xA2\xE8\xA1\xA8"
                           "\xE4\xB8\xAD\xE6\x96\x87\xED\x95\x9C\xEA\xB8\x80\xE6\x97\xA5!");
}

TEST(RtfReader, BrokenDoubleByteTextLosesOnlyItsBrokenCharacter)
{
    // A lead byte followed by a control word, a group's end, a byte that cannot trail it, or the
    // end of the input reads as U+FFFD; what follows is read as ever.
    const auto doc = read(R"({\rtf1\ansi{\fonttbl{\f0\fcharset128 MS Gothic;}}\f0 a\'82\par b{\'82}c\'82\'0a d\'82)");
    EXPECT_EQ(doc.plain(), "a\xEF\xBF\xBD|"
                           "b\xEF\xBF\xBD"
                           "c\xEF\xBF\xBD\n d\xEF\xBF\xBD");
}

TEST(RtfReader, UnknownCodePagesAndSymbolFonts)
{
    // Pages whose converter holds a letter back for a combining mark (Hebrew, Vietnamese) give
    // it out; a code page of 0 or below reads as 1252; UTF-8 sequences pair across escapes.
    EXPECT_EQ(read("{\\rtf1\\ansi\\ansicpg1255 \\'f9\\'ec\\'e5\\'ed}").plain(), "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D");
    EXPECT_EQ(read("{\\rtf1\\ansi\\ansicpg1258 \\'c3n}").plain(), "\xC4\x82n");
    EXPECT_EQ(read("{\\rtf1\\ansi\\ansicpg0 caf\\'e9}").plain(), "caf\xC3\xA9");
    EXPECT_EQ(read("{\\rtf1\\ansi\\ansicpg-5 caf\\'e9}").plain(), "caf\xC3\xA9");
    EXPECT_EQ(read("{\\rtf1\\ansi\\ansicpg65001 \\'c3\\'a9\\'e2\\'82\\'ac \\'c3x\\'ff}").plain(),
              "\xC3\xA9\xE2\x82\xAC \xEF\xBF\xBDx\xEF\xBF\xBD");
    // An unknown document code page reads as 1252; an unknown \cpg keeps the font's charset.
    EXPECT_EQ(read("{\\rtf1\\ansi\\ansicpg99999 caf\\'e9}").plain(), "caf\xC3\xA9");
    EXPECT_EQ(read("{\\rtf1{\\fonttbl{\\f0\\fcharset204\\cpg77777 X;}}\\f0 \\'c0}").plain(), "\xD0\x90");
    // Symbol's bullet and Greek letters, Wingdings' square bullet; another symbol font's bytes
    // are its own.
    const auto doc = read(
        R"({\rtf1{\fonttbl{\f0 Arial;}{\f1\fcharset2 Symbol;}{\f2\fcharset2 Wingdings;}{\f3\fcharset2 Marlett;}}
{\f1\'b7 ab}{\f2\'a7}{\f3\'a7}{\f2 JKL}})");
    // ... and Wingdings' faces: smiling, neutral (beyond the 16-bit range) and frowning.
    EXPECT_EQ(doc.plain(), "\xE2\x80\xA2 \xCE\xB1\xCE\xB2\xE2\x96\xAA\xC2\xA7\xE2\x98\xBA\xF0\x9F\x98\x90\xE2\x98\xB9");
}

TEST(RtfReader, ListsPrintTheirBulletsAndNumbers)
{
    // A bullet list (Symbol's bullet at its private code point) and a numbered list of two
    // levels, "1." and "a)", the second level starting again under each first-level item; the
    // paragraphs bring no label of their own.
    const auto doc = read(R"({\rtf1\ansi{\fonttbl{\f0 Arial;}{\f1\fcharset2 Symbol;}}
{\*\listtable{\list{\listlevel\levelnfc23\levelstartat1\levelfollow0{\leveltext\'01\u-3913 ?;}{\levelnumbers;}\f1\fi-360\li720}\listid10}
{\list{\listlevel\levelnfc0\levelstartat1{\leveltext\'02\'00.;}{\levelnumbers\'01;}}{\listlevel\levelnfc4\levelstartat1\levelfollow1{\leveltext\'02\'01);}{\levelnumbers\'01;}}{\listname Steps;}\listid20}}
{\*\listoverridetable{\listoverride\listid10\listoverridecount0\ls1}{\listoverride\listid20\listoverridecount0\ls2}}
\pard\ls1 Apples\par Pears\par
\pard\ls2\ilvl0 First\par\pard\ls2\ilvl1 Sub\par\pard\ls2\ilvl1 Sub\par\pard\ls2\ilvl0 Second\par\pard\ls2\ilvl1 Again\par
\pard Plain\par})");
    EXPECT_EQ(doc.plain(), "\xE2\x80\xA2\tApples|\xE2\x80\xA2\tPears|1.\tFirst|a) Sub|b) Sub|2.\tSecond|a) Again|Plain|");
}

TEST(RtfReader, ListsNumberTheirParagraphsAndTheWritersLabelsStandInWhereNoListCan)
{
    // The writer's label (\listtext, \pntext) is for readers that do not number lists: a
    // paragraph of a list in the table is numbered from it, one of no such list keeps the
    // writer's label. The \pard\plain inside the label's group stays there: the item keeps its
    // indents.
    const auto doc = read(R"({\rtf1\ansi{\fonttbl{\f0 Arial;}{\f1\fcharset2 Symbol;}}
{\*\listtable{\list{\listlevel\levelnfc0{\leveltext\'02\'00.;}{\levelnumbers\'01;}}\listid7}}
{\*\listoverridetable{\listoverride\listid7\ls1}}
\pard\li720\fi-360\ls1{\listtext\pard\plain 1.\tab}One\par
{\listtext\pard\plain\f1 \'b7\tab}\pard\li720\fi-360\ls1 Two\par
{\pntext\f1\'b7\tab}{\*\pn\pnlvlblt{\pntxtb\'b7}}\pard\li720 Three\par
{\listtext 9)\tab}\pard\li720\ls5 Four\par})");
    EXPECT_EQ(doc.plain(), "1.\tOne|2.\tTwo|\xE2\x80\xA2\tThree|9)\tFour|");
    for (const std::string &line : doc.lines) {
        if (line.rfind("P ", 0) == 0) {
            EXPECT_NE(line.find("li=720"), std::string::npos) << line;
        }
    }
}

TEST(RtfReader, ListsTheTableDoesNotHavePrintWithoutLabels)
{
    // An override naming a missing list, a paragraph naming a missing override, a list without
    // levels, a level past the list's: the text prints, labels only where they can be made.
    const auto doc = read(
        R"({\rtf1\ansi{\*\listtable{\list\listid1}{\list{\listlevel\levelnfc2\levelstartat4{\leveltext\'02\'00.;}}\listid2}}
{\*\listoverridetable{\listoverride\listid99\ls1}{\listoverride\listid1\ls2}{\listoverride\listid2\ls3}}
\pard\ls1 A\par\pard\ls9 B\par\pard\ls2 C\par\pard\ls3\ilvl5 D\par\pard\ls3 E\par})");
    EXPECT_EQ(doc.plain(), "A|B|C|iv.\tD|v.\tE|");
    // A list may start at 0; a length byte longer than the level's text takes no more than the
    // text before its ";"; control characters are left out of labels.
    const auto edges = read(
        R"({\rtf1\ansi{\*\listtable{\list{\listlevel\levelnfc0\levelstartat0{\leveltext\'09\'00.\'0a;}}\listid3}}
{\*\listoverridetable{\listoverride\listid3\ls1}}\pard\ls1 Zero\par\pard\ls1 One\par})");
    EXPECT_EQ(edges.plain(), "0.\tZero|1.\tOne|");
    // A table in a cell: its cells' text kept apart.
    EXPECT_EQ(read(R"({\rtf1 Tl1\nestcell Tl2\nestcell{\*\nesttableprops\trowd\cellx100\nestrow}Tl3\par})").plain(),
              "Tl1\tTl2\tTl3|");
}

TEST(RtfReader, SkipsWhatIsNotText)
{
    const auto doc = read(R"({\rtf1{\fonttbl{\f0 Arial{\*\falt Helvetica};}}{\stylesheet{\s1 Heading;}}
{\info{\title Secret}{\author Nobody}}{\*\generator Writer;}{\*\unknownthing hidden}
{\field{\*\fldinst HYPERLINK "x"\par\page}{\fldrslt shown}} visible})");
    EXPECT_EQ(doc.plain(), "shown visible");
    EXPECT_EQ(doc.lines[0], "T \"shown visible\" Arial 12 -----");
}

TEST(RtfReader, NotesKeepTheirMarksAndText)
{
    // As LibreOffice writes a footnote: the mark in the text, the note in the mark's group with
    // its own mark; and as pandoc writes one, its paragraph ended.
    const auto lo = read(
        R"({\rtf1{\fonttbl{\f0 Arial;}}\f0 Harbour{\super\chftn{\*\footnote\chftn\pard\plain\li340\fi-340\fs20{\tab Pilots board.}
}} wall{\super\chftn}{\*\footnote\chftn\~\plain\pard {\pard\sa180 Second.\par Its second\par}}.\par})");
    EXPECT_EQ(lo.plain(), "Harbour1[1\tPilots board.] wall2[2\u00a0Second.|Its second|].|");
    ASSERT_GE(lo.lines.size(), 6u) << lo.all();
    EXPECT_EQ(lo.lines[0], "T \"Harbour\" Arial 12 -----");
    EXPECT_EQ(lo.lines[1], "T \"1\" Arial 12 ----^");
    EXPECT_EQ(lo.lines[2], "NOTE foot");
    // The note's own mark is printed as its text is, not raised as the reference's group says.
    EXPECT_EQ(lo.lines[3], "T \"1\tPilots board.\" Arial 10 -----");
    EXPECT_EQ(lo.lines[4], "/NOTE left li=340 ri=0 fi=-340 sb=0 sa=0");
    EXPECT_EQ(lo.lines[5], "T \" wall\" Arial 12 -----");

    // Endnotes (\ftnalt, or every note with \fet1) count on their own, in roman numerals when
    // the document says so; a mark in a table cell leaves the row as it was.
    const auto mixed = read(R"({\rtf1\aftnnrlc A{\super\chftn}{\footnote\ftnalt {\super\chftn} first end}
B{\super\chftn}{\footnote {\super\chftn} foot}C{\super\chftn}{\footnote\ftnalt\chftn\~second end}\par
\trowd\cellx2000\cellx4000\intbl D{\super\chftn}{\footnote\pard\chftn\~cell note}\cell E\cell\row})");
    EXPECT_EQ(mixed.plain(), "Ai[i first end]B1[1 foot]Cii[ii\u00a0second end]|D2[2\u00a0cell note]|E|");
    ASSERT_GE(mixed.lines.size(), 5u) << mixed.all();
    EXPECT_EQ(mixed.lines[1], "T \"i\" (default) 12 ----^");
    EXPECT_EQ(mixed.lines[2], "NOTE end");
    EXPECT_EQ(mixed.lines.end()[-3], "CELL");
    EXPECT_EQ(mixed.lines.end()[-2], "ENDROW");
    EXPECT_EQ(read(R"({\rtf1\fet1 A\chftn{\footnote\chftn x}B\chftn{\footnote\chftn y}})").all(),
              "T \"A\" (default) 12 -----\nT \"1\" (default) 12 -----\nNOTE end\nT \"1x\" (default) 12 -----\n/NOTE "
              "left li=0 ri=0 fi=0 sb=0 sa=0\nT \"B\" (default) 12 -----\nT \"2\" (default) 12 -----\nNOTE end\nT \"2y\" "
              "(default) 12 -----\n/NOTE left li=0 ri=0 fi=0 sb=0 sa=0\nEND left li=0 ri=0 fi=0 sb=0 sa=0\n");
}

TEST(RtfReader, HeadersFootersAndSections)
{
    // Headers and footers with page number fields, where they stand, which pages take them.
    const auto doc = read(R"({\rtf1\facingp\headery500\footery600\titlepg
{\header\pard\qc Ledger page {\field{\*\fldinst{ PAGE \\* ARABIC }}{\fldrslt{7}}} of {\field{\*\fldinst NUMPAGES}{\fldrslt 9}}\par}
{\footerl\pard Left \chpgn}{\footerf{\field{\*\fldinst{ PAGE }}}}{\headerf First}{\footerr\pard\qr Right\par}
Body one\sect\sectd\sbknone Same page\sect\sectd Next page\par\sect\sectd\sbkodd\page Own break\sect})");
    EXPECT_EQ(doc.plain(), "<Ledger page # of ##|><Left #><#><First><Right|>Body one|Same page|Next page||Own break|");
    const std::string all = doc.all();
    EXPECT_NE(all.find("PART 0\nT \"Ledger page \" (default) 12 -----\nPAGENO\nT \" of \" (default) 12 -----\n"
                       "NUMPAGES\nP center"),
              std::string::npos)
        << all;
    EXPECT_NE(all.find("PART 5\nT \"Left \" (default) 12 -----\nPAGENO\n/PART left"), std::string::npos) << all;
    EXPECT_NE(all.find("PART 3\nT \"First\" (default) 12 -----\n/PART left"), std::string::npos) << all;
    EXPECT_NE(all.find("PART 6\n"), std::string::npos) << all;
    // \sect ends a paragraph; the next section starts a page unless \sbknone; \page right after
    // a section's end is its page, not one more.
    EXPECT_NE(all.find("T \"Body one\" (default) 12 -----\nP left li=0 ri=0 fi=0 sb=0 sa=0\nT \"Same page\""),
              std::string::npos)
        << all;
    EXPECT_NE(all.find("T \"Same page\" (default) 12 -----\nP left li=0 ri=0 fi=0 sb=0 sa=0\nPAGE\nT \"Next page\""),
              std::string::npos)
        << all;
    EXPECT_NE(all.find("P left li=0 ri=0 fi=0 sb=0 sa=0\nPAGE\nT \"Own break\""), std::string::npos) << all;
    EXPECT_EQ(std::count(doc.lines.begin(), doc.lines.end(), "PAGE"), 2) << all;
    EXPECT_NE(all.find("PART 7\nPAGENO\n/PART"), std::string::npos) << all;
    ASSERT_GE(doc.lines.size(), 2u);
    EXPECT_EQ(doc.lines.end()[-2], "FRAME hy=500 fy=600 titlepg facingp");
}

TEST(RtfReader, SectionColumnsBreaksAndOrientation)
{
    // Each section's format is told where its text starts, when it differs from the last told;
    // \sectd goes back to one column and the document's orientation; \column breaks a column,
    // not a page; a page wider than tall is landscape.
    const auto doc = read(R"({\rtf1\paperw12240\paperh15840\sectd\cols2\colsx360\linebetcol One\column Two\sect
\sectd\sbknone\cols2\colsx360\linebetcol Same\sect\sectd\cols3 Three\sect\sectd\lndscpsxn\pgwsxn15840\pghsxn12240 Wide
\sect\sectd\pgwsxn15840\pghsxn12240 Wider\sect\sectd Plain\par})");
    EXPECT_EQ(doc.plain(), "OneTwo|Same|Three|Wide|Wider|Plain|");
    const std::vector<std::string> expected{"SECTION cols=2 gap=360 rule portrait",
                                            "T \"One\" (default) 12 -----",
                                            "COLUMN",
                                            "T \"Two\" (default) 12 -----",
                                            "P left li=0 ri=0 fi=0 sb=0 sa=0",
                                            "T \"Same\" (default) 12 -----",
                                            "P left li=0 ri=0 fi=0 sb=0 sa=0",
                                            "PAGE",
                                            "SECTION cols=3 gap=720 portrait",
                                            "T \"Three\" (default) 12 -----",
                                            "P left li=0 ri=0 fi=0 sb=0 sa=0",
                                            "PAGE",
                                            "SECTION cols=1 gap=720 landscape",
                                            "T \"Wide\" (default) 12 -----",
                                            "P left li=0 ri=0 fi=0 sb=0 sa=0",
                                            "PAGE",
                                            "T \"Wider\" (default) 12 -----",
                                            "P left li=0 ri=0 fi=0 sb=0 sa=0",
                                            "PAGE",
                                            "SECTION cols=1 gap=720 portrait",
                                            "T \"Plain\" (default) 12 -----",
                                            "P left li=0 ri=0 fi=0 sb=0 sa=0"};
    ASSERT_GE(doc.lines.size(), expected.size()) << doc.all();
    EXPECT_EQ(std::vector<std::string>(doc.lines.begin(), doc.lines.begin() + static_cast<long>(expected.size())), expected)
        << doc.all();
    // Columns named after a section's text has started do not divide it.
    const auto late = read(R"({\rtf1 A\par\cols2 B\sect\sectd\sbkpage C\par})");
    EXPECT_EQ(late.all().find("SECTION"), std::string::npos) << late.all();
    EXPECT_EQ(std::count(late.lines.begin(), late.lines.end(), "PAGE"), 1) << late.all();
    // A document that names landscape pages: its sections are, unless they say otherwise.
    const auto wide = read(R"({\rtf1\landscape\paperw15840\paperh12240 A\sect\sectd\pgwsxn12240\pghsxn15840 B\par})");
    const std::string all = wide.all();
    EXPECT_NE(all.find("SECTION cols=1 gap=720 landscape\nT \"A\""), std::string::npos) << all;
    EXPECT_NE(all.find("PAGE\nSECTION cols=1 gap=720 portrait\nT \"B\""), std::string::npos) << all;
    // Section controls in a header or a note leave the body's sections as they were.
    const auto parts = read(R"({\rtf1\paperw12240\paperh15840\sectd\cols2{\header\sectd\cols3\lndscpsxn H\par}A
{\*\footnote\sectd\sbknone\pgwsxn15840\pghsxn12240 N}\par\sect B\par})");
    std::vector<std::string> sections;
    for (const auto &line : parts.lines)
        if (line.rfind("SECTION", 0) == 0 || line == "PAGE")
            sections.push_back(line);
    EXPECT_EQ(sections, (std::vector<std::string>{"SECTION cols=2 gap=720 portrait", "PAGE"})) << parts.all();
}

TEST(RtfReader, Tables)
{
    const auto doc = read(R"({\rtf1\trowd\cellx2000\cellx5000\intbl A1\cell B1\cell\row
\trowd\cellx2000\cellx5000\intbl A2\cell\pard\intbl B2 line 1\par B2 line 2\cell\row\pard After\par})");
    const std::vector<std::string> structure{"ROW 2000,5000", "CELL",   "CELL", "ENDROW", "ROW 2000,5000", "CELL", "P",
                                             "CELL",          "ENDROW", "P",    "END"};
    std::vector<std::string> seen; // the structure: rows with their edges, other events by name
    for (const auto &line : doc.lines) {
        if (line.rfind("ROW", 0) == 0)
            seen.push_back(line);
        else if (line[0] != 'T')
            seen.push_back(line.substr(0, line.find(' ')));
    }
    EXPECT_EQ(seen, structure);
    EXPECT_EQ(doc.plain(), "A1|B1|A2|B2 line 1|B2 line 2|After|");
}

TEST(RtfReader, TableRowsCarryTheirCellsBordersShadingAndMerging)
{
    // Cell borders of each kind with widths and colours; a row's borders for cells that name
    // none; shading as a colour and as a share of the pattern colour over the background;
    // merged cells; the row's left edge, gap, header and keep.
    const auto doc = read(R"({\rtf1{\colortbl;\red255\green0\blue0;\red0\green0\blue255;\red255\green255\blue255;}
\trowd\trgaph108\trleft-108\trhdr\trkeep\trbrdrt\brdrs\brdrw10\trbrdrl\brdrs\brdrw10\trbrdrb\brdrs\brdrw10\trbrdrr\brdrs\brdrw10\trbrdrv\brdrdot\brdrw5
\clbrdrt\brdrdb\brdrw15\brdrcf1\clbrdrl\brdrnone\clcbpat2\cellx2000
\clshdng2500\clcfpat1\clcbpat3\clmgf\cellx4000\clmrg\clbrdrb\brdrdash\brdrw30\cellx6000
\clvmgf\clbrdrr\brdrth\cellx8000\pard\intbl a\cell b\cell c\cell d\cell\row
\trowd\trpaddl30\trpaddfl3\trpaddr0\trpaddt20\trpaddft3\trpaddb40\trpaddfb3\cellx2000\clpadl99\clpadfl3\clpadt45\clpadft3\clpadr15\clpadfr3\clpadb60\clpadfb3\clvmrg\cellx8000\pard\intbl e\cell\cell\row})");
    std::vector<std::string> rows;
    for (const std::string &line : doc.lines)
        if (line.rfind("ROW", 0) == 0)
            rows.push_back(line);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], "ROW 2000{t=db15#ff0000 b=s10 r=dot5 bg#0000ff},"
                       "4000{t=s10 l=dot5 b=s10 r=dot5 bg#ffc0c0 across=first},"
                       "6000{t=s10 l=dot5 b=dash30 r=dot5 across=merged},"
                       "8000{t=s10 l=dot5 b=s10 r=s30 down=first} left=-108 gap=108 header keep");
    // Padding in twips: the row's left (its right is in no unit), top and bottom, the cell's
    // left and top as Word writes them (\clpadt, \clpadl), its right and bottom.
    EXPECT_EQ(rows[1], "ROW 2000,8000{pad=45,15 vpad=99,60 down=merged} pad=30,-1 vpad=20,40");
    EXPECT_EQ(doc.plain(), "a|b|c|d|e||");
}

TEST(RtfReader, Pictures)
{
    const auto doc = read(R"({\rtf1 a{\pict\pngblip\picw10\pich10\picwgoal1440\pichgoal720\picscalex50 89504e470d0a1a0a}b
{\*\shppict{\pict\jpegblip\picwgoal100\pichgoal100 ffd8ffe0}}{\nonshppict{\pict\wmetafile8 0102}}
{\pict\emfblip 0102}{\pict\pngblip\bin4 )"
                          "\x01\x02\x03\x04"
                          R"(}
{\pict\wmetafile8\picw2540\pich1270 0304}{\pict\macpict 05})");
    std::vector<std::string> pictures;
    for (const auto &line : doc.lines)
        if (line.rfind("PICT", 0) == 0)
            pictures.push_back(line);
    // The one under \\nonshppict is the alternative to the picture before it and is skipped; a
    // metafile without a size on paper has its own, in hundredths of a millimetre; a kind not
    // read keeps its place.
    EXPECT_EQ(pictures, (std::vector<std::string>{"PICT png 720x720 (8 bytes)", "PICT jpeg 100x100 (4 bytes)",
                                                  "PICT emf 0x0 (2 bytes)", "PICT png 0x0 (4 bytes)",
                                                  "PICT wmf 1440x720 (2 bytes)", "PICT other 0x0 (1 bytes)"}));
    EXPECT_EQ(doc.plain(), "ab");
}

TEST(RtfReader, ShapesHandOverTheirPictureOrTextBoxWithTheirPlace)
{
    // A picture floating right of its paragraph as LibreOffice writes it (its place measured
    // from the page, as \shpbxignore leaves it to posrelh), and a text box inside a SHAPE field
    // as it writes those: each shape once, its result for other readers left out, its text
    // apart from the paragraph's.
    const auto doc = read(
        R"({\rtf1\pard Before{\shp{\*\shpinst\shpwr2\shpbypara\shptop0\shpbottom1440\shpbxcolumn\shpbxignore)"
        R"(\shpleft8458\shpright11338{\sp{\sn shapeType}{\sv 75}}{\sp{\sn posrelh}{\sv 1}}{\sp{\sn pib}{\sv )"
        R"({\pict\picscalex480\picscaley480\picw40\pich20\picwgoal600\pichgoal300\pngblip 89504e47}}})"
        R"({\sp{\sn fillBlip}{\sv {\pict\pngblip 0102}}}})"
        R"({\shprslt{\pict\wmetafile8 0102}Alternative}} Logo)"
        R"({\shp{\*\shpinst\shpleft0\shpright1000\shptop0\shpbottom500{\sp{\sn pib}{\sv {\pict\pngblip 01}}}}}\par)"
        R"(\pard{\field{\*\fldinst SHAPE }{\fldrslt{\shp{\*\shpinst\shpleft6757\shptop0\shpright9636\shpbottom276)"
        R"({\sp{\sn shapeType}{\sv 202}}{\sp{\sn posh}{\sv 3}}{\shptxt \ltrpar{Boxed {\b words}}\par}}}}}Anchor\par})");
    const std::vector<std::string> expected{
        "T \"Before\" (default) 12 -----",
        "SHAPE 8458,0,11338,1440 page at",
        "PICT png 2880x1440 (4 bytes)",
        "ENDSHAPE",
        "T \" Logo\" (default) 12 -----",
        "SHAPE 0,0,1000,500 column at",
        "PICT png 1000x500 (1 bytes)", // a picture without a size of its own fills its shape
        "ENDSHAPE",
        "P left li=0 ri=0 fi=0 sb=0 sa=0",
        "SHAPE 6757,0,9636,276 column right",
        "T \"Boxed \" (default) 12 -----",
        "T \"words\" (default) 12 B----",
        "P left li=0 ri=0 fi=0 sb=0 sa=0 ltr",
        "ENDSHAPE",
        "T \"Anchor\" (default) 12 -----",
        "P left li=0 ri=0 fi=0 sb=0 sa=0",
        "END left li=0 ri=0 fi=0 sb=0 sa=0",
    };
    EXPECT_EQ(doc.lines, expected);
    // A picture in Word's pair of a shape's picture and its alternative prints once, inline.
    EXPECT_EQ(read(R"({\rtf1 a{\*\shppict{\pict\pngblip 0102}}{\nonshppict{\pict\wmetafile8 0102}}b})").lines,
              (std::vector<std::string>{"T \"a\" (default) 12 -----", "PICT png 0x0 (2 bytes)",
                                        "T \"b\" (default) 12 -----", "END left li=0 ri=0 fi=0 sb=0 sa=0"}));
}

TEST(RtfReader, CapitalsUnderlinesAndCharacterSpacing)
{
    // \caps and \scaps, double, words-only and thick underlines, spacing in twips and in
    // quarter points; \ulnone and \plain end them.
    const auto doc = read(R"({\rtf1 {\caps a}{\scaps b}{\uldb c}{\ulw d e}{\ulth f}{\expndtw40 g}{\expnd-6 h})"
                          R"({\uldb\caps\ulnone i}{\scaps\expndtw20\plain j}})");
    const std::vector<std::string> expected{
        "T \"a\" (default) 12 -----C",       "T \"b\" (default) 12 -----c", "T \"c\" (default) 12 --U--=",
        "T \"d e\" (default) 12 --U--w",     "T \"f\" (default) 12 --U--",  "T \"g\" (default) 12 -----+40",
        "T \"h\" (default) 12 -----+-30",    "T \"i\" (default) 12 -----C", "T \"j\" (default) 12 -----",
        "END left li=0 ri=0 fi=0 sb=0 sa=0",
    };
    EXPECT_EQ(doc.lines, expected);
}

TEST(RtfReader, WindowsBitmapsBecomeBmpFiles)
{
    // A device-independent bitmap of 2 x 1 pixels in 24 bits (red, green) gets a BMP file
    // header pointing at its bits; a one-bit device bitmap of 8 x 2 becomes a BMP of rows from
    // the bottom, each padded to four bytes, black and white; a damaged header gives no bytes.
    const auto doc = read(
        R"({\rtf1{\pict\dibitmap0\picw2\pich1\picwgoal300\pichgoal150 )"
        "28000000"
        "02000000"
        "01000000"
        "0100"
        "1800"
        "00000000"
        "08000000"
        "00000000"
        "00000000"
        "00000000"
        "00000000"
        "0000ff"
        "00ff00"
        "0000"
        R"(}{\pict\wbitmap0\picw8\pich2\wbmbitspixel1\wbmplanes1\wbmwidthbytes2 f0aa 0f55}{\pict\dibitmap0 0700000001}})");
    std::vector<std::string> pictures;
    for (const auto &line : doc.lines)
        if (line.rfind("PICT", 0) == 0)
            pictures.push_back(line);
    EXPECT_EQ(pictures, (std::vector<std::string>{"PICT bmp 300x150 (62 bytes)", "PICT bmp 0x0 (70 bytes)",
                                                  "PICT bmp 0x0 (0 bytes)"}));
    struct Capture : RecordingBuilder {
        std::vector<std::string> files;
        void picture(const std::string &type, const std::string &bytes, int32_t w, int32_t h) override
        {
            files.push_back(bytes);
            RecordingBuilder::picture(type, bytes, w, h);
        }
    } capture;
    readRtf(R"({\rtf1{\pict\wbitmap0\picw8\pich2\wbmbitspixel1\wbmwidthbytes2 f0aa 0f55}})", capture);
    ASSERT_EQ(capture.files.size(), 1u);
    const std::string &bmp = capture.files[0];
    ASSERT_EQ(bmp.size(), 70u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(static_cast<unsigned char>(bmp[10]), 62); // the bits follow header and two colours
    // The last row first: 0x0f, then the first: 0xf0, each padded to four bytes.
    EXPECT_EQ(bmp.substr(62), std::string("\x0f\x00\x00\x00\xf0\x00\x00\x00", 8));
}

TEST(RtfReader, MalformedInputGivesWhatCanBeRead)
{
    // Unbalanced braces, truncated escapes, absurd numbers, a \bin longer than the input.
    EXPECT_EQ(read("{\\rtf1 open {\\b bold").plain(), "open bold");
    EXPECT_EQ(read("{\\rtf1 a}}} b}").plain(), "a b");
    EXPECT_EQ(read("{\\rtf1 x\\'4").plain(), "x4");
    EXPECT_EQ(read("{\\rtf1 x\\'").plain(), "x");
    EXPECT_EQ(read("{\\rtf1\\fs99999999999999999999 big\\li-99999999999999 \\cf99 c\\f77 d}").plain(), "bigcd");
    EXPECT_EQ(read("{\\rtf1 {\\pict\\pngblip\\bin2000000000 abc}} after").plain(), "");
    EXPECT_EQ(read("{\\rtf1 \\u-99999999999 \\uc99999 x \\abcdefghijklmnopqrstuvwxyzabcdefghijklmnop y}").plain().size()
                  > 0,
              true);
    EXPECT_EQ(read("{\\rtf1\\fs-4 x\\fs0 y\\fs1 z}").lines,
              (std::vector<std::string>{"T \"xy\" (default) 12 -----", "T \"z\" (default) 1 -----",
                                        "END left li=0 ri=0 fi=0 sb=0 sa=0"}));
    EXPECT_EQ(read("{\\rtf1\\fs9999999 z}").lines[0], "T \"z\" (default) 1638 -----");
    EXPECT_EQ(read("").lines, std::vector<std::string>{"END left li=0 ri=0 fi=0 sb=0 sa=0"});
    EXPECT_EQ(read("\\").plain(), "");
}

TEST(RtfReader, DeepNestingIsReadInBoundedTime)
{
    std::string deep = "{\\rtf1 ";
    deep += std::string(100000, '{') + "deep" + std::string(100000, '}') + " end}";
    const auto start = std::chrono::steady_clock::now();
    const auto doc = read(deep);
    EXPECT_EQ(doc.plain(), "deep end");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(RtfReader, DocumentsWrittenByOtherPrograms)
{
    // Written by pandoc: Unicode as \u with \uc0, lists, emphasis, a table.
    const auto pandoc = read(dataFile("pandoc.rtf"));
    const std::string text = pandoc.plain();
    EXPECT_NE(text.find("Corvane sample"), std::string::npos) << text;
    EXPECT_NE(text.find("caf\xC3\xA9"), std::string::npos);
    EXPECT_NE(text.find("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"), std::string::npos);
    EXPECT_NE(pandoc.all().find("\"strong\" "), std::string::npos);
    bool bold = false;
    for (const auto &line : pandoc.lines)
        bold = bold || (line.find("\"strong\"") != std::string::npos && line.find(" B") != std::string::npos);
    EXPECT_TRUE(bold) << pandoc.all();
    EXPECT_NE(pandoc.all().find("ROW"), std::string::npos);
}
