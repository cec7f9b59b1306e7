// Windows metafile pictures drawn through corvane-picture: WMF and EMF files written here record by
// record draw where their records say; damaged ones, a missing, hanging or crashing program and
// an unusable answer give a null image in bounded time, and the caller goes on.
#include "support/QtTestSupport.h"

#include "platform/qt/QtMetafiles.h"
#include "platform/qt/QtPlatform.h"

#include <corvane/Corvane.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane::qt;

namespace {

// Little-endian writing.
void put16(QByteArray &b, std::uint32_t v)
{
    b.append(char(v & 0xff));
    b.append(char((v >> 8) & 0xff));
}
void put32(QByteArray &b, std::uint32_t v)
{
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}
void set32(QByteArray &b, qsizetype at, std::uint32_t v)
{
    QByteArray four;
    put32(four, v);
    b.replace(at, 4, four);
}

constexpr std::uint32_t red = 0x0000ff, blue = 0xff0000; // COLORREF: 0x00bbggrr
constexpr QRgb redPixel = 0xffff0000, bluePixel = 0xff0000ff, nothing = 0x00000000;

// A WMF as RTF holds it (METAHEADER first): a window of 1000 x 500 logical units, a red
// rectangle over its left half and a blue one from 60% to 90% of its width over its lower half,
// without outlines. Nothing is drawn at the right edge: the window, not what is drawn, is the
// picture.
// yUp: the window's y axis points up (origin at the bottom, negative extent), as many writers do.
// A WMF file of its records: the header (memory metafile, 9 words, version 3) with the file's
// size, the number of objects and the largest record, in words.
QByteArray wmfFile(const QByteArray &records, std::uint32_t objects, std::uint32_t largest)
{
    QByteArray wmf;
    for (const std::uint32_t v : {1u, 9u, 0x300u})
        put16(wmf, v);
    put32(wmf, std::uint32_t(9 + records.size() / 2));
    put16(wmf, objects);
    put32(wmf, largest);
    put16(wmf, 0);
    return wmf + records;
}

QByteArray sampleWmf(bool yUp = false)
{
    QByteArray records;
    std::uint32_t largest = 0;
    auto record = [&](std::uint32_t function, std::initializer_list<int> words) {
        put32(records, std::uint32_t(3 + words.size()));
        put16(records, function);
        for (const int w : words)
            put16(records, std::uint32_t(w) & 0xffff);
        largest = std::max<std::uint32_t>(largest, std::uint32_t(3 + words.size()));
    };
    // Logical y of the top and the bottom of the window.
    const int top = yUp ? 500 : 0, bottom = yUp ? 0 : 500, middle = 250;
    record(0x0103, {8});                             // SetMapMode MM_ANISOTROPIC
    record(0x020B, {top, 0});                        // SetWindowOrg y, x
    record(0x020C, {yUp ? -500 : 500, 1000});        // SetWindowExt y, x
    record(0x02FC, {0, red & 0xffff, red >> 16, 0}); // CreateBrushIndirect solid: object 0
    record(0x012D, {0});                             // SelectObject
    record(0x02FA, {5, 0, 0, 0, 0});                 // CreatePenIndirect PS_NULL: object 1
    record(0x012D, {1});
    record(0x041B, {bottom, 500, top, 0});             // Rectangle bottom, right, top, left
    record(0x02FC, {0, blue & 0xffff, blue >> 16, 0}); // object 2
    record(0x012D, {2});
    record(0x041B, {bottom, 900, middle, 600}); // y 250 is the middle
    record(0x0000, {});                         // EOF
    QByteArray wmf;
    put16(wmf, 1); // memory metafile
    put16(wmf, 9); // header size in words
    put16(wmf, 0x0300);
    put32(wmf, std::uint32_t(9 + records.size() / 2)); // size in words
    put16(wmf, 3);                                     // objects
    put32(wmf, largest);
    put16(wmf, 0);
    return wmf + records;
}

// An EMF of the same picture: a frame of 100 x 50 pixels of its reference device (1000 pixels
// to 254 mm, so 25.4 mm x 12.7 mm), drawn in those pixels. Its bounds are only the red
// rectangle, as a writer that records what it drew gives them; the frame is the picture.
QByteArray sampleEmf()
{
    QByteArray records;
    int count = 1; // the header
    auto record = [&](std::uint32_t type, std::initializer_list<std::uint32_t> values) {
        put32(records, type);
        put32(records, std::uint32_t(8 + 4 * values.size()));
        for (const std::uint32_t v : values)
            put32(records, v);
        ++count;
    };
    record(39, {1, 0, red, 0});  // EMR_CREATEBRUSHINDIRECT object 1: solid red
    record(37, {1});             // EMR_SELECTOBJECT
    record(37, {0x80000008});    // EMR_SELECTOBJECT the stock NULL_PEN
    record(43, {0, 0, 50, 50});  // EMR_RECTANGLE left, top, right, bottom
    record(39, {2, 0, blue, 0}); // object 2: solid blue
    record(37, {2});
    record(43, {60, 25, 90, 50}); // 60% to 90% of the width, the lower half
    record(14, {0, 16, 20});      // EMR_EOF
    QByteArray emf;
    put32(emf, 1); // EMR_HEADER
    put32(emf, 88);
    for (const std::uint32_t v : {0u, 0u, 49u, 49u}) // bounds: the red rectangle only
        put32(emf, v);
    for (const std::uint32_t v : {0u, 0u, 2540u, 1270u}) // frame in 0.01 mm
        put32(emf, v);
    put32(emf, 0x464D4520); // " EMF"
    put32(emf, 0x10000);
    put32(emf, std::uint32_t(88 + records.size()));
    put32(emf, std::uint32_t(count));
    put16(emf, 3); // handles
    put16(emf, 0);
    put32(emf, 0); // no description
    put32(emf, 0);
    put32(emf, 0);    // no palette
    put32(emf, 1000); // reference device in pixels
    put32(emf, 1000);
    put32(emf, 254); // and in millimetres
    put32(emf, 254);
    return emf + records;
}

// Red left half; on the right nothing but blue from 60% to 90% of the width in the lower half.
// Sampled away from the edges, where smoothing may blend.
void expectPicture(const QImage &image, QSize size)
{
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.size(), size);
    const int w = size.width(), h = size.height();
    for (const double fy : {0.1, 0.4, 0.6, 0.9}) {
        for (const double fx : {0.05, 0.25, 0.45}) {
            EXPECT_EQ(image.pixel(int(fx * w), int(fy * h)), redPixel) << fx << ' ' << fy;
        }
    }
    for (const double fx : {0.55, 0.95}) {
        for (const double fy : {0.05, 0.25, 0.45, 0.55, 0.75, 0.95})
            EXPECT_EQ(image.pixel(int(fx * w), int(fy * h)), nothing) << fx << ' ' << fy;
    }
    for (const double fx : {0.65, 0.75, 0.85}) {
        for (const double fy : {0.05, 0.25, 0.45})
            EXPECT_EQ(image.pixel(int(fx * w), int(fy * h)), nothing) << fx << ' ' << fy;
        for (const double fy : {0.55, 0.75, 0.95})
            EXPECT_EQ(image.pixel(int(fx * w), int(fy * h)), bluePixel) << fx << ' ' << fy;
    }
}

// A program standing in for corvane-picture: a shell script.
QString script(const QTemporaryDir &dir, const QString &name, const QByteArray &body)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("#!/bin/sh\n" + body + "\n");
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

constexpr MetafileLimits quick{std::chrono::milliseconds(1500), std::size_t(1) << 30};

} // namespace

TEST(Metafile, ProgramLivesBesideTheLibrary)
{
    EXPECT_TRUE(metafileProgram().endsWith(QStringLiteral("/lib/corvane-picture"))) << metafileProgram().toStdString();
    EXPECT_TRUE(QFileInfo(metafileProgram()).isExecutable());
}

TEST(Metafile, WmfDrawsWhereItsRecordsSay)
{
    expectPicture(renderMetafile("wmf", sampleWmf(), QSize(200, 100)), QSize(200, 100));
    // Another size and proportion: the picture is stretched over it.
    expectPicture(renderMetafile("wmf", sampleWmf(), QSize(90, 120)), QSize(90, 120));
}

TEST(Metafile, WmfWithItsYAxisUpDrawsUpright)
{
    expectPicture(renderMetafile("wmf", sampleWmf(/*yUp*/ true), QSize(200, 100)), QSize(200, 100));
}

TEST(Metafile, WmfWithAPlaceableHeaderDrawsTheSame)
{
    // Key, handle, bounding box 0,0-1000,500, 1440 units an inch, reserved, checksum.
    QByteArray placeable;
    put32(placeable, 0x9AC6CDD7);
    for (const int v : {0, 0, 0, 1000, 500, 1440})
        put16(placeable, std::uint32_t(v));
    put32(placeable, 0);
    std::uint32_t sum = 0;
    for (int i = 0; i < 20; i += 2)
        sum ^= std::uint8_t(placeable[i]) | std::uint8_t(placeable[i + 1]) << 8;
    put16(placeable, sum);
    expectPicture(renderMetafile("wmf", placeable + sampleWmf(), QSize(200, 100)), QSize(200, 100));
}

TEST(Metafile, WmfTextHasItsSize)
{
    // "Hello" in red, 200 logical units high (the character height: a negative font height), its
    // cell's top left corner at (100, 300) in a window of 1000 x 500: drawn at 400 x 200 pixels,
    // a font of 80 pixels whose cell starts at (40, 120). Its ink lies within that cell.
    QByteArray records;
    auto record = [&](std::uint32_t function, const QByteArray &params) {
        put32(records, std::uint32_t(3 + params.size() / 2));
        put16(records, function);
        records += params;
    };
    auto words = [](std::initializer_list<int> values) {
        QByteArray b;
        for (const int v : values)
            put16(b, std::uint32_t(v) & 0xffff);
        return b;
    };
    record(0x0103, words({8}));
    record(0x020B, words({0, 0}));
    record(0x020C, words({500, 1000}));
    // CreateFontIndirect: height, width, escapement, orientation, weight, then eight one-byte
    // fields, then the face name in 32 bytes.
    record(0x02FB, words({-200, 0, 0, 0, 400}) + QByteArray(8, '\0') + QByteArray("Arial").leftJustified(32, '\0'));
    record(0x012D, words({0}));
    QByteArray color;
    put32(color, red);
    record(0x0209, color);                                                     // SetTextColor
    record(0x0521, words({5}) + QByteArray("Hello\0", 6) + words({300, 100})); // TextOut: y, x
    record(0x0000, {});
    const QByteArray wmf = wmfFile(records, 1, 3 + 5 + 16);

    const QImage image = renderMetafile("wmf", wmf, QSize(400, 200));
    ASSERT_EQ(image.size(), QSize(400, 200));
    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 128)
                ink |= QRect(x, y, 1, 1);
        }
    }
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.left(), 40) << ink.left();
    EXPECT_GE(ink.top(), 120) << ink.top();
    EXPECT_LE(ink.bottom(), 200) << ink.bottom();
    // Five letters of an 80-pixel sans-serif font: wider than two em, narrower than three.
    EXPECT_GT(ink.width(), 160) << ink.width();
    EXPECT_LT(ink.width(), 240) << ink.width();
    // Capitals of such a font are about 0.7 em: 50 to 65 pixels.
    EXPECT_GE(ink.height(), 50) << ink.height();
    EXPECT_LE(ink.height(), 65) << ink.height();
}

TEST(Metafile, WmfBitmapFillsItsPlace)
{
    // A bitmap of one green pixel stretched over the whole window of 1000 x 500. Scaling it to a
    // picture of this size takes Qt's image threads.
    QByteArray dib;
    for (const std::uint32_t v : {40u, 1u, 1u})
        put32(dib, v);
    put16(dib, 1);
    put16(dib, 24);
    for (const std::uint32_t v : {0u, 4u, 0u, 0u, 0u, 0u})
        put32(dib, v);
    dib += QByteArray::fromHex("00ff0000");
    QByteArray stretch; // META_STRETCHDIB: SRCCOPY, colours, source h w y x, destination h w y x
    put32(stretch, 0x00CC0020);
    for (const int v : {0, 1, 1, 0, 0, 500, 1000, 0, 0})
        put16(stretch, std::uint32_t(v));
    stretch += dib;
    QByteArray records;
    const auto record = [&](std::uint32_t function, std::initializer_list<int> words, const QByteArray &rest = {}) {
        put32(records, std::uint32_t(3 + words.size() + rest.size() / 2));
        put16(records, function);
        for (const int w : words)
            put16(records, std::uint32_t(w));
        records += rest;
    };
    record(0x0103, {8});         // SetMapMode MM_ANISOTROPIC
    record(0x020B, {0, 0});      // SetWindowOrg
    record(0x020C, {500, 1000}); // SetWindowExt y, x
    record(0x0F43, {}, stretch);
    record(0x0000, {});
    const QByteArray wmf = wmfFile(records, 0, std::uint32_t(3 + stretch.size() / 2));

    const QImage image = renderMetafile("wmf", wmf, QSize(800, 400));
    ASSERT_EQ(image.size(), QSize(800, 400));
    for (const QPoint at : {QPoint(400, 200), QPoint(10, 10), QPoint(790, 10), QPoint(10, 390), QPoint(790, 390)})
        EXPECT_EQ(image.pixel(at), 0xff00ff00) << at.x() << ' ' << at.y();
}

TEST(Metafile, EmfDrawsItsFrame)
{
    expectPicture(renderMetafile("emf", sampleEmf(), QSize(200, 100)), QSize(200, 100));
    expectPicture(renderMetafile("emf", sampleEmf(), QSize(90, 120)), QSize(90, 120));
}

TEST(Metafile, DamagedMetafilesGiveNoImage)
{
    const QByteArray wmf = sampleWmf(), emf = sampleEmf();
    struct Case {
        const char *what;
        const char *kind;
        QByteArray bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"WMF cut inside its records", "wmf", wmf.left(wmf.size() - 20)});
    cases.push_back({"WMF cut inside its header", "wmf", wmf.left(10)});
    {
        QByteArray b = wmf; // the first record's size in words: 2^31 - 1
        set32(b, 18, 0x7fffffff);
        cases.push_back({"WMF record of absurd size", "wmf", b});
    }
    {
        QByteArray b = wmf; // a record of 0 words: would never advance
        set32(b, 18, 0);
        cases.push_back({"WMF record of no size", "wmf", b});
    }
    {
        QByteArray b = wmf; // the metafile's size in words and its largest record: 2^31
        set32(b, 6, 0x80000000u);
        set32(b, 12, 0x80000000u);
        cases.push_back({"WMF header claiming 2^31 words", "wmf", b});
    }
    {
        QByteArray b = wmf; // the end-of-file record dropped, the size adjusted
        b.chop(6);
        set32(b, 6, std::uint32_t(b.size() / 2));
        cases.push_back({"WMF without its end", "wmf", b});
    }
    cases.push_back({"EMF cut inside its records", "emf", emf.left(emf.size() - 30)});
    cases.push_back({"EMF cut inside its header", "emf", emf.left(60)});
    {
        QByteArray b = emf; // the first record after the header: 0xfffffff0 bytes
        set32(b, 88 + 4, 0xfffffff0u);
        cases.push_back({"EMF record of absurd size", "emf", b});
    }
    {
        QByteArray b = emf; // a record count of 2^31
        set32(b, 52, 0x80000000u);
        cases.push_back({"EMF record count 2^31", "emf", b});
    }
    {
        QByteArray b = emf; // a size in bytes of 2^31
        set32(b, 48, 0x80000000u);
        cases.push_back({"EMF size 2^31", "emf", b});
    }
    cases.push_back({"EMF handed over as WMF", "wmf", emf});
    cases.push_back({"WMF handed over as EMF", "emf", wmf});
    cases.push_back({"text", "emf", QByteArray("{\\rtf1 not a picture}")});

    for (const Case &c : cases) {
        QElapsedTimer timer;
        timer.start();
        const QImage image = renderMetafileWith(metafileProgram(), c.kind, c.bytes, QSize(200, 100), quick);
        EXPECT_TRUE(image.isNull()) << c.what;
        EXPECT_LT(timer.elapsed(), 1500 + 1000) << c.what;
    }
    // The caller is unharmed: a sound picture still draws.
    expectPicture(renderMetafile("emf", emf, QSize(200, 100)), QSize(200, 100));
}

TEST(Metafile, RefusedRequestsGiveNoImage)
{
    const QByteArray wmf = sampleWmf();
    EXPECT_TRUE(renderMetafile("pict", wmf, QSize(200, 100)).isNull());
    EXPECT_TRUE(renderMetafile("wmf", QByteArray(), QSize(200, 100)).isNull());
    EXPECT_TRUE(renderMetafile("wmf", wmf, QSize(0, 100)).isNull());
    EXPECT_TRUE(renderMetafile("wmf", wmf, QSize(200, -1)).isNull());
    EXPECT_TRUE(renderMetafile("wmf", wmf, QSize(16385, 10)).isNull());
    EXPECT_TRUE(renderMetafile("wmf", wmf, QSize(16384, 16384)).isNull()); // more than 64 Mi pixels
}

TEST(Metafile, MissingProgramGivesNoImage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_TRUE(
        renderMetafileWith(dir.filePath(QStringLiteral("corvane-picture")), "wmf", sampleWmf(), QSize(200, 100), quick)
            .isNull());
    // There, but not a program that can run.
    QFile file(dir.filePath(QStringLiteral("not-a-program")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\x7f"
               "ELF garbage");
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_TRUE(renderMetafileWith(file.fileName(), "wmf", sampleWmf(), QSize(200, 100), quick).isNull());
}

TEST(Metafile, HangingProgramIsKilledAtTheTimeLimit)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pidFile = dir.filePath(QStringLiteral("pid"));
    // It reads nothing and writes nothing: it waits.
    const QString program = script(dir, QStringLiteral("hang"), "echo $$ > '" + pidFile.toUtf8() + "'\nexec sleep 60");
    QElapsedTimer timer;
    timer.start();
    const QImage image = renderMetafileWith(program, "wmf", QByteArray(8 << 20, 'x'), QSize(200, 100),
                                            MetafileLimits{std::chrono::milliseconds(700), std::size_t(1) << 30});
    const qint64 elapsed = timer.elapsed();
    EXPECT_TRUE(image.isNull());
    EXPECT_GE(elapsed, 700);
    EXPECT_LT(elapsed, 700 + 1500);
    // The program is gone, and reaped.
    QFile file(pidFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const pid_t pid = file.readAll().trimmed().toInt();
    ASSERT_GT(pid, 0);
    EXPECT_EQ(kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST(Metafile, ProgramThatClosesItsOutputButStaysIsKilled)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString program = script(dir, QStringLiteral("linger"), "exec >&- <&-\nexec sleep 60");
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(renderMetafileWith(program, "emf", sampleEmf(), QSize(200, 100), quick).isNull());
    EXPECT_LT(timer.elapsed(), 1500 + 1000);
}

TEST(Metafile, CrashingOrFailingProgramGivesNoImage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray emf = sampleEmf();
    EXPECT_TRUE(
        renderMetafileWith(script(dir, QStringLiteral("crash"), "kill -SEGV $$"), "emf", emf, QSize(200, 100), quick)
            .isNull());
    EXPECT_TRUE(renderMetafileWith(script(dir, QStringLiteral("fail"), "cat >/dev/null\nexit 3"), "emf", emf,
                                   QSize(200, 100), quick)
                    .isNull());
    // Exit status 0, but what it wrote is no PNG, or a PNG of another size.
    EXPECT_TRUE(renderMetafileWith(script(dir, QStringLiteral("babble"), "cat >/dev/null\necho not a png"), "emf", emf,
                                   QSize(200, 100), quick)
                    .isNull());
    const QString other = dir.filePath(QStringLiteral("other.png"));
    ASSERT_TRUE(QImage(20, 10, QImage::Format_ARGB32).save(other, "PNG"));
    EXPECT_TRUE(renderMetafileWith(script(dir, QStringLiteral("other"), "cat >/dev/null\ncat '" + other.toUtf8() + "'"),
                                   "emf", emf, QSize(200, 100), quick)
                    .isNull());
    // The same PNG at the size asked for is taken: the failures above are the program's.
    const QString right = dir.filePath(QStringLiteral("right.png"));
    QImage rightImage(200, 100, QImage::Format_ARGB32);
    rightImage.fill(QColor(0, 255, 0));
    ASSERT_TRUE(rightImage.save(right, "PNG"));
    const QImage taken = renderMetafileWith(
        script(dir, QStringLiteral("right"), "cat >/dev/null\ncat '" + right.toUtf8() + "'"), "emf", emf,
        QSize(200, 100), quick);
    ASSERT_EQ(taken.size(), QSize(200, 100));
    EXPECT_EQ(taken.pixel(100, 50), 0xff00ff00);
}

TEST(Metafile, ProgramRunsUnderTheMemoryLimitWithItsArguments)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer build runs the program without a memory limit";
#endif
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString seen = dir.filePath(QStringLiteral("seen"));
    // It also tells the size of the environment it was started with, its working folder and
    // whether it leads a session of its own (no terminal of the caller's).
    const QString program = script(dir, QStringLiteral("limits"),
                                   "{ ulimit -v; ulimit -c; echo \"$@\"; wc -c; wc -c < /proc/$$/environ; pwd;"
                                   " echo $(( $(cut -d' ' -f6 /proc/$$/stat) == $$ )); } > '"
                                       + seen.toUtf8() + "'\nexit 1");
    renderMetafileWith(program, "wmf", QByteArray(100000, 'x'), QSize(321, 123),
                       MetafileLimits{std::chrono::milliseconds(5000), std::size_t(256) << 20});
    QFile file(seen);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    // Address space in KiB, core files off, the arguments, every byte of the input, no
    // environment, the root folder, a session of its own.
    EXPECT_EQ(file.readAll().toStdString(), "262144\n0\nwmf 321 123\n100000\n0\n/\n1\n");
}

// A metafile that takes the converting libraries over gets no further than the program itself:
// started as the component starts it, the program's test hook tries, once confined as for a
// picture, to write files, open sockets, trace, fork and run a program, and reports each outcome.
TEST(Metafile, ConfinedProgramCannotWriteConnectOrStartPrograms)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A folder and a file that anyone may write: only the confinement stands in the way.
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    const QString target = dir.filePath(QStringLiteral("written"));
    {
        QFile existing(target + QStringLiteral(".existing"));
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("before\n");
    }
    ASSERT_EQ(::chmod(QFile::encodeName(target + QStringLiteral(".existing")).constData(), 0666), 0);

    const std::optional<QByteArray> report = runPictureProgram(
        QFile::encodeName(metafileProgram()), {"--probe", QFile::encodeName(target)}, sampleWmf(), 1 << 16, quick);
    ASSERT_TRUE(report.has_value());
    // Root becomes nobody, without supplementary groups; anyone else stays who they are.
    const bool root = ::geteuid() == 0;
    const QByteArray uid = root ? "65534" : QByteArray::number(::getuid());
    const QByteArray gid = root ? "65534" : QByteArray::number(::getgid());
    const QByteArray groups = root ? "0" : QByteArray::number(::getgroups(0, nullptr));
    // Nobody's processes and threads are capped; another user's limit counts all of theirs and stays.
    rlimit processes{};
    ::getrlimit(RLIMIT_NPROC, &processes);
    const QByteArray nproc = root                                ? QByteArray("1024")
                           : processes.rlim_max == RLIM_INFINITY ? QByteArray("unlimited")
                                                                 : QByteArray::number(quint64(processes.rlim_max));
    const QByteArray expected = "uid " + uid + " " + uid + "\ngid " + gid + " " + gid + "\ngroups " + groups
                              + "\nenvironment 0\ncwd /\nno_new_privs 1\nseccomp 2\n"
                                "fsize 0\nnproc "
                              + nproc
                              + "\ncpu 10\n"
                                "create EPERM\nappend EPERM\nmkdir EPERM\nsocket-inet EPERM\nsocket-unix EPERM\n"
                                "parent-mem EACCES\nparent-environ EACCES\nptrace EPERM\nfork EPERM\nexec EPERM\n";
    EXPECT_EQ(report->toStdString(), expected.toStdString());
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral(".d")));
    QFile existing(target + QStringLiteral(".existing"));
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("before\n"));
}

// The libraries write a metafile's text into the SVG they make as it is: text that closes its
// element and opens an image of a local file would have the picture show that file. Such a
// picture is refused; the same text linking to an element of the picture draws.
TEST(Metafile, PictureNamingAFileIsRefused)
{
    // A green image anyone may read, so that only the refusal keeps it out of the picture; at a
    // short path, since libwmf keeps a text of at most 126 characters as it is.
    QTemporaryDir dir(QStringLiteral("/tmp/cvXXXXXX"));
    ASSERT_TRUE(dir.isValid());
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const QString green = dir.filePath(QStringLiteral("g.png"));
    QImage greenImage(10, 10, QImage::Format_ARGB32);
    greenImage.fill(QColor(0, 255, 0));
    ASSERT_TRUE(greenImage.save(green, "PNG"));
    ASSERT_EQ(::chmod(QFile::encodeName(green).constData(), 0644), 0);

    // "Hello" in a window of 1000 x 500, followed by an image over the whole window.
    const auto withImage = [](const QByteArray &link) {
        QByteArray text = "Hello</text><image width=\"1000\" height=\"500\" xlink:href=\"" + link + "\"/><text>";
        if (text.size() % 2)
            text += ' ';
        QByteArray records;
        int largest = 0;
        const auto record = [&](std::uint32_t function, std::initializer_list<int> words, const QByteArray &rest = {}) {
            const int size = int(3 + words.size() + rest.size() / 2);
            put32(records, std::uint32_t(size));
            put16(records, function);
            for (const int w : words)
                put16(records, std::uint32_t(w) & 0xffff);
            records += rest;
            largest = std::max(largest, size);
        };
        record(0x0103, {8});
        record(0x020B, {0, 0});
        record(0x020C, {500, 1000});
        record(0x02FB, {-100, 0, 0, 0, 400}, QByteArray(8, '\0') + QByteArray("Arial").leftJustified(32, '\0'));
        record(0x012D, {0});
        QByteArray where;
        put16(where, 300);
        put16(where, 100);
        record(0x0521, {int(text.size())}, text + where); // TextOut: length, text, y, x
        record(0x0000, {});
        return std::pair{wmfFile(records, 1, std::uint32_t(largest)), text.size()};
    };

    const auto [naming, length] = withImage(QFile::encodeName(green));
    ASSERT_LE(length, 126);
    EXPECT_TRUE(renderMetafile("wmf", naming, QSize(400, 200)).isNull());
    const QImage linked = renderMetafile("wmf", withImage("#nothing").first, QSize(400, 200));
    ASSERT_EQ(linked.size(), QSize(400, 200));
    EXPECT_EQ(linked.pixel(200, 20), nothing);
}

TEST(Metafile, EveryWindowsPictureKindOfAnRtfDocumentPrints)
{
    // A WMF and an EMF of the same picture, each two inches by one on paper; a device-
    // independent bitmap of 2 x 1 pixels (red, then green) and a one-bit device bitmap of 8 x 1
    // (four black pixels, four white), each an inch by half an inch. On A4 with one-inch margins
    // each picture stands on a line of its own, its left edge at 72 pt.
    const QString folder = corvane::testing::freshPdfFolder(QStringLiteral("rtf-pictures"));
    const auto hex = [](const QByteArray &bytes) { return bytes.toHex(); };
    QByteArray dib;
    for (const uint32_t v : {40u, 2u, 1u})
        put32(dib, v);
    put16(dib, 1);
    put16(dib, 24);
    for (const uint32_t v : {0u, 8u, 0u, 0u, 0u, 0u})
        put32(dib, v);
    dib += QByteArray::fromHex("0000ff00ff000000");
    const QByteArray rtf =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 Wmf\\par "
        "{\\pict\\wmetafile8\\picwgoal2880\\pichgoal1440 "
        + hex(sampleWmf())
        + "}\\par Emf\\par "
          "{\\pict\\emfblip\\picwgoal2880\\pichgoal1440 "
        + hex(sampleEmf())
        + "}\\par Dib\\par "
          "{\\pict\\dibitmap0\\picw2\\pich1\\picwgoal1440\\pichgoal720 "
        + hex(dib)
        + "}\\par Ddb\\par "
          "{\\pict\\wbitmap0\\picw8\\pich1\\wbmbitspixel1\\wbmwidthbytes2\\picwgoal1440\\pichgoal720 0f00}\\par End\\par}";
    corvane::Corvane doc{&corvane::qt::qtPlatform()};
    EXPECT_TRUE(doc.PrintRTFData(QString::fromLatin1(rtf).toStdU16String()).isEmpty());
    const QStringList pdfs = corvane::testing::pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    QMap<QString, corvane::testing::Word> at;
    for (const auto &w : corvane::testing::pdfWords(pdfs[0]))
        at.insert(w.text, w);
    const QImage page = corvane::testing::pdfPage(pdfs[0], 1, 144);
    ASSERT_FALSE(page.isNull());
    // The colour at a point of the picture below a word: fx, fy of its width and height.
    const auto sample = [&](const char *word, double widthPt, double heightPt, double fx, double fy) {
        const double top = at.value(QString::fromLatin1(word)).yMax + 1;
        // The picture's line: its bottom on the baseline, a little below its top.
        const QColor c(page.pixel(int((72 + fx * widthPt) * 2), int((top + 2 + fy * (heightPt - 4)) * 2)));
        return c;
    };
    const auto is = [](QColor c, int r, int g, int b) {
        return std::abs(c.red() - r) < 40 && std::abs(c.green() - g) < 40 && std::abs(c.blue() - b) < 40;
    };
    for (const char *metafile : {"Wmf", "Emf"}) {
        EXPECT_TRUE(is(sample(metafile, 144, 72, 0.25, 0.5), 255, 0, 0)) << metafile << " red left half";
        EXPECT_TRUE(is(sample(metafile, 144, 72, 0.75, 0.8), 0, 0, 255)) << metafile << " blue lower right";
        EXPECT_TRUE(is(sample(metafile, 144, 72, 0.75, 0.2), 255, 255, 255)) << metafile << " nothing upper right";
    }
    EXPECT_TRUE(is(sample("Dib", 72, 36, 0.25, 0.5), 255, 0, 0)) << "bitmap's first pixel red";
    EXPECT_TRUE(is(sample("Dib", 72, 36, 0.75, 0.5), 0, 255, 0)) << "its second green";
    EXPECT_TRUE(is(sample("Ddb", 72, 36, 0.25, 0.5), 0, 0, 0)) << "one-bit bitmap's first half black";
    EXPECT_TRUE(is(sample("Ddb", 72, 36, 0.75, 0.5), 255, 255, 255)) << "its second half white";
}
