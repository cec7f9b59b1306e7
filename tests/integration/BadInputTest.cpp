// Bad input through the real surface: each case ends in a result the design defines (Empty
// with PrintComplete, or the error result text with PrintError), with exactly one of the two,
// in bounded time.
#include "jobs/ThreadForms.h"
#include "support/QtTestSupport.h"

#include "core/EventRecorder.h"

#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtRichText.h"
#include "platform/qt/QtWeb.h"

#include <corvane/Corvane.h>
#include <corvane/Errors.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace corvane;
using namespace corvane::testing;

namespace {

class BadInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetThreadSurface();
        folder = freshPdfFolder(QStringLiteral("bad"));
        doc.subscribe(&events);
    }
    void TearDown() override { resetThreadSurface(); }

    UString file(const QString &name, const QByteArray &bytes)
    {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return dir.filePath(name).toStdU16String();
    }

    // Runs a print and checks it ended in exactly one terminal event matching its result;
    // gives the result.
    template <typename Print> Variant ends(Print &&print, const char *what)
    {
        events.events.clear();
        QElapsedTimer timer;
        timer.start();
        const Variant result = print();
        EXPECT_LT(timer.elapsed(), 60000) << what;
        int complete = 0, errors = 0;
        for (const auto &event : events.events) {
            complete += event == "PrintComplete";
            errors += event.rfind("PrintError", 0) == 0;
        }
        EXPECT_EQ(complete + errors, 1) << what;
        EXPECT_EQ(result.isEmpty(), complete == 1) << what << ": " << toUtf8(result.toString());
        return result;
    }

    QTemporaryDir dir;
    QString folder;
    Corvane doc{&qt::qtPlatform()};
    EventRecorder events;
};

} // namespace

TEST_F(BadInput, TextFilesOfEveryShape)
{
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(static_cast<char>(i * 37 % 256));
    const std::pair<const char *, QByteArray> files[] = {
        {"binary.bin", binary},
        {"empty.txt", QByteArray()},
        {"nul.txt", QByteArray("before\0after", 12)},
        {"latin1.txt", QByteArray("na\xefve caf\xe9")},
        {"oneline.txt", QByteArray(1 << 20, 'a').replace(QByteArray("aaaaaaa"), QByteArray("aaaaaa "))},
        {"oneword.txt", QByteArray(100000, 'w')},
    };
    for (const auto &[name, bytes] : files) {
        doc.setFileName(file(QString::fromLatin1(name), bytes));
        EXPECT_TRUE(ends([&] { return doc.PrintDoc(); }, name).isEmpty()) << name;
        EXPECT_TRUE(ends([&] { return doc.PrintTextFile(doc.FileName()); }, name).isEmpty()) << name;
    }
    // An empty document through PrintDoc draws nothing, so no job is opened; every other
    // print is one PDF.
    EXPECT_EQ(pdfFiles(folder).size(), 11);
}

TEST_F(BadInput, FontsMarginsAndPenWidths)
{
    doc.setDocText(u"Some text");
    doc.setDocTitle(u"Title");
    for (const char16_t *font : {u"Arial,0,0,0,0", u"Arial,-5,0,0,0", u"Arial,100000,0,0,0"}) {
        doc.setDocTextFont(font);
        EXPECT_EQ(ends([&] { return doc.PrintDoc(); }, toUtf8(font).c_str()),
                  Variant::string(u"380|Invalid property value"));
        EXPECT_EQ(ends([&] { return doc.PrintText(u"x", font); }, toUtf8(font).c_str()),
                  Variant::string(u"380|Invalid property value"));
    }
    doc.setDocTextFont(u"No Such Face At All,12,1,1,1");
    EXPECT_TRUE(ends([&] { return doc.PrintDoc(); }, "unknown face").isEmpty());

    for (const int16_t width : {int16_t(0), int16_t(-3)}) {
        doc.setBorderLineWidth(width);
        EXPECT_EQ(ends([&] { return doc.PrintDoc(); }, "pen"), Variant::string(u"380|Invalid property value"));
    }
    doc.setBorderLineWidth(32767);
    doc.setPrintBorder(true);
    EXPECT_TRUE(ends([&] { return doc.PrintDoc(); }, "wide pen").isEmpty());

    for (const auto &[left, right, top, bottom] : {std::tuple{100, 100, 200, 200}, std::tuple{5000, 5000, 10000, 10000}}) {
        doc.setMarginLeft(static_cast<int16_t>(left));
        doc.setMarginRight(static_cast<int16_t>(right));
        doc.setMarginTop(static_cast<int16_t>(top));
        doc.setMarginBottom(static_cast<int16_t>(bottom));
        EXPECT_TRUE(ends([&] { return doc.PrintDoc(); }, "margins").isEmpty());
    }
}

TEST_F(BadInput, TitlesWiderThanThePage)
{
    doc.setDocTitle(UString(500, u'T'));
    EXPECT_TRUE(ends([&] { return doc.PrintDoc(); }, "one-word title").isEmpty());
    UString many;
    for (int i = 0; i < 10000; ++i)
        many += u"word ";
    doc.setDocTitle(many);
    EXPECT_TRUE(ends([&] { return doc.PrintDoc(); }, "10,000-word title").isEmpty());
}

TEST_F(BadInput, NamesWithQuotesSpacesNewlinesAndWildcards)
{
    for (const char16_t *name : {u"Printer \"quoted\"", u"with\nnewline", u"../..", u"*", u"?"}) {
        EXPECT_TRUE(doc.SetPrinter(name).isEmpty());
        doc.setDocText(u"x");
        EXPECT_TRUE(ends([&] { return doc.PrintDoc(name); }, toUtf8(name).c_str()).isEmpty());
    }
    const UString longName(4000, u'n');
    EXPECT_TRUE(ends([&] { return doc.PrintDoc(longName); }, "long printer name").isEmpty());
    for (const UString &name : {UString(u"/tmp/no such \"file\".txt"), UString(u"/tmp/new\nline.txt"),
                                UString(u"../../../../etc/shadow/x"), UString(4000, u'f')}) {
        doc.setFileName(name);
        EXPECT_EQ(ends([&] { return doc.PrintDoc(); }, "file name"), Variant::string(u"-1|File Not Found!"));
    }
}

TEST_F(BadInput, MalformedRichText)
{
    EXPECT_TRUE(ends([&] { return doc.PrintRTFData(u"{\\rtf1 truncated {\\b bold"); }, "truncated").isEmpty());
    UString deep = u"{\\rtf1 ";
    deep += UString(100000, u'{') + u"deep" + UString(100000, u'}') + u"}";
    EXPECT_TRUE(ends([&] { return doc.PrintRTFData(deep); }, "deep").isEmpty());
    EXPECT_TRUE(ends(
                    [&] {
                        return doc.PrintRTFData(u"{\\rtf1{\\pict\\pngblip\\picw99999999\\pich99999999\\bin2147483647 "
                                                u"\x89PNG}} after}");
                    },
                    "picture claim")
                    .isEmpty());
}

TEST(NamedFiles, WhatIsNotARegularFileIsRefusedWithoutWaiting)
{
    // A FIFO put where a print method's file was, after its existence test: every reader opens
    // without blocking and refuses it (a plain open waits for a writer for ever). A hang here
    // is this test's failure.
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("swapped.txt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const auto errorOf = [](auto &&read) {
        try {
            read();
        } catch (const RuntimeError &error) {
            return error.number();
        }
        return 0;
    };
    EXPECT_EQ(errorOf([&] { qt::qtPlatform().readFile(fifo.toStdU16String()); }), err::PathFileAccessError);
    qt::QtRichTextControl control;
    EXPECT_EQ(errorOf([&] { control.loadFile(fifo.toStdU16String()); }), err::PathFileAccessError);
    EXPECT_EQ(qt::printPdfOn(fifo, {}, {}, nullptr), 5);
    // A folder is not a regular file either; a missing file is not found.
    EXPECT_EQ(errorOf([&] { qt::qtPlatform().readFile(dir.path().toStdU16String()); }), err::PathFileAccessError);
    EXPECT_EQ(errorOf([&] { control.loadFile(dir.filePath(QStringLiteral("none.rtf")).toStdU16String()); }),
              err::FileNotFound);
}
