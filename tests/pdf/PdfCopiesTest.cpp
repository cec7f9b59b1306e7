// The update that repeats a finished PDF's pages for the built-in printer's copies.
#include "pdf/PdfCopies.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>

using corvane::pdf::repeatPages;
using corvane::pdf::retitle;
using corvane::pdf::textString;

namespace {

// A PDF of `pages` pages laid out as Qt's PDF engine writes one (one object a line, a classic
// cross-reference table); `countFirst` puts the page list's /Count before its /Kids; `info`,
// when given, is the document information's dictionary, the last object.
std::string document(int pages, bool countFirst = false, const std::string &info = {})
{
    std::vector<std::string> objects{"<<\n/Type /Catalog\n/Pages 2 0 R\n>>"};
    std::string kids = "[\n";
    for (int i = 0; i < pages; ++i)
        kids += std::to_string(3 + i) + " 0 R\n";
    kids += "]";
    const std::string count = "/Count " + std::to_string(pages);
    objects.push_back(countFirst ? "<<\n/Type /Pages\n" + count + "\n/Kids " + kids + "\n>>"
                                 : "<<\n/Type /Pages\n/Kids \n" + kids + "\n" + count + "\n/ProcSet [/PDF]\n>>");
    for (int i = 0; i < pages; ++i)
        objects.push_back("<<\n/Type /Page\n/Parent 2 0 R\n/Contents " + std::to_string(3 + pages + i)
                          + " 0 R\n/MediaBox [0 0 200 200]\n>>");
    for (int i = 0; i < pages; ++i) {
        const std::string text = "10 " + std::to_string(10 + i) + " m 190 190 l S";
        objects.push_back("<<\n/Length " + std::to_string(text.size()) + "\n>>\nstream\n" + text + "\nendstream");
    }
    if (!info.empty())
        objects.push_back(info);
    std::string out = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(out.size());
        out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    char entry[24];
    for (const size_t offset : offsets) {
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        out += entry;
    }
    const std::string infoRef = info.empty() ? ""
                                             : "/Info " + std::to_string(objects.size()) + " 0 R\n/ID [<0A1B> <2C3D>]\n";
    return out + "trailer\n<<\n/Size " + std::to_string(objects.size() + 1) + "\n/Root 1 0 R\n" + infoRef
         + ">>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
}

// The objects the update's cross-reference table lists, checked to start where it says.
std::map<int, std::string> updatedObjects(const std::string &file, size_t updateAt)
{
    std::map<int, std::string> objects;
    const size_t table = std::stoul(file.substr(file.rfind("startxref") + 10));
    EXPECT_GE(table, updateAt);
    std::smatch m;
    std::string rest = file.substr(table);
    const std::regex section(R"((\d+) (\d+)\n((?:\d{10} \d{5} [nf] \n)+))");
    for (auto it = std::sregex_iterator(rest.begin(), rest.end(), section); it != std::sregex_iterator(); ++it) {
        const int first = std::stoi((*it)[1]);
        const std::string entries = (*it)[3];
        for (size_t k = 0; k * 20 < entries.size(); ++k) {
            if (entries[k * 20 + 17] != 'n')
                continue;
            const size_t offset = std::stoul(entries.substr(k * 20, 10));
            const std::string head = std::to_string(first + int(k)) + " 0 obj\n";
            EXPECT_EQ(file.substr(offset, head.size()), head);
            objects[first + int(k)] = file.substr(offset, file.find("endobj", offset) - offset);
        }
    }
    return objects;
}

} // namespace

TEST(PdfCopies, TheUpdateListsEveryPageAgainInOrderAndKeepsTheFileAsItWas)
{
    for (const bool countFirst : {false, true}) {
        const std::string pdf = document(3, countFirst);
        const auto update = repeatPages(pdf, 3);
        ASSERT_TRUE(update) << countFirst;
        const std::string file = pdf + *update;
        EXPECT_EQ(file.substr(file.size() - 6), "%%EOF\n");
        EXPECT_NE(update->find("/Prev " + std::to_string(pdf.rfind("\nxref\n") + 1)), std::string::npos);

        const auto objects = updatedObjects(file, pdf.size());
        ASSERT_EQ(objects.size(), 7u); // the page list and six pages
        const std::string &list = objects.at(2);
        EXPECT_NE(list.find("[3 0 R 4 0 R 5 0 R 9 0 R 10 0 R 11 0 R 12 0 R 13 0 R 14 0 R ]"), std::string::npos) << list;
        EXPECT_NE(list.find("/Count 9"), std::string::npos) << list;
        EXPECT_EQ(list.find("/Count 3"), std::string::npos) << list;
        // Each further page shares the content of the page it repeats.
        EXPECT_NE(objects.at(9).find("/Contents 6 0 R"), std::string::npos);
        EXPECT_NE(objects.at(14).find("/Contents 8 0 R"), std::string::npos);
        EXPECT_NE(file.find("/Size 15"), std::string::npos);
    }
    EXPECT_EQ(repeatPages(document(2), 1), std::string());
}

TEST(PdfCopies, AFileItDoesNotUnderstandIsRefusedNotMisread)
{
    const std::string pdf = document(2);
    // Cut anywhere, or with a byte changed anywhere, the file is either refused or updated in
    // full; nothing is read beyond its end (the sanitizer builds would say).
    for (size_t cut = 0; cut < pdf.size(); ++cut) {
        const auto update = repeatPages(pdf.substr(0, cut), 2);
        if (update) {
            EXPECT_NE(update->find("startxref"), std::string::npos);
        }
    }
    for (size_t at = 0; at < pdf.size(); ++at) {
        std::string damaged = pdf;
        damaged[at] = damaged[at] == '9' ? '0' : '9';
        (void)repeatPages(damaged, 2);
    }
    // A page list whose kids are page lists again, and one whose count disagrees.
    std::string nested = pdf;
    nested.replace(nested.find("/Type /Page\n"), 12, "/Type /Pages\n");
    EXPECT_FALSE(repeatPages(nested, 2));
    std::string miscounted = pdf;
    miscounted.replace(miscounted.find("/Count 2"), 8, "/Count 5");
    EXPECT_FALSE(repeatPages(miscounted, 2));
    EXPECT_FALSE(repeatPages("not a pdf", 2));
}

TEST(PdfTitle, TextStringsAreEscapedOrWrittenAsUtf16)
{
    EXPECT_EQ(textString(u"Q3 (draft) a\\b\n\x7F"), "(Q3 \\(draft\\) a\\\\b\\012\\177)");
    EXPECT_EQ(textString(u""), "()");
    // Not ASCII: UTF-16BE after its mark; a pair stays a pair, a lone half is U+FFFD.
    EXPECT_EQ(textString(u"\u041C\u0438\u0440 \U0001F600"), "<FEFF041C043804400020D83DDE00>");
    EXPECT_EQ(textString(std::u16string(u"\u00E9") + char16_t(0xDC00) + u"x" + char16_t(0xD83D)),
              "<FEFF00E9FFFD0078FFFD>");
}

TEST(PdfTitle, TheUpdateNamesTheDocumentAndKeepsTheRestOfItsInformation)
{
    // With no document information, a new dictionary, one object past the last.
    std::string pdf = document(2);
    auto update = retitle(pdf, u"Invoice (May)");
    ASSERT_TRUE(update);
    std::string file = pdf + *update;
    auto objects = updatedObjects(file, pdf.size());
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects.at(7), "7 0 obj\n<</Title (Invoice \\(May\\))>>\n");
    const std::string tail = file.substr(pdf.size());
    EXPECT_NE(tail.find("/Size 8\n/Root 1 0 R\n/Info 7 0 R\n/Prev " + std::to_string(pdf.rfind("\nxref\n") + 1)),
              std::string::npos)
        << tail;

    // Its own information: the title replaced (a literal with nested parentheses and an escaped
    // one, or hexadecimal), the other entries kept, in the same object.
    for (const std::string title : {"(Old (nested) \\) title)", "<FEFF0041>"}) {
        pdf = document(1, false, "<</Producer (Engine) /Title " + title + " /CreationDate (D:2026)>>");
        update = retitle(pdf, u"\u041C\u0438\u0440");
        ASSERT_TRUE(update) << title;
        file = pdf + *update;
        objects = updatedObjects(file, pdf.size());
        ASSERT_EQ(objects.size(), 1u);
        EXPECT_EQ(objects.at(5), "5 0 obj\n<</Title <FEFF041C04380440> /Producer (Engine)  /CreationDate (D:2026)>>\n");
        EXPECT_NE(file.substr(pdf.size()).find("/Size 6\n/Root 1 0 R\n/Info 5 0 R\n/ID [<0A1B> <2C3D>]\n/Prev "),
                  std::string::npos);
    }
    // A title that never ends, and a file that is no PDF, are refused.
    EXPECT_FALSE(retitle(document(1, false, "<</Title (open>>"), u"x"));
    EXPECT_FALSE(retitle("not a pdf", u"x"));
}
