// The Windows platform under wine, driven through the Corvane object: the spooler's printers
// (the queues of a private CUPS server that scripts/win32-printing-tests.sh starts), jobs that
// reach a queue, "Corvane PDF" writing its PDF with the fonts GDI finds, the shell, and the
// faults that must end in PrintError with nothing delivered. The checks read what CUPS and the
// PDF printer wrote with poppler's tools, run as the Linux programs they are.
#include "platform/win32/Win32Platform.h"

#include <corvane/Corvane.h>
#include <corvane/Errors.h>
#include <corvane/Events.h>

#include <gtest/gtest.h>

#include <windows.h>
// winspool.h names a function of its own SetPrinter.
#undef SetPrinter

#include <algorithm>
#include <cmath>
#include <cstring>
#include <climits>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace corvane;

namespace {

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

// The private CUPS server's folder, as Linux names it.
std::string cupsDir() { return environment("CORVANE_TEST_CUPS_DIR"); }

// A Linux path as this Windows program reaches it (wine's drive Z: is the root).
std::wstring windowsPath(const std::string &path)
{
    std::wstring out = L"Z:";
    for (const char c : path)
        out += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return out;
}

std::string readAll(const std::string &linuxPath)
{
    std::ifstream in(windowsPath(linuxPath).c_str(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Runs a shell command line of the machine (wine starts Linux programs as they are) and gives
// what it wrote. The output is complete once the command has moved it to its final name.
std::string sh(const std::string &command)
{
    static int serial = 0;
    const std::string out = cupsDir() + "/sh-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial)
                          + ".out";
    std::wstring line = L"Z:\\bin\\sh -c \"";
    for (const char c : "{ " + command + "; } > " + out + ".part 2>&1; mv " + out + ".part " + out)
        line += c == '"' ? std::wstring(L"\\\"") : std::wstring(1, static_cast<wchar_t>(c));
    line += L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return "cannot start /bin/sh: " + std::to_string(GetLastError());
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 600 && GetFileAttributesW(windowsPath(out).c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(50);
    const std::string text = readAll(out);
    DeleteFileW(windowsPath(out).c_str());
    return text;
}

std::vector<std::string> words(const std::string &text)
{
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string word; in >> word;)
        out.push_back(word);
    return out;
}

std::string pdfInfo(const std::string &pdf, const std::string &key)
{
    std::istringstream lines(sh("pdfinfo '" + pdf + "'"));
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(key + ":", 0) == 0) {
            const size_t start = line.find_first_not_of(' ', key.size() + 1);
            return start == std::string::npos ? std::string() : line.substr(start);
        }
    return {};
}

// The PDF files of a folder, in name order.
std::vector<std::string> pdfFiles(const std::string &folder)
{
    return words(sh("ls -1 '" + folder + "' | grep '\\.pdf$' || true"));
}

struct Recorder final : EventSink {
    std::vector<int> progress;
    int completes = 0;
    std::vector<std::pair<int32_t, std::u16string>> errors;
    void PrintComplete() override { ++completes; }
    void PrintError(Variant &number, Variant &description) override
    {
        errors.emplace_back(number.toLong(), description.toString());
    }
    void PrintProgress(Variant &page) override { progress.push_back(page.toInteger()); }
};

class Win32Printing : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (cupsDir().empty())
            GTEST_SKIP() << "run through scripts/win32-printing-tests.sh, which starts the CUPS server";
        m_folder = cupsDir() + "/pdf-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        sh("rm -rf '" + m_folder + "' && mkdir -p '" + m_folder + "'");
        SetEnvironmentVariableW(L"CORVANE_PDF_DIR", windowsPath(m_folder).c_str());
        m_object = std::make_unique<Corvane>(&win32::platform());
        m_object->subscribe(&m_events);
    }
    void TearDown() override
    {
        if (m_object)
            m_object->unsubscribe(&m_events);
    }

    // Waits until the queue has no job left and its file has something in it.
    std::string queueOutput(const std::string &queue)
    {
        const std::string file = cupsDir() + "/out/" + queue + ".pdf";
        for (int i = 0; i < 300; ++i) {
            if (sh("lpstat -o " + queue + " | wc -l").find('0') == 0 && !readAll(file).empty())
                return file;
            Sleep(100);
        }
        return {};
    }

    std::string m_folder;
    Recorder m_events;
    std::unique_ptr<Corvane> m_object;
};

TEST_F(Win32Printing, GetPrintersListsTheSpoolersQueuesThenThePdfPrinter)
{
    Variant count;
    const Variant list = m_object->GetPrinters(&count);
    ASSERT_EQ(count.toInteger(), 4);
    const std::vector<std::u16string> expected{u"Office", u"Rejecting", u"Vanishing", u"Corvane PDF"};
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(list.elements().at(i).toString(), expected[i]) << i;

    // A thread's printer starts as the spooler's default one.
    sh("rm -f " + cupsDir() + "/out/Office.pdf");
    std::thread([] {
        Corvane object(&win32::platform());
        object.setDocText(u"defaulted");
        EXPECT_TRUE(object.PrintDoc().isEmpty());
    }).join();
    const std::string file = queueOutput("Office");
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(words(sh("pdftotext '" + file + "' -")), std::vector<std::string>{"defaulted"});
}

// The words of each page of a PDF, each with whether its box is taller than wide (text turned a
// quarter, as a landscape page is on a portrait sheet).
std::vector<std::vector<std::pair<std::string, bool>>> pageWords(const std::string &pdf)
{
    std::vector<std::vector<std::pair<std::string, bool>>> pages;
    std::istringstream lines(sh("pdftotext -bbox '" + pdf + "' -"));
    for (std::string line; std::getline(lines, line);) {
        if (line.find("<page ") != std::string::npos)
            pages.emplace_back();
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        char word[256] = {};
        if (!pages.empty()
            && std::sscanf(line.c_str(), " <word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\">%255[^<]", &x0,
                           &y0, &x1, &y1, word)
                   == 5)
            pages.back().emplace_back(word, y1 - y0 > x1 - x0);
    }
    return pages;
}

// Legal, landscape, 2 collated copies of a document of two pages (the title and "alpha" on the
// first, "omega" 60 lines below on the second: a landscape Legal page holds some 40 lines).
TEST_F(Win32Printing, PrintDocReachesTheQueueWithCopiesPaperOrientationAndText)
{
    m_object->setDocTitle(u"Quarterly report");
    std::u16string text = u"alpha";
    for (int i = 0; i < 60; ++i)
        text += u"\r\n";
    m_object->setDocText(text + u"omega");
    m_object->setCopies(2);
    m_object->setPaperSize(5);
    sh("rm -f " + cupsDir() + "/out/Office.pdf");
    m_object->setPaperOrientation(2);
    const Variant result = m_object->PrintDoc(u"office");
    EXPECT_TRUE(result.isEmpty()) << toUtf8(result.toString());
    EXPECT_EQ(m_events.completes, 1);
    EXPECT_TRUE(m_events.errors.empty());
    EXPECT_EQ(m_events.progress, (std::vector<int>{1, 2}));

    const std::string file = queueOutput("Office");
    ASSERT_FALSE(file.empty()) << sh("lpstat -o; tail -5 " + cupsDir() + "/log/error_log");
    // The sheet is Legal as the printer holds it, the page turned on it.
    EXPECT_EQ(pdfInfo(file, "Page size"), "612 x 1008 pts");
    using Page = std::vector<std::pair<std::string, bool>>;
    const Page first{{"Quarterly", true}, {"alpha", true}, {"report", true}}, second{{"omega", true}};
    auto pages = pageWords(file);
    for (Page &page : pages)
        std::sort(page.begin(), page.end());
    EXPECT_EQ(pages, (std::vector<Page>{first, second, first, second}));
    // The spooler's log: 4 pages on Legal, the job named after the document.
    const std::string log = sh("tail -n 1 " + cupsDir() + "/log/page_log");
    const size_t date = log.find("] ");
    EXPECT_EQ(date == std::string::npos ? log : log.substr(date + 2),
              "total 4 - localhost Quarterly report Legal one-sided\n");
}

// The queue's PPD has no A3 and no paper bins: asked for after a job on Legal, both are passed
// over and the next job prints on Legal again (the driver alone would fall back to its Letter).
TEST_F(Win32Printing, SettingsThePrinterLacksArePassedOver)
{
    std::vector<std::string> sizes;
    std::thread([&] {
        Corvane object(&win32::platform());
        object.setDocText(u"legal");
        object.setPaperSize(5);
        for (const int16_t size : {5, 8}) {
            sh("rm -f " + cupsDir() + "/out/Office.pdf");
            object.setPaperSize(size);
            object.setPaperBin(size == 8 ? 1 : 7);
            EXPECT_TRUE(object.PrintDoc(u"Office").isEmpty());
            const std::string file = queueOutput("Office");
            sizes.push_back(file.empty() ? "no output" : pdfInfo(file, "Page size"));
        }
    }).join();
    EXPECT_EQ(sizes, (std::vector<std::string>{"612 x 1008 pts", "612 x 1008 pts"}));

    // The surface refuses them itself (wine's driver would also drop the paper silently).
    const std::unique_ptr<PrinterSurface> surface = win32::platform().createPrinterSurface();
    surface->selectPrinter(0);
    ASSERT_EQ(surface->currentDeviceName(), u"Office");
    for (const auto &[set, value] : std::vector<std::pair<void (PrinterCatalogue::*)(int16_t), int16_t>>{
             {&PrinterCatalogue::setPaperSize, 8}, {&PrinterCatalogue::setPaperBin, 1}}) {
        try {
            (surface.get()->*set)(value);
            ADD_FAILURE() << value << " accepted";
        } catch (const RuntimeError &error) {
            EXPECT_EQ(error.number(), err::InvalidPropertyValue);
        }
    }
    EXPECT_NO_THROW(surface->setPaperSize(5));
}

// 120 lines of Arial 10 on Letter with the default margins of 1440 twips under a title in Times
// New Roman 14 bold. Wine gives the Liberation faces for these names; both have 2355/2048 of an em
// from line to line (Sans: 1854 + 434 + 67; Serif Bold: 1825 + 443 + 87). A body line is 229.98
// twips; the title 321.97, and the body starts 500 below it, at 2261.97. Tops up to 14400 stay:
// lines 1-53 on page 1, 54-110 on page 2, 111-120 on page 3; three pages, twice over.
TEST_F(Win32Printing, PdfPrinterWritesEveryWordOnThePagesComputed)
{
    std::u16string text;
    std::vector<std::string> expected{"Annual", "report"};
    for (int i = 1; i <= 120; ++i) {
        const std::string word = "line" + std::to_string(i);
        expected.push_back(word);
        text += std::u16string(word.begin(), word.end()) + u"\r\n";
    }
    m_object->setDocTitle(u"Annual report");
    m_object->setDocTitleFont(u"Times New Roman,14,1,0,0");
    m_object->setDocText(text);
    m_object->setPaperSize(1);
    m_object->setCopies(2);
    const Variant result = m_object->PrintDoc(u"Corvane PDF");
    EXPECT_TRUE(result.isEmpty()) << toUtf8(result.toString());
    EXPECT_EQ(m_events.progress, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(m_events.completes, 1);

    const std::vector<std::string> files = pdfFiles(m_folder);
    ASSERT_EQ(files.size(), 1u);
    const std::string pdf = m_folder + "/" + files[0];
    EXPECT_EQ(pdfInfo(pdf, "Pages"), "6");
    EXPECT_EQ(pdfInfo(pdf, "Page size"), "612 x 792 pts (letter)");
    EXPECT_EQ(words(sh("pdftotext -f 1 -l 3 '" + pdf + "' -")), expected);
    EXPECT_EQ(words(sh("pdftotext -f 2 -l 2 '" + pdf + "' -")).front(), "line54");
    EXPECT_EQ(words(sh("pdftotext -f 3 -l 3 '" + pdf + "' -")).front(), "line111");
    EXPECT_EQ(words(sh("pdftotext -f 4 -l 4 '" + pdf + "' -")).front(), "Annual");
    // The faces embedded as subsets, named as they are, their text extractable.
    EXPECT_EQ(words(sh("pdffonts '" + pdf
                       + "' | grep 'CID TrueType *Identity-H *yes yes yes' | cut -d+ -f2 | cut "
                         "-d' ' -f1 | sort")),
              (std::vector<std::string>{"LiberationSans", "LiberationSerif-Bold"}));

    // A second job takes the next name: nothing is overwritten.
    m_object->setCopies(1);
    m_object->PrintDoc();
    EXPECT_EQ(pdfFiles(m_folder).size(), 2u);

    // With no folder named, the printer's own folder in the user's Documents, made when missing
    // (the script gives wine a home of the run's own).
    sh("rm -rf \"$HOME/Documents/Corvane PDF\"");
    SetEnvironmentVariableW(L"CORVANE_PDF_DIR", nullptr);
    m_object->PrintDoc();
    EXPECT_EQ(words(sh("cd \"$HOME/Documents/Corvane PDF\" && ls *.pdf | wc -l")), std::vector<std::string>{"1"});
    EXPECT_EQ(m_events.completes, 3);
}

// wqy-zenhei.ttc holds three faces; the monospaced one is not the first. Its own tables are
// embedded, and its Chinese reads back.
TEST_F(Win32Printing, PdfPrinterEmbedsTheFaceOfAFontCollection)
{
    m_object->setDocTextFont(u"WenQuanYi Zen Hei Mono,12,0,0,0");
    m_object->setDocText(u"mono \u4e2d\u6587");
    EXPECT_TRUE(m_object->PrintDoc(u"Corvane PDF").isEmpty());
    const std::vector<std::string> files = pdfFiles(m_folder);
    ASSERT_EQ(files.size(), 1u);
    const std::string pdf = m_folder + "/" + files[0];
    EXPECT_EQ(words(sh("pdftotext '" + pdf + "' -")), (std::vector<std::string>{"mono", "\xe4\xb8\xad\xe6\x96\x87"}));
    EXPECT_EQ(words(sh("pdffonts '" + pdf
                       + "' | grep 'CID TrueType *Identity-H *yes yes yes' | cut -d+ -f2 | cut "
                         "-d' ' -f1")),
              std::vector<std::string>{"WenQuanYiZenHeiMono"});
}

// The lines pdftotext reads, without the marks it sets around right-to-left text (they are not
// in the page) and with its line ends and page break normalised.
std::vector<std::string> textLines(const std::string &pdf)
{
    std::string text = sh("pdftotext '" + pdf + "' -");
    for (const char *mark : {"\xe2\x80\xaa", "\xe2\x80\xab", "\xe2\x80\xac", "\xe2\x80\xad", "\xe2\x80\xae", "\f", "\r"})
        for (size_t at; (at = text.find(mark)) != std::string::npos;)
            text.erase(at, std::strlen(mark));
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

// The faces a PDF embeds, by name, without their subset tags.
std::vector<std::string> embeddedFaces(const std::string &pdf)
{
    return words(sh("pdffonts '" + pdf + "' | tail -n +3 | cut -d' ' -f1 | sed 's/^[A-Z]*+//' | sort -u"));
}

// Text in every script prints in the faces that have its letters (Liberation Sans for Latin,
// Greek, Cyrillic and Hebrew; WenQuanYi Zen Hei for Chinese and Japanese; DejaVu Sans for Arabic
// and the emoji), shaped (ligatures, joined Arabic with its lam-alef, the accent on its letter),
// right-to-left words in their order, and reads back exactly as written. Thai and Ethiopic, which
// no installed face has, show Liberation Sans's empty box and still read back as written.
TEST_F(Win32Printing, PdfPrinterTextInEveryScriptReadsBackAsWritten)
{
    const std::vector<std::u16string> samples{
        u"office fjord affine",
        u"\u039a\u03b1\u03bb\u03b7\u03bc\u03ad\u03c1\u03b1 \u03ba\u03cc\u03c3\u03bc\u03b5",
        u"\u041f\u0440\u0438\u0432\u0435\u0442 \u043c\u0438\u0440",
        u"\u65e5\u672c\u8a9e\u306e\u6587\u7ae0 \u4e2d\u6587",
        u"\u0645\u0631\u062d\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645 \u0627\u0644\u0633\u0644\u0627\u0645",
        u"\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd",
        u"e\u0301 cafe\u0301",
        u"pair\U0001F600ok",
        u"\u0e2a\u0e27\u0e31\u0e2a\u0e14\u0e35 \u1200\u1201",
        // Marks with no letter under them, at a line's start and after a space.
        u"\u0ec8\u0ec9 x \u0ec8 \u0e81\u0ec8",
    };
    std::u16string text;
    std::vector<std::string> expected;
    for (const std::u16string &sample : samples) {
        text += sample + u"\r\n";
        expected.push_back(toUtf8(sample));
    }
    m_object->setDocText(text);
    const Variant result = m_object->PrintDoc(u"Corvane PDF");
    EXPECT_TRUE(result.isEmpty()) << toUtf8(result.toString());
    const std::vector<std::string> files = pdfFiles(m_folder);
    ASSERT_EQ(files.size(), 1u);
    const std::string pdf = m_folder + "/" + files[0];
    EXPECT_EQ(textLines(pdf), expected);
    EXPECT_EQ(embeddedFaces(pdf), (std::vector<std::string>{"DejaVuSans", "LiberationSans", "WenQuanYiZenHei"}));
}

// The words of a PDF's first page: text, left, top, right (points).
struct BoxedWord {
    std::string text;
    double left, top, right;
};
std::vector<BoxedWord> boxedWords(const std::string &pdf)
{
    std::vector<BoxedWord> out;
    std::istringstream lines(sh("pdftotext -l 1 -bbox '" + pdf + "' -"));
    for (std::string line; std::getline(lines, line);) {
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        char word[256] = {};
        if (std::sscanf(line.c_str(), " <word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\">%255[^<]", &x0, &y0,
                        &x1, &y1, word)
            == 5)
            out.push_back({word, x0, y0, x1});
    }
    return out;
}

// Where a PDF's first page, drawn at 144 dpi, has ink within a box of points: the runs of rows
// (or of columns) with ink, each as the first and last pixel across the other way.
std::vector<std::pair<int, int>> inkRuns(const std::string &pdf, double left, double top, double right, double bottom,
                                         bool rows)
{
    const std::string pgm = sh("pdftoppm -gray -r 144 -f 1 -l 1 '" + pdf + "'");
    int width = 0, height = 0, depth = 0, header = 0;
    if (std::sscanf(pgm.c_str(), "P5 %d %d %d%n", &width, &height, &depth, &header) != 3
        || pgm.size() != static_cast<size_t>(header) + 1 + static_cast<size_t>(width) * static_cast<size_t>(height))
        return {};
    const auto ink = [&](int x, int y) {
        return static_cast<unsigned char>(pgm[static_cast<size_t>(header) + 1 + static_cast<size_t>(y) * width + x])
             < 128;
    };
    const int x0 = std::max(0, static_cast<int>(left * 2)), x1 = std::min(width, static_cast<int>(right * 2));
    const int y0 = std::max(0, static_cast<int>(top * 2)), y1 = std::min(height, static_cast<int>(bottom * 2));
    std::vector<std::pair<int, int>> runs;
    bool inRun = false;
    for (int a = rows ? y0 : x0; a < (rows ? y1 : x1); ++a) {
        int first = INT_MAX, last = -1;
        for (int b = rows ? x0 : y0; b < (rows ? x1 : y1); ++b)
            if (rows ? ink(b, a) : ink(a, b)) {
                first = std::min(first, b);
                last = b;
            }
        if (last < 0) {
            inRun = false;
            continue;
        }
        if (!inRun)
            runs.emplace_back(first, last);
        inRun = true;
        runs.back() = {std::min(runs.back().first, first), std::max(runs.back().second, last)};
    }
    return runs;
}

// A mark is drawn on its letter: shin with qamats (below it), alone on a line at 72 pt. Within
// the letter's box (and 40 pt either side), the rows with ink fall into two runs, the letter and
// then the mark, and the mark's middle lies over the letter. Characters that show nothing, which
// the face has no glyph for, draw nothing: a variation selector and a tag between two x's at 48 pt
// leave two runs of columns with ink, the two letters.
TEST_F(Win32Printing, PdfPrinterPutsMarksOnTheirLettersAndDrawsNoBoxesForWhatShowsNothing)
{
    m_object->setDocTextFont(u"Arial,72,0,0,0");
    m_object->setDocText(u"\u05e9\u05b8");
    EXPECT_TRUE(m_object->PrintDoc(u"Corvane PDF").isEmpty());
    std::vector<std::string> files = pdfFiles(m_folder);
    ASSERT_EQ(files.size(), 1u);
    std::string pdf = m_folder + "/" + files[0];
    std::vector<BoxedWord> boxes = boxedWords(pdf);
    ASSERT_EQ(boxes.size(), 1u);
    const std::vector<std::pair<int, int>> bands = inkRuns(pdf, boxes[0].left - 40, 0, boxes[0].right + 40, 792, true);
    ASSERT_EQ(bands.size(), 2u);
    const int middle = (bands[1].first + bands[1].second) / 2;
    EXPECT_GT(middle, bands[0].first) << bands[0].first << "-" << bands[0].second << " mark " << bands[1].first;
    EXPECT_LT(middle, bands[0].second) << bands[0].first << "-" << bands[0].second << " mark " << bands[1].second;

    for (const std::u16string text : {u"x\ufe0fx", u"x\U000E0061x"}) {
        sh("rm -f '" + m_folder + "'/*.pdf");
        m_object->setDocTextFont(u"Arial,48,0,0,0");
        m_object->setDocText(text);
        EXPECT_TRUE(m_object->PrintDoc(u"Corvane PDF").isEmpty());
        files = pdfFiles(m_folder);
        ASSERT_EQ(files.size(), 1u);
        pdf = m_folder + "/" + files[0];
        boxes = boxedWords(pdf);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(inkRuns(pdf, boxes[0].left - 10, boxes[0].top, boxes[0].right + 10, boxes[0].top + 48, false).size(), 2u)
            << toUtf8(text);
    }
}


// Lines of Arabic and of Chinese are broken where their shaped words fill the line, on Letter
// within margins of 72 points (72 to 540): every word inside them, none over another, and no
// line broken before a word that would have fitted (its words measured as they are drawn).
TEST_F(Win32Printing, PdfPrinterBreaksShapedLinesWhereTheyFill)
{
    const std::u16string arabic = u"\u0645\u0631\u062d\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645 ";
    const std::u16string chinese = u"\u4e2d\u6587\u5b57 \u65e5\u672c\u8a9e ";
    std::u16string text;
    for (int i = 0; i < 30; ++i)
        text += arabic;
    text += u"\r\n\r\n";
    for (int i = 0; i < 30; ++i)
        text += chinese;
    m_object->setDocText(text);
    m_object->setPaperSize(1);
    EXPECT_TRUE(m_object->PrintDoc(u"Corvane PDF").isEmpty());
    const std::vector<std::string> files = pdfFiles(m_folder);
    ASSERT_EQ(files.size(), 1u);
    const std::vector<BoxedWord> boxes = boxedWords(m_folder + "/" + files[0]);
    ASSERT_EQ(boxes.size(), 120u);
    // The words by line, left to right.
    std::vector<std::vector<BoxedWord>> lines;
    int chineseWords = 0;
    for (const BoxedWord &word : boxes) {
        EXPECT_GE(word.left, 72 - 0.05) << word.text;
        EXPECT_LE(word.right, 540 + 0.05) << word.text;
        chineseWords += word.text == "\xe4\xb8\xad\xe6\x96\x87\xe5\xad\x97"
                     || word.text == "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e";
        if (lines.empty() || std::abs(lines.back().front().top - word.top) > 1)
            lines.emplace_back();
        lines.back().push_back(word);
    }
    ASSERT_GE(lines.size(), 4u);
    for (size_t l = 0; l < lines.size(); ++l) {
        std::vector<BoxedWord> &line = lines[l];
        std::sort(line.begin(), line.end(), [](const BoxedWord &a, const BoxedWord &b) { return a.left < b.left; });
        for (size_t i = 0; i + 1 < line.size(); ++i)
            EXPECT_LE(line[i].right, line[i + 1].left + 0.05) << "line " << l << " word " << i << " overlaps the next";
        // Broken where the next word (no wider than the next line's widest) would not fit after
        // a space (some 2.8 points).
        if (l + 1 < lines.size() && std::abs(lines[l + 1].front().top - line.front().top) < 20) {
            double widest = 0;
            for (const BoxedWord &word : lines[l + 1])
                widest = std::max(widest, word.right - word.left);
            EXPECT_GT(line.back().right + 2.5 + widest, 540) << "line " << l << " broken early";
        }
    }
    EXPECT_EQ(chineseWords, 60);
}

// On a spooler printer the letters Liberation Sans lacks are drawn in the faces that have them:
// wine's PostScript driver downloads each face it draws in, and the queue's PDF (made from that
// PostScript) names them.
TEST_F(Win32Printing, PrintDocOnASpoolerPrinterDrawsInTheFacesThatHaveTheLetters)
{
    m_object->setDocText(u"Latin \u0645\u0631\u062d\u0628\u0627 \u4e2d\u6587");
    sh("rm -f " + cupsDir() + "/out/Office.pdf");
    EXPECT_TRUE(m_object->PrintDoc(u"Office").isEmpty());
    const std::string file = queueOutput("Office");
    ASSERT_FALSE(file.empty()) << sh("lpstat -o; tail -5 " + cupsDir() + "/log/error_log");
    EXPECT_EQ(embeddedFaces(file), (std::vector<std::string>{"DejaVuSans", "LiberationSans", "WenQuanYiZenHei"}));
}

TEST_F(Win32Printing, PdfFilesGoThroughTheShell)
{
    const std::string source = cupsDir() + "/source.pdf";
    sh("printf '%%PDF-1.4\\n%%%%EOF\\n' > " + source);
    const std::wstring windowsSource = windowsPath(source);
    const UString windowsName(windowsSource.begin(), windowsSource.end());
    m_object->SetPrinter(u"Corvane PDF");
    m_object->PrintPDFFile(windowsName);
    EXPECT_EQ(m_events.completes, 1);
    const std::vector<std::string> files = pdfFiles(m_folder);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(readAll(m_folder + "/" + files[0]), "%PDF-1.4\n%%EOF\n");

    // A printer of the spooler: the shell has no application for printing PDF files here.
    m_object->SetPrinter(u"Office");
    m_object->PrintPDFFile(windowsName);
    ASSERT_EQ(m_events.errors.size(), 1u);
    EXPECT_EQ(m_events.errors[0].first, 31);
    EXPECT_EQ(m_events.errors[0].second, u"No application is associated with PDF file printing!");
    EXPECT_EQ(m_events.completes, 1);

    // With an application for PDF files: the default printer through "print", another one named
    // to it through "printto" (never printed on the default one instead).
    const std::string said = cupsDir() + "/verb.txt";
    const std::wstring saidAt = windowsPath(said);
    const auto command = [&](const wchar_t *verb, const wchar_t *arguments) {
        const std::wstring key = std::wstring(L"CorvaneTest.PdfFile\\shell\\") + verb + L"\\command";
        const std::wstring line = L"cmd.exe /c echo " + std::wstring(verb) + L" " + arguments + L">\"" + saidAt + L"\"";
        ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, line.c_str(),
                                  static_cast<DWORD>((line.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    };
    const std::wstring type = L"CorvaneTest.PdfFile";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, L".pdf", nullptr, REG_SZ, type.c_str(),
                              static_cast<DWORD>((type.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    command(L"print", L"%1");
    command(L"printto", L"%1 %2");
    const auto verbSaid = [&] {
        for (int i = 0; i < 100; ++i) {
            const std::string text = readAll(said);
            if (!text.empty() && text.back() == '\n') {
                sh("rm -f '" + said + "'");
                return text.substr(0, text.find_last_not_of("\r\n") + 1);
            }
            Sleep(100);
        }
        return std::string();
    };
    const std::string name = "Z:" + source;
    std::string dosName = name;
    std::replace(dosName.begin(), dosName.end(), '/', '\\');
    m_object->SetPrinter(u"Office");
    m_object->PrintPDFFile(windowsName);
    EXPECT_EQ(verbSaid(), "print " + dosName);
    m_object->SetPrinter(u"Rejecting");
    m_object->PrintPDFFile(windowsName);
    EXPECT_EQ(verbSaid(), "printto " + dosName + " \"Rejecting\"");
    EXPECT_EQ(m_events.completes, 3);
    ASSERT_EQ(m_events.errors.size(), 1u) << m_events.errors.back().first;
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"CorvaneTest.PdfFile");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".pdf");
}

TEST_F(Win32Printing, RefusedJobsEndInPrintErrorWithNothingDelivered)
{
    m_object->setDocText(u"never printed");
    // The queue refuses jobs (cupsreject): the spooler does not take it.
    Variant result = m_object->PrintDoc(u"Rejecting");
    ASSERT_EQ(m_events.errors.size(), 1u);
    EXPECT_EQ(m_events.errors[0].first, err::PrinterError);
    const UString refused = u": the spooler did not take the job: the printer refused it or is no longer there; "
                            u"nothing of it prints";
    EXPECT_EQ(m_events.errors[0].second, u"Printer error: Rejecting" + refused);
    EXPECT_EQ(result.toString(), u"482|Printer error: Rejecting" + refused);

    // A printer that was there when chosen and is gone when the job opens.
    m_object->SetPrinter(u"Vanishing");
    sh("lpadmin -x Vanishing");
    result = m_object->PrintDoc();
    ASSERT_EQ(m_events.errors.size(), 2u);
    EXPECT_EQ(m_events.errors[1].first, err::PrinterError);
    EXPECT_EQ(m_events.errors[1].second, u"Printer error: Vanishing" + refused);

    // A PDF folder nobody may write in (root neither).
    SetEnvironmentVariableW(L"CORVANE_PDF_DIR", L"Z:\\sys\\kernel");
    result = m_object->PrintDoc(u"Corvane PDF");
    ASSERT_EQ(m_events.errors.size(), 3u);
    EXPECT_EQ(m_events.errors[2].first, err::PermissionDenied);
    EXPECT_EQ(m_events.errors[2].second, u"Permission denied: Z:\\sys\\kernel could not be written (Access denied)");
    // A folder that is not there: one the caller named is never made.
    const std::wstring missing = windowsPath(m_folder + "/missing");
    SetEnvironmentVariableW(L"CORVANE_PDF_DIR", missing.c_str());
    result = m_object->PrintDoc(u"Corvane PDF");
    ASSERT_EQ(m_events.errors.size(), 4u);
    EXPECT_EQ(m_events.errors[3].first, err::PathNotFound);
    EXPECT_EQ(m_events.errors[3].second, u"Path not found: the folder of the printer Corvane PDF, "
                                             + UString(missing.begin(), missing.end()) + u", does not exist");
    EXPECT_TRUE(pdfFiles(m_folder).empty());

    EXPECT_EQ(m_events.completes, 0);
    EXPECT_EQ(sh("ls " + cupsDir() + "/out/Rejecting.pdf " + cupsDir() + "/out/Vanishing.pdf 2>/dev/null | wc -l"),
              "0\n");
}

TEST_F(Win32Printing, RoutesNotThereYetSaySoAtOnce)
{
    const UString richText = u"445|Object doesn't support this action: rich-text printing is not available on this "
                             u"platform yet";
    EXPECT_EQ(m_object->PrintText(u"hello").toString(), richText);
    EXPECT_EQ(m_object->PrintRTFData(u"{\\rtf1 hello}").toString(), richText);
    m_object->PrintHTMLDocFromSource(u"<p>hello</p>");
    try {
        m_object->About();
        ADD_FAILURE() << "About returned";
    } catch (const RuntimeError &error) {
        EXPECT_EQ(error.number(), err::ObjectDoesNotSupportAction);
        EXPECT_EQ(error.description(),
                  u"Object doesn't support this action: the About dialog is not available on this platform yet");
    }
    ASSERT_EQ(m_events.errors.size(), 3u);
    EXPECT_EQ(m_events.errors[2].second,
              u"Object doesn't support this action: HTML printing is not available on this platform yet");
    EXPECT_EQ(m_events.completes, 0);
}

} // namespace
