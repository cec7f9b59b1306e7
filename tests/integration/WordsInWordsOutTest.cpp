// Words in, words out: generated documents printed through every text method, on both paths of
// the built-in printer and on a CUPS printer, over font sizes from 1 to 1000 points, every paper
// size and orientation, margins at their bounds and 1 to 3 copies. For each job the PDF read back
// holds every word of the input once per copy, in order, each copy on pages of its own, every
// word inside its page box, and the page count is a whole number of copies; the job ended in
// PrintComplete and nothing else.
//
// CORVANE_WORDS_SEED picks the first document (a fixed seed by default) and CORVANE_WORDS_CASES
// how many follow; scripts/words-in-words-out.sh runs it longer with random seeds.
#include "jobs/ThreadForms.h"
#include "support/QtTestSupport.h"

#include "core/EventRecorder.h"

#include "platform/qt/QtPlatform.h"

#include <corvane/Corvane.h>
#include <corvane/Enums.h>

#include <QBuffer>
#include <QRegularExpression>
#include <QSet>
#include <QFile>
#include <QImage>
#include <QPageSize>
#include <QTemporaryDir>

#include <cmath>
#include <map>
#include <random>

using namespace corvane;
using namespace corvane::testing;

namespace {

enum class Method { DocText, DocFile, Text, TextFile, RtfData, RtfFile };
enum class Path { Direct, QtEngine, Cups };

const char *methodName(Method m)
{
    static const char *names[] = {"PrintDoc DocText", "PrintDoc FileName", "PrintText",
                                  "PrintTextFile",    "PrintRTFData",      "PrintRTFFile"};
    return names[static_cast<int>(m)];
}

const char *pathName(Path p)
{
    static const char *names[] = {"built-in direct", "built-in through Qt", "CUPS"};
    return names[static_cast<int>(p)];
}

// One generated job: what to print, how, and the words it must show.
struct Case {
    Method method = Method::DocText;
    Path path = Path::Direct;
    int paper = 1, orientation = 1, copies = 1;
    int left = 1440, top = 1440, right = 1440, bottom = 1440;
    int points = 10;
    std::string face = "Arial";
    std::string text;             // plain text, or the RTF document
    QStringList words;            // in order
    QList<QStringList> tableRows; // words of table cells (RTF), in order of rows; order within a row may vary
    std::string describe() const
    {
        return std::string(methodName(method)) + " on " + pathName(path) + ", paper " + std::to_string(paper)
             + (orientation == 2 ? " landscape" : " portrait") + ", margins " + std::to_string(left) + "/"
             + std::to_string(top) + "/" + std::to_string(right) + "/" + std::to_string(bottom) + ", " + face + " "
             + std::to_string(points) + " pt, " + std::to_string(copies) + " copies, " + std::to_string(words.size())
             + " words";
    }
};

// The sheet of a case, in twips, turned for landscape.
QSizeF sheet(const Case &c)
{
    const QSizeF s = QPageSize(QPageSize::id(c.paper)).size(QPageSize::Point) * 20;
    return c.orientation == 2 ? s.transposed() : s;
}

class Generator {
public:
    explicit Generator(uint32_t seed)
        : m_random(seed)
    {
        // The CUPS printer has the sizes of its PPD (the generic PDF printer's); a size it has
        // not is a setting the component skips, so CUPS jobs take sizes it has.
        QSet<QString> sizes;
        QFile ppd(QStringLiteral("/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd"));
        if (ppd.open(QIODevice::ReadOnly)) {
            static const QRegularExpression size(QStringLiteral("^\\*PageSize ([^/.:]+)[/:]"),
                                                 QRegularExpression::MultilineOption);
            for (auto match = size.globalMatch(QString::fromLatin1(ppd.readAll())); match.hasNext();)
                sizes.insert(match.next().captured(1).toLower());
        }
        for (const Enumeration &e : enumerations())
            if (e.name == "spPaperSize")
                for (const Enumerator &p : e.enumerators) {
                    m_papers.push_back(p.value);
                    if (sizes.contains(QPageSize(QPageSize::id(p.value)).key().toLower()))
                        m_cupsPapers.push_back(p.value);
                }
    }

    Case next()
    {
        Case c;
        c.method = static_cast<Method>(pick(6));
        const int path = pick(16);
        c.path = path < 8 ? Path::Direct : path < 14 ? Path::QtEngine : Path::Cups;
        c.copies = 1 + pick(3);
        static const char *faces[] = {"Arial", "Times New Roman", "Courier New"};
        c.face = faces[pick(3)];
        // Font size: log-uniform from 1 to 1000 points; then a page, orientation and margins it
        // fits on (a word of up to `longest` letters across, a line down), else the largest sheet.
        c.points = std::clamp(static_cast<int>(std::lround(std::exp(uniform() * std::log(1000.0)))), 1, 1000);
        const int longest = std::max(1, std::min(8, static_cast<int>(fitLetters(c, 48960 - 200))));
        bool fits = false;
        for (int attempt = 0; attempt < 60 && !fits; ++attempt) {
            const std::vector<int32_t> &papers = c.path == Path::Cups && !m_cupsPapers.empty() ? m_cupsPapers : m_papers;
            c.paper = papers[pick(static_cast<int>(papers.size()))];
            c.orientation = 1 + pick(2);
            c.left = margin(100, 5000);
            c.right = margin(100, 5000);
            c.top = margin(200, 10000);
            c.bottom = margin(200, 10000);
            fits = fitsOnPage(c, longest);
        }
        if (!fits) {
            // Only the largest sheet holds it, which the CUPS printer has not: the built-in
            // printer takes it.
            if (c.path == Path::Cups)
                c.path = Path::QtEngine;
            c.paper = spPaperESheet;
            c.orientation = 1;
            c.left = c.right = 100;
            c.top = c.bottom = 200;
        }
        const int letters = std::max(1, std::min(longest, static_cast<int>(fitLetters(c, bodyWidth(c)))));
        words(c, letters);
        return c;
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    double uniform() { return std::uniform_real_distribution<double>(0, 1)(m_random); }

    int margin(int low, int high)
    {
        switch (pick(4)) {
        case 0: return low;
        case 1: return high;
        case 2: return 1440;
        default: return low + pick(high - low + 1);
        }
    }

    // Generous measures: a letter at most 0.95 em wide (no letter of ours is wider), a line
    // 1.25 em high.
    static double letterWidth(const Case &c) { return 0.95 * c.points * 20; }
    static double lineHeight(const Case &c) { return 1.25 * c.points * 20; }
    static double bodyWidth(const Case &c) { return sheet(c).width() - c.left - c.right; }
    static double fitLetters(const Case &c, double width) { return std::floor(width / letterWidth(c)); }
    static bool fitsOnPage(const Case &c, int letters)
    {
        const QSizeF s = sheet(c);
        const bool rich = c.method != Method::DocText && c.method != Method::DocFile;
        // The text flow needs a line below the top margin; rich text a line between the margins,
        // and PrintDoc a line between both margins too so that no page is only decorations.
        const double height = s.height() - c.top - c.bottom;
        return bodyWidth(c) >= letters * letterWidth(c) && height >= (rich ? 2 : 1) * lineHeight(c);
    }

    // A word of 1 to `letters` letters that print as themselves (no "f", "l" or "i" that a face
    // might join). Words may repeat: the check follows their order.
    QString word(int letters)
    {
        static const char alphabet[] = "abcdeghjkmnopqrstuvwxyz";
        QString w;
        const int length = 1 + pick(std::min(letters, 8));
        for (int k = 0; k < length; ++k)
            w += QLatin1Char(alphabet[pick(23)]);
        return w;
    }

    void words(Case &c, int letters)
    {
        const int count = 1 + pick(pick(4) == 0 ? 400 : 60);
        const bool rich = c.method == Method::RtfData || c.method == Method::RtfFile;
        // Past 300 points words go one a line: the PDF reader joins words of such sizes that
        // stand a blank apart.
        const bool huge = c.points > 300;
        std::string text;
        if (rich) {
            text = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 " + c.face + ";}{\\f1 Times New Roman;}}\\f0\\fs"
                 + std::to_string(2 * c.points) + " ";
        }
        for (int i = 0; i < count; ++i) {
            const QString w = word(letters);
            c.words << w;
            const std::string s = w.toStdString();
            if (!rich) {
                text += s;
                // Tabs only in PrintDoc, whose stops keep a gap of a third of an em at least: the
                // rich-text stops may leave words too close for the reader to part them.
                const int sep = huge ? 7 : pick(10);
                const bool flow = c.method == Method::DocText || c.method == Method::DocFile;
                text += sep < 6 ? " " : sep < 8 ? "\n" : sep < 9 ? (flow ? "\t" : " ") : "\r\n";
                continue;
            }
            switch (huge ? 1 : pick(8)) {
            case 0: text += "{\\b " + s + "} "; break;
            case 1: text += "{\\i " + s + "}\\par "; break;
            case 2: text += "{\\ul " + s + "}\\line "; break;
            default: text += s + " "; break;
            }
            // A table row of three cells 2000 twips wide, each one word that fills no more than
            // two thirds of its cell, and sometimes a small picture after it.
            const int cellLetters = static_cast<int>(std::floor(1200 / letterWidth(c)));
            if (pick(40) == 0 && cellLetters >= 1 && bodyWidth(c) >= 6000) {
                QStringList row;
                text += "\\par\\trowd\\cellx2000\\cellx4000\\cellx6000";
                for (int k = 0; k < 3; ++k) {
                    const QString cell = word(cellLetters);
                    row << cell;
                    text += "\\intbl " + cell.toStdString() + "\\cell";
                }
                text += "\\row\\pard ";
                c.tableRows << row;
                c.words << QStringLiteral("<row>");
                if (pick(2) == 0)
                    text += picture();
            }
        }
        if (rich)
            text += "\\par}";
        c.text = text;
    }

    std::string picture()
    {
        QImage image(24, 12, QImage::Format_RGB32);
        image.fill(QColor(40, 90, 160));
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        image.save(&png, "PNG");
        return "{\\pict\\pngblip\\picw24\\pich12\\picwgoal720\\pichgoal360 " + png.data().toHex().toStdString()
             + "}\\par ";
    }

    std::mt19937 m_random;
    std::vector<int32_t> m_papers, m_cupsPapers;
};

UString u16(const std::string &s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())).toStdU16String();
}

class WordsInWordsOut : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(dir.filePath(QStringLiteral("tmp")));
        qputenv("TMPDIR", QFile::encodeName(dir.filePath(QStringLiteral("tmp"))));
        doc.subscribe(&events);
    }
    void TearDown() override
    {
        qunsetenv("CORVANE_QT_TEXT_ONLY");
        resetThreadSurface();
    }

    // Prints the case; the one PDF it made (empty when none or several).
    QString print(const Case &c)
    {
        events.events.clear();
        if (c.path == Path::QtEngine)
            qputenv("CORVANE_QT_TEXT_ONLY", "1");
        else
            qunsetenv("CORVANE_QT_TEXT_ONLY");
        resetThreadSurface();
        QString folder;
        if (c.path == Path::Cups) {
            if (!m_printerAdded)
                addFilePrinter(printer);
            m_printerAdded = true;
            QFile::remove(printerOutput(printer));
            doc.SetPrinter(printer.toStdU16String());
        } else {
            folder = freshPdfFolder(QStringLiteral("words"));
            doc.SetPrinter(u"Corvane PDF");
        }
        const QString file = dir.filePath(c.method == Method::RtfFile ? QStringLiteral("doc.rtf")
                                                                      : QStringLiteral("doc.txt"));
        if (c.method == Method::DocFile || c.method == Method::TextFile || c.method == Method::RtfFile) {
            QFile f(file);
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write(c.text.data(), static_cast<qint64>(c.text.size()));
        }
        LayoutParameters layout{c.left,         c.top,           c.right,
                                c.bottom,       c.orientation,   c.paper,
                                spPaperBinAuto, spQualityMedium, static_cast<int16_t>(c.copies)};
        const UString font = u16(c.face + "," + std::to_string(c.points) + ",0,0,0");
        doc.setMarginLeft(static_cast<int16_t>(c.left));
        doc.setMarginTop(static_cast<int16_t>(c.top));
        doc.setMarginRight(static_cast<int16_t>(c.right));
        doc.setMarginBottom(static_cast<int16_t>(c.bottom));
        doc.setPaperSize(static_cast<spPaperSize>(c.paper));
        doc.setPaperOrientation(static_cast<spOrientation>(c.orientation));
        doc.setCopies(static_cast<int16_t>(c.copies));
        doc.setDocTextFont(font);
        switch (c.method) {
        case Method::DocText:
            doc.setFileName(u"");
            doc.setDocText(u16(c.text));
            result = doc.PrintDoc();
            break;
        case Method::DocFile:
            doc.setFileName(file.toStdU16String());
            result = doc.PrintDoc();
            break;
        case Method::Text: result = doc.PrintText(u16(c.text), font, layout); break;
        case Method::TextFile: result = doc.PrintTextFile(file.toStdU16String(), font, layout); break;
        case Method::RtfData: result = doc.PrintRTFData(u16(c.text), layout); break;
        case Method::RtfFile: result = doc.PrintRTFFile(file.toStdU16String(), layout); break;
        }
        if (c.path == Path::Cups)
            return waitForPrinterOutput(printer) ? printerOutput(printer) : QString();
        const QStringList pdfs = pdfFiles(folder);
        return pdfs.size() == 1 ? pdfs.front() : QString();
    }

    // Whether the printed case holds what it must; the first fault found otherwise.
    std::string check(const Case &c, const QString &pdf)
    {
        if (!result.isEmpty())
            return "result " + toUtf8(result.toString());
        if (events.events != std::vector<std::string>{"PrintComplete"}) {
            std::vector<std::string> ends;
            for (const std::string &e : events.events)
                if (!e.starts_with("PrintProgress"))
                    ends.push_back(e);
            if (ends != std::vector<std::string>{"PrintComplete"})
                return "events " + (ends.empty() ? std::string("none") : ends.front());
        }
        if (pdf.isEmpty())
            return "no single PDF";
        const int pages = pdfInfo(pdf, QStringLiteral("Pages")).toInt();
        if (pages <= 0 || pages % c.copies != 0)
            return std::to_string(pages) + " pages for " + std::to_string(c.copies) + " copies";
        const int perCopy = pages / c.copies;

        // Reading order: page, then line (words whose baselines agree), then left to right. A
        // table row is one line, so its cells come in order too. CUPS's filters may turn a page of
        // landscape paper a quarter, its lines then running up the sheet: they are turned back.
        QList<Word> words = pdfWords(pdf);
        const bool wide = sheet(c).width() > sheet(c).height();
        for (Word &w : words) {
            if (wide && w.pageWidth < w.pageHeight) {
                w = Word{w.text, w.pageHeight - w.yMax, w.xMin,     w.pageHeight - w.yMin, w.xMax,
                         w.page, w.pageHeight,          w.pageWidth};
            }
        }
        std::stable_sort(words.begin(), words.end(), [](const Word &a, const Word &b) {
            if (a.page != b.page)
                return a.page < b.page;
            const double tolerance = 0.2 * std::min(a.yMax - a.yMin, b.yMax - b.yMin);
            if (std::abs(a.yMax - b.yMax) > tolerance)
                return a.yMax < b.yMax;
            return a.xMin < b.xMin;
        });
        // Drawn once: the content streams hold each word as often as the copies (the reading
        // order above merges text drawn twice in one place). The CUPS filters redraw text glyph
        // by glyph, so there only the reading order counts.
        if (c.path != Path::Cups) {
            std::map<QString, int> drawn, wanted;
            for (const Word &w : pdfWords(pdf, /*drawn*/ true))
                ++drawn[w.text];
            int row = 0;
            for (const QString &w : c.words) {
                for (const QString &each : w == QStringLiteral("<row>") ? c.tableRows[row++] : QStringList{w})
                    wanted[each] += c.copies;
            }
            for (const auto &[text, count] : wanted) {
                if (drawn[text] != count)
                    return text.toStdString() + " drawn " + std::to_string(drawn[text]) + " times, not "
                         + std::to_string(count);
            }
        }
        int at = 0;
        for (int copy = 0; copy < c.copies; ++copy) {
            int row = 0;
            for (const QString &expected : c.words) {
                QStringList want = expected == QStringLiteral("<row>") ? c.tableRows[row++] : QStringList{expected};
                QStringList got;
                for (qsizetype k = 0; k < want.size(); ++k, ++at) {
                    if (at >= words.size())
                        return "copy " + std::to_string(copy + 1) + " ends before " + expected.toStdString();
                    const Word &w = words[at];
                    got << w.text;
                    if (w.page <= copy * perCopy || w.page > (copy + 1) * perCopy)
                        return w.text.toStdString() + " of copy " + std::to_string(copy + 1) + " on page "
                             + std::to_string(w.page) + " of " + std::to_string(pages);
                    const double slack = 0.5;
                    if (w.xMin < -slack || w.yMin < -slack || w.xMax > w.pageWidth + slack
                        || w.yMax > w.pageHeight + slack)
                        return w.text.toStdString() + " outside its page: " + std::to_string(w.xMin) + ","
                             + std::to_string(w.yMin) + " to " + std::to_string(w.xMax) + "," + std::to_string(w.yMax)
                             + " on " + std::to_string(w.pageWidth) + " x " + std::to_string(w.pageHeight);
                }
                std::sort(got.begin(), got.end());
                std::sort(want.begin(), want.end());
                if (got != want) {
                    QStringList around;
                    for (qsizetype k = std::max<qsizetype>(0, at - 8); k < std::min<qsizetype>(words.size(), at + 4); ++k)
                        around << words[k].text + QLatin1Char('@') + QString::number(words[k].page);
                    return "expected " + want.join(' ').toStdString() + " in copy " + std::to_string(copy + 1)
                         + ", found " + got.join(' ').toStdString() + " in " + around.join(' ').toStdString();
                }
            }
        }
        if (at != words.size())
            return "extra words after the last copy, first " + words[at].text.toStdString();
        return {};
    }

    QTemporaryDir dir;
    Corvane doc{&qt::qtPlatform()};
    EventRecorder events;
    Variant result;
    bool m_printerAdded = false;
    // The CUPS queue of this test's jobs: each test its own, since ctest runs them side by side.
    QString printer = QStringLiteral("Words");
};

} // namespace

TEST_F(WordsInWordsOut, GeneratedDocumentsOnEveryPath)
{
    const uint32_t seed = static_cast<uint32_t>(qEnvironmentVariableIntValue("CORVANE_WORDS_SEED")) ?: 20261208u;
    const int cases = qEnvironmentVariableIsSet("CORVANE_WORDS_CASES")
                        ? qEnvironmentVariableIntValue("CORVANE_WORDS_CASES")
                        : 200;
    Generator generate(seed);
    int failures = 0, printed = 0;
    for (int i = 0; i < cases && failures < 5; ++i) {
        Case c = generate.next();
        if (c.path == Path::Cups && cupsDir().isEmpty())
            c.path = Path::Direct;
        const QString pdf = print(c);
        const std::string fault = check(c, pdf);
        ++printed;
        if (!fault.empty()) {
            ++failures;
            // CORVANE_WORDS_KEEP names a folder for the input and output of each failed case.
            const QString keep = qEnvironmentVariable("CORVANE_WORDS_KEEP");
            if (!keep.isEmpty()) {
                QDir().mkpath(keep);
                const QString stem = QStringLiteral("%1/case-%2-%3").arg(keep).arg(seed).arg(i);
                QFile::copy(pdf, stem + QStringLiteral(".pdf"));
                QFile input(stem + QStringLiteral(".in"));
                input.open(QIODevice::WriteOnly);
                input.write(c.text.data(), static_cast<qint64>(c.text.size()));
            }
            ADD_FAILURE() << "seed " << seed << " case " << i << ": " << c.describe() << ": " << fault;
        }
    }
    EXPECT_EQ(failures, 0) << "of " << printed << " documents";
}

// The text layer says what the page shows, in every script and font, on every route: each line of
// samples reads back exactly as written (ligatures as their letters, joined and reordered letters
// in reading order, characters of fallback faces, combining marks, characters beyond the BMP, and
// a symbol font's letters as its symbols, variation selectors, pointed letters and ligatures of
// right-to-left words, spaces and joiners of no width), and a soft hyphen that breaks no line
// shows nothing.
TEST_F(WordsInWordsOut, TextLayerSaysEveryScriptAsWritten)
{
    printer = QStringLiteral("Layer");
    const QStringList samples = {
        QStringLiteral("Please find it attached: http://example.com/fjord \u2713 office affine waffle"),
        QStringLiteral("Καλημέρα κόσμε Привет мир"),
        QStringLiteral("日本語の文章 中文"),
        QStringLiteral("مرحبا بالعالم"),
        QStringLiteral("שלום עולם"),
        QStringLiteral("नमस्ते दुनिया สวัสดีครับ"),
        QString::fromUtf8("\xF0\x9F\x98\x80 \xE2\x9C\x85 \xF0\x9D\x90\x80\xF0\x9D\x90\x81"),
        QStringLiteral("e\u0301 a\u0308 n\u0342 soft\u00ADhyphen"),
        QStringLiteral("heart \u2764\uFE0F star \u2606\uFE0E kanji \u845B\U000E0100 end"),
        QStringLiteral("vector v\u20D7 key 1\u20E3"),
        QStringLiteral("\u05E9\u05B8\u05C1\u05DC\u05D5\u05B9\u05DD \u05E2\u05B2\u05DC\u05B5\u05D9\u05DB\u05B6\u05DD"),
        QStringLiteral("\u0628\u0650\u0633\u0652\u0645\u0650 \u0627\u0644\u0644\u0651\u064E\u0647\u0650"),
        QStringLiteral("keys 1\uFE0F\u20E3 and \u2764\uFE0F"),
        QStringLiteral("zero\u200Bwidth non\u200Cjoiner"),
    };
    const auto rtf = [](const QString &face, const QStringList &lines) {
        std::string out = "{\\rtf1\\ansi{\\fonttbl{\\f0 " + face.toStdString() + ";}}\\f0\\fs18 ";
        for (const QString &line : lines) {
            for (const QChar c : line)
                out += "\\u" + std::to_string(static_cast<int16_t>(c.unicode())) + "?";
            out += "\\par ";
        }
        return out + "}";
    };
    // The lines read back, without the marks the reader puts around right-to-left text (and the
    // right-to-left mark said where a right-to-left line ends in a mark, which a reader would
    // otherwise read first), and whether each of `want` is one of them, once. (Their order is
    // the reader's guess at columns: lines of right-to-left text stand at the right margin.)
    const auto holds = [](const QString &pdf, QStringList want) {
        QString text = run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).out;
        text.remove(QRegularExpression(QStringLiteral("[\u202A-\u202E\f]")));
        text.remove(QRegularExpression(QStringLiteral("(?<=\\p{Mn})\u200F$"), QRegularExpression::MultilineOption));
        const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (QString &w : want)
            w.remove(QChar(0x00AD));
        for (const QString &w : std::as_const(want))
            if (std::count_if(lines.begin(), lines.end(), [&w](const QString &line) { return line.trimmed() == w; }) != 1)
                return "not once \"" + w.toStdString() + "\" in\n" + text.toStdString();
        return std::string();
    };
    struct Job {
        Method method;
        Path path;
        std::string face;
    };
    std::vector<Job> jobs;
    for (const char *face : {"Calibri", "Times New Roman", "DejaVu Sans", "Courier New"})
        for (const Method method : {Method::DocText, Method::Text, Method::RtfData})
            jobs.push_back({method, Path::Direct, face});
    if (!cupsDir().isEmpty())
        for (const Method method : {Method::DocText, Method::RtfData})
            jobs.push_back({method, Path::Cups, "Calibri"});
    for (const Job &job : jobs) {
        Case c;
        c.method = job.method;
        c.path = job.path;
        c.face = job.face;
        c.points = 9;
        c.text = job.method == Method::RtfData ? rtf(QString::fromStdString(job.face), samples)
                                               : samples.join(QLatin1Char('\n')).toStdString();
        const QString pdf = print(c);
        ASSERT_FALSE(pdf.isEmpty()) << c.describe();
        EXPECT_EQ(holds(pdf, samples), "") << c.describe();
    }
    // Pointed right-to-left words whose first letter is bold and the rest italic read as words.
    for (const char *face : {"Calibri", "Times New Roman", "DejaVu Sans", "Courier New"}) {
        Case c;
        c.method = Method::RtfData;
        c.text = std::string("{\\rtf1{\\fonttbl{\\f0 ") + face
               + ";}}\\f0 {\\b \\u1513?\\u1464?\\u1473?}{\\i \\u1500?\\u1493?\\u1465?\\u1501?} "
                 "{\\b \\u1605?\\u1615?}{\\i \\u1581?\\u1614?\\u1605?\\u1617?\\u1614?\\u1583?\\u1612?}\\par}";
        const QString pdf = print(c);
        EXPECT_EQ(holds(pdf, {QStringLiteral("\u05E9\u05B8\u05C1\u05DC\u05D5\u05B9\u05DD "
                                             "\u0645\u064F\u062D\u064E\u0645\u0651\u064E\u062F\u064C")}),
                  "")
            << face;
        // Letters set with their points as one glyph, ending a line; a word whose last letter,
        // with its point, is a piece of its own (in another colour); words parted by a no-break
        // space (which the reader gives as a space); words whose first letters are bold. A line of English first: the reader takes
        // the page's direction from most of its letters.
        c.text = std::string("{\\rtf1{\\fonttbl{\\f0 ") + face
               + ";}}{\\colortbl;\\red200\\green0\\blue0;}\\f0 The lines below are read left to right on this page.\\par Read \\u1500?\\u1493?\\u1465? \\u1497?\\u1460?\\par "
                 "Read {\\cf1 \\u1512?\\u1493?}\\u1468?\\u1495?\\u1463?\\par "
                 "Read \\u1512?\\u1493?\\u1468?\\u1495?\\u1463?\\u160?\\u1500?\\u1456?\\u1498?\\u1464?\\par "
                 "Read {\\b \\u1500?\\u1456?}\\u1498?\\u1464? {\\b \\u1512?\\u1493?}\\u1468?\\u1495?\\u1463?\\par}";
        EXPECT_EQ(holds(print(c), {QStringLiteral("Read \u05DC\u05D5\u05B9 \u05D9\u05B4"),
                                   QStringLiteral("Read \u05E8\u05D5\u05BC\u05D7\u05B7"),
                                   QStringLiteral("Read \u05E8\u05D5\u05BC\u05D7\u05B7 \u05DC\u05B0\u05DA\u05B8"),
                                   QStringLiteral("Read \u05DC\u05B0\u05DA\u05B8 \u05E8\u05D5\u05BC\u05D7\u05B7")}),
                  "")
            << face;
    }
    // Letters set apart read as their words; Wingdings' faces as the faces.
    {
        Case c;
        c.method = Method::RtfData;
        c.text = "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Wingdings;}}\\f0 {\\expndtw60 spaced words here}\\par "
                 "\\f1 JKL\\par}";
        const QString pdf = print(c);
        EXPECT_EQ(holds(pdf, {QStringLiteral("spaced words here"), QStringLiteral("\u263A\U0001F610\u2639")}), "");
    }
    // Letters in a symbol font are its symbols.
    for (const Method method : {Method::DocText, Method::Text}) {
        Case c;
        c.method = method;
        c.face = "Symbol";
        c.points = 14;
        c.text = "abgdp";
        const QString pdf = print(c);
        EXPECT_EQ(holds(pdf, {QStringLiteral("αβγδπ")}), "") << c.describe();
    }
    // Pointed Hebrew, whose font has glyphs for a letter with its point: its words read in their
    // order, each letter with its points.
    for (const Method method : {Method::DocText, Method::Text, Method::RtfData}) {
        Case c;
        c.method = method;
        c.face = "Arial";
        c.points = 12;
        const QString pointed = QStringLiteral("\u05E9\u05B8\u05C1\u05DC\u05D5\u05B9\u05DD \u05E2\u05D5\u05B9\u05DC"
                                               "\u05B8\u05DD \u05E2\u05D1\u05E8\u05D9\u05EA");
        c.text = method == Method::RtfData ? rtf(QStringLiteral("Arial"), {pointed}) : pointed.toStdString();
        const QString pdf = print(c);
        ASSERT_FALSE(pdf.isEmpty()) << c.describe();
        QString text = run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).out;
        text.remove(QRegularExpression(QStringLiteral("[\u202A-\u202E\f]")));
        EXPECT_EQ(text.trimmed(), pointed) << c.describe();
    }
}
