// The PDF writer: a small job written to a string and read back through its cross-reference
// table, its pages' content compared with the operators expected, operator by operator.
#include "FontBytes.h"
#include "pdf/PdfTextWriter.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <limits>
#include <regex>

using corvane::pdf::PdfTextWriter;

namespace {

// A stream's data as zlib inflates it; every stream here is far below a megabyte.
std::string inflate(const std::string &packed)
{
    std::string out(1 << 20, '\0');
    uLongf size = out.size();
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef *>(out.data()), &size, reinterpret_cast<const Bytef *>(packed.data()),
                         packed.size()),
              Z_OK);
    out.resize(size);
    return out;
}

// A written PDF read back through its cross-reference table, which has to give every object's
// offset, where "N 0 obj" starts, in entries of 20 bytes.
struct Pdf {
    std::string trailer;
    std::vector<std::string> objects; // by number: the text between "N 0 obj\n" and "endobj"

    explicit Pdf(const std::string &bytes)
    {
        EXPECT_EQ(bytes.rfind("%PDF-1.4\n", 0), 0u);
        EXPECT_EQ(bytes.substr(bytes.size() - 7), "\n%%EOF\n");
        const size_t startxref = bytes.rfind("startxref\n");
        const size_t xref = std::stoul(bytes.substr(startxref + 10));
        std::smatch head;
        const std::string table = bytes.substr(xref, startxref - xref);
        EXPECT_TRUE(std::regex_search(table, head, std::regex("^xref\n0 (\\d+)\n0000000000 65535 f \n")));
        const size_t count = std::stoul(head[1]), entries = xref + size_t(head.length(0));
        trailer = bytes.substr(entries + 20 * (count - 1), startxref - entries - 20 * (count - 1));
        EXPECT_EQ(trailer.rfind("trailer\n<</Size " + std::to_string(count) + "/", 0), 0u) << trailer;
        objects.resize(count);
        for (size_t id = 1; id < count; ++id) {
            const std::string entry = bytes.substr(entries + 20 * (id - 1), 20);
            EXPECT_TRUE(std::regex_match(entry, std::regex("\\d{10} 00000 n \n"))) << entry;
            const std::string opening = std::to_string(id) + " 0 obj\n";
            const size_t offset = std::stoul(entry);
            EXPECT_EQ(bytes.compare(offset, opening.size(), opening), 0) << "object " << id;
            objects[id] = bytes.substr(offset + opening.size(), bytes.find("endobj\n", offset) - offset - opening.size());
        }
    }

    // The object that `key` refers to in `dict` ("/Key N 0 R").
    const std::string &at(const std::string &dict, const std::string &key) const
    {
        return objects.at(size_t(ref(dict, key)));
    }
    int ref(const std::string &dict, const std::string &key) const
    {
        std::smatch m;
        if (!std::regex_search(dict, m, std::regex(key + " ?(\\d+) 0 R")))
            return ADD_FAILURE() << key << " in " << dict, 0;
        return std::stoi(m[1]);
    }
    const std::string &pages() const { return at(at(trailer, "/Root"), "/Pages"); }
    std::vector<std::string> kids() const
    {
        std::vector<std::string> out;
        const std::string list = pages().substr(pages().find("/Kids["));
        const std::regex r("(\\d+) 0 R");
        for (auto it = std::sregex_iterator(list.begin(), list.end(), r); it != std::sregex_iterator(); ++it)
            out.push_back(objects.at(std::stoul((*it)[1])));
        return out;
    }
    // A stream's data, inflated when its dictionary (given in `dict`) says it is compressed;
    // its /Length has to end it at "endstream".
    std::string stream(const std::string &object, std::string *dict = nullptr) const
    {
        const size_t open = object.find(">>\nstream\n");
        const std::string d = object.substr(0, open);
        std::smatch m;
        EXPECT_TRUE(std::regex_search(d, m, std::regex("/Length (\\d+)"))) << d;
        const size_t length = std::stoul(m[1]);
        EXPECT_EQ(object.substr(open + 10 + length), "\nendstream\n") << d;
        if (dict)
            *dict = d;
        const std::string data = object.substr(open + 10, length);
        return d.find("/Filter/FlateDecode") != std::string::npos ? inflate(data) : data;
    }
};

PdfTextWriter::Sink into(std::string &out)
{
    return [&out](const char *data, size_t size) {
        out.append(data, size);
        return true;
    };
}

} // namespace

// Two pages on a US letter sheet whose drawing origin is 18 pt right of and 36 pt below the
// corner (360 and 720 twips), in the small font of FontBytes.h (2048 units to the em).
TEST(PdfTextWriter, WritesATwoPageJobOperatorByOperator)
{
    const auto font = fontbytes::load(fontbytes::tinyFont());
    ASSERT_TRUE(font);
    std::string out;
    PdfTextWriter writer(into(out), 612, 792, 360, 720);
    const int f = writer.font(font);
    EXPECT_EQ(writer.font(font), f);

    writer.line(100, 200, 1100, 200, 15);
    writer.setStrokeColor(255, 0, 0);
    writer.rectangle(2000, 1500, 500, 3000, 15);
    writer.setFillColor(128, 128, 128);
    const uint16_t hi[] = {1, 3, 2, 1};
    writer.text(f, 240, 720, 1440, hi, u"Hi H", 4);
    const double clip[] = {100, 100, 6100, 4100};
    writer.setClip(clip);
    writer.setClip(clip);
    writer.setFillColor(0, 0, 255);
    writer.fillRectangle(10, 20, 110, 70.5);
    writer.setClip(nullptr);
    writer.setFillColor(0, 0, 255);
    writer.line(0, 0, 10, 0, 15);
    writer.setLineCap(1);
    const double clip2[] = {0, 0, 12000, 8000};
    writer.setClip(clip2);
    EXPECT_EQ(writer.pageCount(), 1);
    writer.newPage();
    EXPECT_EQ(writer.pageCount(), 2);
    // A page is written when the next one ends (it is compressed meanwhile), not at the end.
    EXPECT_EQ(out.find("endstream"), std::string::npos);

    writer.setFillColor(0, 0, 0);
    writer.setLineCap(2);
    writer.line(0, 0, 20, 20, 15);
    // A no-break space in the space's glyph: the map keeps the first character shown.
    const uint16_t spaced[] = {1, 2, 1};
    const double extra[] = {0, 60, 0};
    writer.text(f, 300, 100, 200, spaced, u"H\u00A0H", 3, extra);
    const int picture = writer.picture(2, 1, "\x10\x20\x30\x40\x50\x60", "\xFF\x80");
    writer.drawPicture(picture, 10, 20, 400, 200);
    writer.setClip(clip2);
    ASSERT_TRUE(writer.finish(1, u"Q3 (draft)\n\\ \u00E9", "Corvane"));

    const Pdf pdf(out);
    const std::vector<std::string> pages = pdf.kids();
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pdf.pages().find("/Type/Pages/Count 2/"), 2u) << pdf.pages();
    std::vector<std::string> content;
    for (const std::string &page : pages) {
        EXPECT_NE(page.find("/Type/Page/"), std::string::npos) << page;
        EXPECT_NE(page.find("/MediaBox[0 0 612 792]"), std::string::npos) << page;
        std::string dict;
        content.push_back(pdf.stream(pdf.at(page, "/Contents"), &dict));
        EXPECT_NE(dict.find("/Filter/FlateDecode"), std::string::npos) << dict;
    }
    // Twips onto points, y downwards, from (18, 792 - 36); a page starts black, 2 J, no pen.
    const std::string start = "q 0.05 0 0 -0.05 18 756 cm 2 J 0 j 0 g 0 G\n";
    EXPECT_EQ(content[0], start
                              + "15 w\n100 200 m 1100 200 l S\n"
                                "1 0 0 RG\n"
                                "500 1500 1500 1500 re S\n" // the same pen: no new width
                                "0.502 g\n"                 // 128/255, grey
                                "BT/F0 240 Tf 1 0 0 -1 720 1440 Tm<0001000300020001>Tj ET\n"
                                "q 100 100 6000 4000 re W n\n" // once: the same clip again adds nothing
                                "0 0 1 rg\n"
                                "10 20 100 50.5 re f\n"
                                "Q\n"
                                "0 0 1 rg\n" // the clip's end took the colour and the pen with it
                                "15 w\n0 0 m 10 0 l S\n"
                                "1 J\n"
                                "q 0 0 12000 8000 re W n\n"
                                "Q\nQ\n");
    // The second page starts afresh: black and 2 J need nothing, the pen and the clip are new.
    // 60 twips after the space of a 300-twip font: -60 x 1000 / 300.
    EXPECT_EQ(content[1], start
                              + "15 w\n0 0 m 20 20 l S\n"
                                "BT/F0 300 Tf 1 0 0 -1 100 200 Tm[<00010002>-200<0001>]TJ ET\n"
                                "q 400 0 0 -200 10 220 cm/P0 Do Q\n"
                                "q 0 0 12000 8000 re W n\n"
                                "Q\nQ\n");

    // One font for both pages: glyph 1 shows "H", 2 a space, 3 "i"; their advances 1540, 651
    // and 569 of 2048 in thousandths of an em, to three decimals. The descriptor: head's box,
    // hhea's ascender and descender, weight 400, in thousandths too.
    const std::string &resources = pdf.at(pages[0], "/Resources");
    EXPECT_EQ(resources, pdf.at(pages[1], "/Resources"));
    const std::string &type0 = pdf.at(resources, "/F0");
    EXPECT_NE(type0.find("/Subtype/Type0/BaseFont/BAAAAA+Tiny-Sans/Encoding/Identity-H"), std::string::npos) << type0;
    const std::string &cid = pdf.at(type0, "/DescendantFonts\\[");
    EXPECT_NE(cid.find("/W[1[751.953]2[317.871]3[277.832]]"), std::string::npos) << cid;
    const std::string &descriptor = pdf.at(cid, "/FontDescriptor");
    EXPECT_NE(descriptor.find("/Flags 32/FontBBox[-48.828 -146.484 976.563 927.734]/ItalicAngle 0/Ascent 878.906"
                              "/Descent -195.313/CapHeight 878.906/StemV 94.444/FontFile2 "),
              std::string::npos)
        << descriptor;
    // The font program is the subset of the glyphs shown.
    std::string fileDict;
    const std::string program = pdf.stream(pdf.at(descriptor, "/FontFile2"), &fileDict);
    EXPECT_EQ(program, font->subset({false, true, true, true}));
    EXPECT_NE(fileDict.find("/Length1 " + std::to_string(program.size()) + "/"), std::string::npos) << fileDict;
    EXPECT_NE(pdf.stream(pdf.at(type0, "/ToUnicode"))
                  .find("\n3 beginbfchar\n<0001><0048>\n<0002><0020>\n<0003><0069>\nendbfchar\nendcmap\n"),
              std::string::npos);

    std::string pictureDict;
    EXPECT_EQ(pdf.stream(pdf.at(resources, "/P0"), &pictureDict), "\x10\x20\x30\x40\x50\x60");
    EXPECT_NE(pictureDict.find("/Width 2/Height 1/ColorSpace/DeviceRGB/BitsPerComponent 8"), std::string::npos);
    EXPECT_EQ(pdf.stream(pdf.at(pictureDict, "/SMask")), "\xFF\x80");

    // A title that is not ASCII is written as UTF-16BE, every letter kept.
    EXPECT_EQ(pdf.at(pdf.trailer, "/Info"), "<</Title<FEFF0051003300200028006400720061006600740029000A005C002000E9>"
                                            "/Creator(Corvane)/Producer(Corvane)>>\n");
}

TEST(PdfTextWriter, CopiesRepeatTheWholeDocumentInOrder)
{
    std::string out;
    PdfTextWriter writer(into(out), 595.5, 842, 0, 0);
    writer.line(0, 0, 1, 1, 1);
    writer.newPage();
    writer.fillRectangle(0, 0, 1, 1);
    ASSERT_TRUE(writer.finish(3, u"", ""));
    const Pdf pdf(out);
    const std::vector<std::string> pages = pdf.kids();
    ASSERT_EQ(pages.size(), 6u);
    EXPECT_NE(pdf.pages().find("/Count 6/"), std::string::npos) << pdf.pages();
    std::vector<int> contents;
    for (const std::string &page : pages) {
        EXPECT_NE(page.find("/MediaBox[0 0 595.5 842]"), std::string::npos) << page;
        contents.push_back(pdf.ref(page, "/Contents"));
    }
    EXPECT_NE(contents[0], contents[1]);
    EXPECT_EQ(contents, (std::vector<int>{contents[0], contents[1], contents[0], contents[1], contents[0], contents[1]}));
    EXPECT_NE(pdf.stream(pdf.at(pages[1], "/Contents")).find("\n0 0 1 1 re f\n"), std::string::npos);
}

// At most three decimals, never "-0", nothing for what is not a number, and no exponent however
// large: 2^200, -2^160 and the largest double in full, as Python prints 2**200, -2**160 and
// int(sys.float_info.max).
TEST(PdfTextWriter, WritesNumbersToThreeDecimalsAndHugeOnesInFull)
{
    std::string out;
    PdfTextWriter writer(into(out), 612, 792, 0, 0);
    writer.line(std::nan(""), -0.0004, 1.23456, std::ldexp(1.0, 200), 0.0005);
    writer.line(-std::ldexp(1.0, 160), 2.5, 0, std::numeric_limits<double>::max(), 0.0005);
    ASSERT_TRUE(writer.finish(1, u"", ""));
    const Pdf pdf(out);
    ASSERT_EQ(pdf.kids().size(), 1u);
    EXPECT_EQ(pdf.stream(pdf.at(pdf.kids()[0], "/Contents")),
              "q 0.05 0 0 -0.05 0 792 cm 2 J 0 j 0 g 0 G\n"
              "0.001 w\n0 0 m 1.235 1606938044258990275541962092341162602522202993782792835301376 l S\n"
              "-1461501637330902918203684832716283019655932542976 2.5 m 0 "
              "17976931348623157081452742373170435679807056752584499659891747680315726078002853876058955863276687817154"
              "04589535143824642343213268894641827684675467035375169860499105765512820762454900903893289440758685084551"
              "33942304583236903222948165808559332123348274797826204144723168738177180919299881250404026184124858368"
              " l S\n"
              "Q\n");
}

TEST(PdfTextWriter, ASinkThatRefusesStopsTheJobAndIsNotAskedAgain)
{
    for (const int accepted : {0, 3}) {
        int calls = 0;
        PdfTextWriter writer([&](const char *, size_t) { return ++calls <= accepted; }, 612, 792, 0, 0);
        writer.line(0, 0, 100, 100, 20);
        writer.newPage();
        EXPECT_FALSE(writer.finish(1, u"t", "c"));
        EXPECT_EQ(calls, accepted + 1);
    }
}

TEST(PdfTextWriter, MarkedTextIsWellFormedUtf16)
{
    // A pair stays a pair; a half of one without its partner, which no reader can decode, is
    // written as U+FFFD, as a title's is.
    std::string out;
    PdfTextWriter writer(into(out), 612, 792, 0, 0);
    writer.beginActualText(std::u16string(u"a\xD800"
                                          u"b\xDC00\xD83D\xDE00\xD83D"));
    writer.endActualText();
    ASSERT_TRUE(writer.finish(1, u"", ""));
    const Pdf pdf(out);
    ASSERT_EQ(pdf.kids().size(), 1u);
    EXPECT_EQ(pdf.stream(pdf.at(pdf.kids()[0], "/Contents")),
              "q 0.05 0 0 -0.05 0 792 cm 2 J 0 j 0 g 0 G\n"
              "/Span<</ActualText<FEFF0061FFFD0062FFFDD83DDE00FFFD>>>BDC\nEMC\n"
              "Q\n");
}
