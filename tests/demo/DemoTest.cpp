// The demonstration program driven by Qt Test on the offscreen platform, its dialogs answered
// through the seam, its prints read back from the PDFs they made.
#include "support/QtTestSupport.h"

#include "demo/DemoDialogs.h"
#include "demo/Forms.h"

#include <corvane/CorvaneObject.h>
#include "jobs/ThreadForms.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtWeb.h"

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextEdit>

using namespace corvane;
using namespace corvane::demo;
using namespace corvane::testing;

namespace {

// The program's own boxes, kept before the first test answers them.
const std::function<void(QWidget *, const QString &)> &realInform()
{
    static const auto inform = DemoDialogs::inform;
    return inform;
}

class Demo : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetThreadSurface();
        folder = freshPdfFolder(QStringLiteral("demo"));
        realInform();
        DemoDialogs::ask = [this](QWidget *, const QString &title, const QString &text, DemoDialogs::Buttons) {
            asked << title + QStringLiteral(": ") + text;
            return answer;
        };
        DemoDialogs::inform = [this](QWidget *, const QString &text) { informed << text; };
        DemoDialogs::openFile = [this](QWidget *, const QStringList &filters, const QString &title, const QString &) {
            dialogs << title + QStringLiteral(" ") + filters.join(QLatin1Char(';'));
            return chosen;
        };
        window = std::make_unique<FormMain>(&component);
    }
    void TearDown() override
    {
        window.reset();
        resetThreadSurface();
    }

    QStringList printedTexts()
    {
        qt::waitForHtmlPrints(30000);
        QStringList texts;
        for (const QString &pdf : pdfFiles(folder))
            texts << pdfText(pdf);
        return texts;
    }

    void screenshot(QWidget *widget, const QString &name)
    {
        widget->show();
        QTest::qWait(50);
        const QString dir = QStringLiteral(CORVANE_SCREENSHOT_DIR);
        QDir().mkpath(dir);
        EXPECT_TRUE(widget->grab().save(dir + QLatin1Char('/') + name + QLatin1Char('-')
                                        + QGuiApplication::platformName() + QStringLiteral(".png")));
    }

    QString folder;
    automation::CorvaneObject component;
    std::unique_ptr<FormMain> window;
    bool answer = true;
    QString chosen;
    QStringList asked, informed, dialogs;
};

} // namespace

TEST_F(Demo, PrintersListedInOrderFirstSelectedAndSet)
{
    const QVariantList names = component.GetPrinters().toList();
    ASSERT_EQ(window->Combo1->count(), names.size());
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(window->Combo1->itemText(i), names[i].toString());
    EXPECT_EQ(window->Combo1->currentIndex(), 0);

    window->Combo1->setCurrentIndex(window->Combo1->count() - 1);
    QTest::mouseClick(window->cmdSetPrinter, Qt::LeftButton);
    EXPECT_EQ(informed, QStringList{QStringLiteral("Printer set to: Corvane PDF")});
    EXPECT_EQ(threadSurface(qt::qtPlatform()).currentDeviceName(), u"Corvane PDF");
}

TEST_F(Demo, PrintTextAsksFirst)
{
    answer = false;
    QTest::mouseClick(window->cmdPrintText, Qt::LeftButton);
    EXPECT_EQ(asked, QStringList{QStringLiteral("Corvane COM: Is your printer ready to print!")});
    EXPECT_TRUE(printedTexts().isEmpty());

    answer = true;
    QTest::mouseClick(window->cmdPrintText, Qt::LeftButton);
    const QStringList texts = printedTexts();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].contains(QStringLiteral("Corvane COM Demo")));
    // The font joins "fi" into one glyph, which reads back as the ligature.
    EXPECT_TRUE(texts[0]
                    .simplified()
                    .replace(QChar(0xFB01), QStringLiteral("fi"))
                    .contains(QStringLiteral("Corvane greatly simplifies printing tasks from ASP and HTML...")))
        << texts[0].toStdString();
}

TEST_F(Demo, TheWebPageDemonstrationAsksAndSaysDone)
{
    answer = false;
    QTest::mouseClick(window->cmdPrintHTMLDocument, Qt::LeftButton);
    EXPECT_TRUE(informed.isEmpty());
    EXPECT_EQ(window->cmdPrintHTMLDocument->text(), QStringLiteral("Print HTML Document (www.example.com)..."));
    EXPECT_EQ(
        asked.value(0),
        QStringLiteral("Corvane COM: This will print a live URL www.example.com!\r\nIs your printer ready to print!"));
}

TEST_F(Demo, FileFormsPrintTheirFilesWithTheirMethods)
{
    window->showTextFile();
    FileForm *text = window->textFile;
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->windowTitle(), QStringLiteral("Print Text File Demo"));
    EXPECT_EQ(text->Text1->text(), QStringLiteral("Arial,12,1,0,0"));
    EXPECT_TRUE(text->currentFile.endsWith(QStringLiteral("/demo.txt")));

    // Cancelling the dialog keeps the file; answering No prints nothing.
    chosen.clear();
    QTest::mouseClick(text->Option2, Qt::LeftButton);
    EXPECT_EQ(dialogs.value(0), QStringLiteral("Select file to print *.txt (*.txt)"));
    EXPECT_TRUE(text->currentFile.endsWith(QStringLiteral("/demo.txt")));
    answer = false;
    QTest::mouseClick(text->Command1, Qt::LeftButton);
    EXPECT_TRUE(asked.value(0).startsWith(QStringLiteral("Corvane COM: This will print the file ") + text->currentFile));
    EXPECT_TRUE(printedTexts().isEmpty());
    answer = true;
    QTest::mouseClick(text->Command1, Qt::LeftButton);
    QStringList texts = printedTexts();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].contains(QStringLiteral("Section 1")));
    const QString fonts = run(QStringLiteral("pdffonts"), {pdfFiles(folder).value(0)}).out;
    EXPECT_TRUE(fonts.contains(QStringLiteral("Bold"))) << fonts.toStdString();
    QFile::remove(pdfFiles(folder).value(0));

    window->showPdfFile();
    QTest::mouseClick(window->pdfFile->Command1, Qt::LeftButton);
    texts = printedTexts();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].contains(QStringLiteral("Corvane demonstration PDF")));
    QFile::remove(pdfFiles(folder).value(0));

    window->showHtmlFile();
    EXPECT_EQ(window->htmlFile->Option1->text(), QStringLiteral("Print the supplied Demo.html file"));
    QTest::mouseClick(window->htmlFile->Command1, Qt::LeftButton);
    texts = printedTexts();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].contains(QStringLiteral("Corvane demonstration page")));

    // A chosen file becomes the current one; "Print the supplied" brings the sample back.
    chosen = QStringLiteral("/tmp/other.html");
    QTest::mouseClick(window->htmlFile->Option2, Qt::LeftButton);
    EXPECT_EQ(window->htmlFile->currentFile, chosen);
    QTest::mouseClick(window->htmlFile->Option1, Qt::LeftButton);
    EXPECT_TRUE(window->htmlFile->currentFile.endsWith(QStringLiteral("/demo.html")));
}

TEST_F(Demo, TheRichTextFormPrintsTheFileOrTheBox)
{
    window->showRtfFile();
    RtfForm *rtf = window->rtfFile;
    ASSERT_NE(rtf, nullptr);
    EXPECT_TRUE(rtf->RichTextBox1->toPlainText().contains(QStringLiteral("Corvane rich-text demonstration")));
    QTest::mouseClick(rtf->Command1, Qt::LeftButton);
    EXPECT_TRUE(asked.value(0).endsWith(QStringLiteral("Please make sure your printer is on!")));
    QStringList texts = printedTexts();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].contains(QStringLiteral("Corvane rich-text demonstration")));
    QFile::remove(pdfFiles(folder).value(0));

    // The box's content, edited, goes as RTF.
    rtf->RichTextBox1->moveCursor(QTextCursor::End);
    rtf->RichTextBox1->insertPlainText(QStringLiteral(" Typed in the box."));
    EXPECT_TRUE(rtf->boxAsRtf().startsWith(QStringLiteral("{\\rtf1")));
    QTest::mouseClick(rtf->Command3, Qt::LeftButton);
    texts = printedTexts();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].contains(QStringLiteral("Typed in the box.")));

    // Cancelling the load dialog empties the current file.
    chosen.clear();
    QTest::mouseClick(rtf->Command4, Qt::LeftButton);
    EXPECT_EQ(dialogs.value(0), QStringLiteral("Select file to load *.rtf (*.rtf)"));
    EXPECT_TRUE(rtf->currentFile.isEmpty());
}

TEST_F(Demo, TheInvoiceIsOneHtmlTable)
{
    window->showInvoice();
    InvoiceForm *form = window->invoice;
    const QString html = form->invoiceHtml();
    EXPECT_TRUE(html.startsWith(QStringLiteral(
        "<html><head></head><body>\r\n<table border=1 cellpadding=3 cellspacing=0>"
        "<tr><td bgcolor=steelblue colspan=2 align=center><font color=white size=5>"
        "<b>Invoice Details</b></font></td></tr>\r\n"
        "<tr><td bgcolor=gold><b>Customer ID</b></td><td bgcolor=lightgrey width=400>42322</td></tr>\r\n")));
    EXPECT_TRUE(html.endsWith(
        QStringLiteral("<tr><td bgcolor=gold><b>Notes</b></td><td bgcolor=lightgrey width=400>"
                       "Includes a CD-ROM and download insurance service</td></tr>\r\n</table>\r\n</body></html>")));
    EXPECT_EQ(html.count(QStringLiteral("<td bgcolor=gold>")), 12);
    form->Text1[7]->setText(QStringLiteral("<i>Corvane</i>")); // markup goes in as it is
    EXPECT_TRUE(form->invoiceHtml().contains(QStringLiteral("width=400><i>Corvane</i></td>")));

    QTest::mouseClick(form->Command1, Qt::LeftButton);
    EXPECT_TRUE(asked.isEmpty()); // no confirmation
    const QStringList texts = printedTexts();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].contains(QStringLiteral("Invoice Details")));
    EXPECT_TRUE(texts[0].contains(QStringLiteral("May 10, 2005")));
}

TEST_F(Demo, OpenDialogFilters)
{
    EXPECT_EQ(convertFilter(QStringLiteral("*.pdf|*.pdf")), QStringList{QStringLiteral("*.pdf (*.pdf)")});
    EXPECT_EQ(convertFilter(QStringLiteral("*.pdf|*.pdf|")), QStringList{QStringLiteral("*.pdf (*.pdf)")});
    EXPECT_EQ(convertFilter(QStringLiteral("*.html|*.html|*.htm|*.htm*|*.mht|*.mht")),
              (QStringList{QStringLiteral("*.html (*.html)"), QStringLiteral("*.htm (*.htm*)"),
                           QStringLiteral("*.mht (*.mht)")}));
    chosen.clear();
    EXPECT_EQ(ShowOpenDialog(nullptr, QStringLiteral("*.txt|*.txt"), QStringLiteral("t"), QStringLiteral("/")),
              QString());
}

TEST_F(Demo, Screenshots)
{
    screenshot(window.get(), QStringLiteral("FormMain"));
    window->showTextFile();
    screenshot(window->textFile, QStringLiteral("TextFile"));
    window->showHtmlFile();
    screenshot(window->htmlFile, QStringLiteral("HTMLFile"));
    window->showPdfFile();
    screenshot(window->pdfFile, QStringLiteral("PDFFile"));
    window->showRtfFile();
    screenshot(window->rtfFile, QStringLiteral("RTFFile"));
    window->showInvoice();
    screenshot(window->invoice, QStringLiteral("Invoice"));
}

TEST(DemoBoxes, DoneAndPrinterSetAreShownInPlainBoxes)
{
    // No icon and no title of their own: read off the box while it is up, then close it.
    QMessageBox::Icon icon = QMessageBox::Information;
    QString title = QStringLiteral("unread"), text;
    QTimer::singleShot(100, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            icon = box->icon();
            title = box->windowTitle();
            text = box->text();
            box->accept();
        }
    });
    realInform()(nullptr, QStringLiteral("Done..."));
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(title, QString());
    EXPECT_EQ(text, QStringLiteral("Done..."));
}
