#include "Forms.h"

#include "DemoDialogs.h"

#include <corvane/CorvaneObject.h>
#include <corvane/RtfDocuments.h>
#include <corvane/Desktop.h>

#include <QApplication>
#include <QDir>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTextEdit>
#include <QUrl>
#include <QVBoxLayout>

namespace corvane::demo {

namespace {

const QString kTitle = QStringLiteral("Corvane COM");
const QString kReady = QStringLiteral("Is your printer ready to print!");

// The print settings every form passes: one-inch margins, portrait A4, automatic bin, medium
// quality, one copy.
constexpr int kMargin = 1440;

QLabel *titleLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 1.4);
    font.setBold(true);
    label->setFont(font);
    return label;
}

// The program's pictures, drawn rather than shipped.
QPixmap logo(const QString &text, const QColor &color)
{
    QPixmap pixmap(72, 72);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(color);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(2, 2, 68, 68), 12, 12);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(30);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRectF(0, 0, 72, 72), Qt::AlignCenter, text);
    return pixmap;
}

} // namespace

QString programFolder()
{
    // Beside the program in a build tree; in the shared data folder once installed.
    const QString here = QCoreApplication::applicationDirPath();
    const QString installed = QDir::cleanPath(here + QStringLiteral("/../share/corvane/demo"));
    return QFileInfo::exists(here + QStringLiteral("/demo.txt"))
                || !QFileInfo::exists(installed + QStringLiteral("/demo.txt"))
             ? here
             : installed;
}

DocumentForm::DocumentForm(const QString &objectName, const QString &caption, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    Command2 = new QPushButton(QStringLiteral("Exit"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    connect(Command2, &QPushButton::clicked, this, &QWidget::close);
}

QPushButton *DocumentForm::addButtonRow(QBoxLayout *layout, const QString &caption)
{
    auto *button = new QPushButton(caption, this);
    button->setObjectName(QStringLiteral("Command1"));
    auto *row = new QHBoxLayout;
    row->addWidget(button);
    row->addStretch();
    row->addWidget(Command2);
    layout->addLayout(row);
    return button;
}

void DocumentForm::centre()
{
    adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

// ----- File forms -----

FileForm::FileForm(Kind kind, CorvaneObject &component, QWidget *parent)
    : DocumentForm(kind == Kind::Text   ? QStringLiteral("TextFile")
                   : kind == Kind::Html ? QStringLiteral("HTMLFile")
                                        : QStringLiteral("PDFFile"),
                   kind == Kind::Text   ? QStringLiteral("Print Text File Demo")
                   : kind == Kind::Html ? QStringLiteral("Print HTML File Demo")
                                        : QStringLiteral("Print PDF File Demo"),
                   parent)
    , m_kind(kind)
    , m_component(component)
{
    const char *word = kind == Kind::Text ? "text" : kind == Kind::Html ? "html" : "pdf";
    const char *sample = kind == Kind::Text ? "Demo.txt" : kind == Kind::Html ? "Demo.html" : "Demo.pdf";
    m_defaultFile = programFolder()
                  + (kind == Kind::Text   ? QStringLiteral("/demo.txt")
                     : kind == Kind::Html ? QStringLiteral("/demo.html")
                                          : QStringLiteral("/demo.pdf"));
    m_filter = kind == Kind::Text ? QStringLiteral("*.txt|*.txt")
             : kind == Kind::Html ? QStringLiteral("*.html|*.html|*.htm|*.htm*|*.mht|*.mht")
                                  : QStringLiteral("*.pdf|*.pdf");

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(titleLabel(windowTitle(), this));
    auto *frame = new QGroupBox(QStringLiteral("Select %1 File To Print")
                                    .arg(kind == Kind::Text   ? QStringLiteral("Text")
                                         : kind == Kind::Html ? QStringLiteral("HTML")
                                                              : QStringLiteral("PDF")),
                                this);
    auto *frameLayout = new QVBoxLayout(frame);
    Option1 = new QRadioButton(QStringLiteral("Print the supplied %1 file").arg(QLatin1String(sample)), frame);
    Option1->setObjectName(QStringLiteral("Option1"));
    Option2 = new QRadioButton(QStringLiteral("Browse and print another %1 file").arg(QLatin1String(word)), frame);
    Option2->setObjectName(QStringLiteral("Option2"));
    Option1->setChecked(true);
    frameLayout->addWidget(Option1);
    frameLayout->addWidget(Option2);
    layout->addWidget(frame);
    if (kind == Kind::Text) {
        layout->addWidget(new QLabel(QStringLiteral("Font settings: (Name, Size, Bold, Italics, Underline)"), this));
        Text1 = new QLineEdit(QStringLiteral("Arial,12,1,0,0"), this);
        Text1->setObjectName(QStringLiteral("Text1"));
        layout->addWidget(Text1);
    }
    Command1 = addButtonRow(layout, QStringLiteral("Print File..."));

    currentFile = m_defaultFile;
    connect(Option1, &QRadioButton::clicked, this, [this] { currentFile = m_defaultFile; });
    connect(Option2, &QRadioButton::clicked, this, [this] {
        const QString chosen = ShowOpenDialog(this, m_filter, QStringLiteral("Select file to print"), programFolder());
        if (!chosen.isEmpty())
            currentFile = chosen; // cancelling keeps the previous name
    });
    connect(Command1, &QPushButton::clicked, this, &FileForm::print);
    centre();
}

void FileForm::print()
{
    if (!DemoDialogs::ask(this, kTitle,
                          QStringLiteral("This will print the file ") + currentFile + QStringLiteral("\r\n") + kReady,
                          DemoDialogs::Buttons::YesNo))
        return;
    switch (m_kind) {
    case Kind::Text:
        m_component.PrintTextFile(currentFile, Text1->text(), kMargin, kMargin, kMargin, kMargin,
                                  CorvaneObject::spOrientationPortrait, CorvaneObject::spPaperA4,
                                  CorvaneObject::spPaperBinAuto, CorvaneObject::spQualityMedium, 1);
        break;
    case Kind::Html: m_component.PrintHTMLDocument(currentFile); break;
    case Kind::Pdf: m_component.PrintPDFFile(currentFile); break;
    }
}

// ----- Rich text -----

RtfForm::RtfForm(CorvaneObject &component, QWidget *parent)
    : DocumentForm(QStringLiteral("RTFFile"), QStringLiteral("Print RTF File / RTF Data Demo"), parent)
    , m_component(component)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(titleLabel(windowTitle(), this));
    auto *frame = new QGroupBox(QStringLiteral("RTF box"), this);
    auto *frameLayout = new QVBoxLayout(frame);
    RichTextBox1 = new QTextEdit(frame);
    RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    RichTextBox1->setMinimumSize(520, 260);
    RichTextBox1->setHtml(QStringLiteral("<p>Type or load rich text here.</p>"));
    frameLayout->addWidget(RichTextBox1);
    layout->addWidget(frame);
    Command4 = new QPushButton(QStringLiteral("Load RTF file (just to view in the RTF box)..."), this);
    Command4->setObjectName(QStringLiteral("Command4"));
    Command1 = new QPushButton(QStringLiteral("Print current RTF file (only one line of code!)"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command3 = new QPushButton(QStringLiteral("Print RTF data above (only one line of code!)"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    for (QPushButton *button : {Command4, Command1, Command3})
        layout->addWidget(button);
    layout->addWidget(Command2, 0, Qt::AlignRight);

    currentFile = programFolder() + QStringLiteral("/demo.rtf");
    loadIntoBox(currentFile); // a missing file leaves the box as it was
    connect(Command4, &QPushButton::clicked, this, &RtfForm::browse);
    connect(Command1, &QPushButton::clicked, this, &RtfForm::printFile);
    connect(Command3, &QPushButton::clicked, this, &RtfForm::printData);
    centre();
}

void RtfForm::loadIntoBox(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QTextDocument *document = RichTextBox1->document();
    document->clear();
    qt::readDocument(*document, file.readAll());
    RichTextBox1->moveCursor(QTextCursor::Start);
}

void RtfForm::browse()
{
    // The result replaces the current file even when the dialog was cancelled.
    currentFile = ShowOpenDialog(this, QStringLiteral("*.rtf|*.rtf"), QStringLiteral("Select file to load"),
                                 programFolder());
    if (!currentFile.isEmpty())
        loadIntoBox(currentFile);
}

void RtfForm::printFile()
{
    if (!DemoDialogs::ask(this, kTitle,
                          QStringLiteral("This will print the file ") + currentFile + QStringLiteral("!\r\n")
                              + QStringLiteral("Note: There is no need to load the file in order to print it!\r\n")
                              + QStringLiteral("Please make sure your printer is on!"),
                          DemoDialogs::Buttons::OkCancel))
        return;
    m_component.PrintRTFFile(currentFile, kMargin, kMargin, kMargin, kMargin, CorvaneObject::spOrientationPortrait,
                             CorvaneObject::spPaperA4, CorvaneObject::spPaperBinAuto, CorvaneObject::spQualityMedium, 1);
}

QString RtfForm::boxAsRtf() const { return QString::fromLatin1(qt::writeRtf(*RichTextBox1->document())); }

void RtfForm::printData()
{
    if (!DemoDialogs::ask(this, kTitle, QStringLiteral("Please make sure your printer is on!"),
                          DemoDialogs::Buttons::OkCancel))
        return;
    m_component.PrintRTFData(boxAsRtf(), kMargin, kMargin, kMargin, kMargin, CorvaneObject::spOrientationPortrait,
                             CorvaneObject::spPaperA4, CorvaneObject::spPaperBinAuto, CorvaneObject::spQualityMedium, 1);
}

// ----- Invoice -----

InvoiceForm::InvoiceForm(CorvaneObject &component, QWidget *parent)
    : DocumentForm(QStringLiteral("Invoice"), QStringLiteral("Sample Invoice Printing Demo"), parent)
    , m_component(component)
{
    static const char *captions[12] = {"Customer ID",  "Customer Name", "Customer Phone", "Customer Address",
                                       "Order Number", "Order Date",    "Product ID",     "Product Name",
                                       "Quantity",     "Total Cost",    "Shipping Date",  "Notes"};
    static const char *values[12] = {
        "42322", "Jane Example", "+1 555 0100",  "12 Sample Street, Springfield",
        "32834", "May 09, 2005", "3764",         "Corvane COM",
        "10",    "199.95",       "May 10, 2005", "Includes a CD-ROM and download insurance service"};
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(titleLabel(windowTitle(), this));
    auto *frame = new QGroupBox(QStringLiteral("Invoice Details"), this);
    auto *grid = new QGridLayout(frame);
    for (int i = 0; i < 12; ++i) {
        Label2[i] = new QLabel(QString::fromLatin1(captions[i]), frame);
        Text1[i] = new QLineEdit(QString::fromLatin1(values[i]), frame);
        Text1[i]->setObjectName(QStringLiteral("Text1_%1").arg(i));
        Text1[i]->setMinimumWidth(320);
        grid->addWidget(Label2[i], i, 0);
        grid->addWidget(Text1[i], i, 1);
    }
    layout->addWidget(frame);
    Command1 = addButtonRow(layout, QStringLiteral("Print Invoice..."));
    connect(Command1, &QPushButton::clicked, this, &InvoiceForm::print);
    centre();
}

QString InvoiceForm::invoiceHtml() const
{
    // Captions and texts go in as they are: markup typed into a box reaches the page.
    QString html = QStringLiteral("<html><head></head><body>\r\n");
    html += QStringLiteral("<table border=1 cellpadding=3 cellspacing=0>"
                           "<tr><td bgcolor=steelblue colspan=2 align=center><font color=white size=5>"
                           "<b>Invoice Details</b></font></td></tr>\r\n");
    for (int i = 0; i < 12; ++i) {
        html += QStringLiteral("<tr><td bgcolor=gold><b>") + Label2[i]->text()
              + QStringLiteral("</b></td><td bgcolor=lightgrey width=400>") + Text1[i]->text()
              + QStringLiteral("</td></tr>\r\n");
    }
    html += QStringLiteral("</table>\r\n</body></html>");
    return html;
}

void InvoiceForm::print() { m_component.PrintHTMLDocFromSource(invoiceHtml()); }

// ----- Main window -----

const char *const FormMain::webAddress = "https://www.example.com/";
const char *const FormMain::image2Address = "https://www.example.com/corvane";

FormMain::FormMain(QObject *component, QWidget *parent)
    : QWidget(parent)
    , m_component(qobject_cast<CorvaneObject *>(component))
{
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Corvane COM Demo"));
    auto *layout = new QGridLayout(this);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(logo(QStringLiteral("C"), QColor(30, 90, 160)));
    layout->addWidget(Image1, 0, 0);
    layout->addWidget(titleLabel(QStringLiteral("Corvane COM Demo"), this), 0, 1);
    Image2 = new QLabel(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setPixmap(logo(QStringLiteral("\u2192"), QColor(200, 120, 20)));
    Image2->setCursor(Qt::PointingHandCursor);
    Image2->installEventFilter(this);
    layout->addWidget(Image2, 0, 2, Qt::AlignRight);

    auto *demo = new QGroupBox(QStringLiteral("Select Demo"), this);
    auto *demoLayout = new QVBoxLayout(demo);
    const auto button = [&](QPushButton *&target, const QString &name, const QString &caption, void (FormMain::*slot)()) {
        target = new QPushButton(caption, demo);
        target->setObjectName(name);
        connect(target, &QPushButton::clicked, this, slot);
        demoLayout->addWidget(target);
    };
    const QString host = QUrl(QString::fromLatin1(webAddress)).host();
    button(cmdPrintText, QStringLiteral("cmdPrintText"), QStringLiteral("Print Text"), &FormMain::printText);
    button(cmdPrintTextFile, QStringLiteral("cmdPrintTextFile"), QStringLiteral("Print Text File..."),
           &FormMain::showTextFile);
    button(cmdPrintRTFFile, QStringLiteral("cmdPrintRTFFile"), QStringLiteral("Print RTF File..."),
           &FormMain::showRtfFile);
    button(cmdPrintRTFData, QStringLiteral("cmdPrintRTFData"), QStringLiteral("Print RTF Data (from an RTF box)..."),
           &FormMain::showRtfFile);
    button(cmdPrintHTMLFile, QStringLiteral("cmdPrintHTMLFile"), QStringLiteral("Print HTML File..."),
           &FormMain::showHtmlFile);
    button(cmdPrintHTMLDocument, QStringLiteral("cmdPrintHTMLDocument"),
           QStringLiteral("Print HTML Document (") + host + QStringLiteral(")..."), &FormMain::printHtmlDocument);
    button(cmdPrintPDFFile, QStringLiteral("cmdPrintPDFFile"), QStringLiteral("Print PDF File..."),
           &FormMain::showPdfFile);
    button(cmdPrintInvoice, QStringLiteral("cmdPrintInvoice"), QStringLiteral("Print Sample Invoice..."),
           &FormMain::showInvoice);
    layout->addWidget(demo, 1, 0, 1, 3);

    auto *printers = new QGroupBox(QStringLiteral("Detected Printers"), this);
    auto *printersLayout = new QVBoxLayout(printers);
    Combo1 = new QComboBox(printers);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    printersLayout->addWidget(Combo1);
    cmdSetPrinter = new QPushButton(QStringLiteral("Set Printer (For RTF / Text files only)"), printers);
    cmdSetPrinter->setObjectName(QStringLiteral("cmdSetPrinter"));
    connect(cmdSetPrinter, &QPushButton::clicked, this, &FormMain::setPrinter);
    printersLayout->addWidget(cmdSetPrinter);
    layout->addWidget(printers, 2, 0, 1, 3);

    cmdAbout = new QPushButton(QStringLiteral("About Corvane COM..."), this);
    cmdAbout->setObjectName(QStringLiteral("cmdAbout"));
    connect(cmdAbout, &QPushButton::clicked, this, [this] { m_component->About(); });
    cmdExit = new QPushButton(QStringLiteral("Exit"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);
    layout->addWidget(cmdAbout, 3, 0, 1, 2);
    layout->addWidget(cmdExit, 3, 2);

    loadPrinters();
}

FormMain::~FormMain() = default;

void FormMain::loadPrinters()
{
    const QVariantList names = m_component->GetPrinters().toList();
    for (const QVariant &name : names)
        Combo1->addItem(name.toString());
    Combo1->setCurrentIndex(0);
}

void FormMain::printText()
{
    if (!DemoDialogs::ask(this, kTitle, kReady, DemoDialogs::Buttons::YesNo))
        return;
    m_component->PrintText(
        QStringLiteral("Corvane COM Demo\r\nCorvane greatly simplifies printing tasks from ASP and HTML..."),
        QStringLiteral("Tahoma,16,1,0,0"), kMargin, kMargin, kMargin, kMargin, CorvaneObject::spOrientationPortrait,
        CorvaneObject::spPaperA4, CorvaneObject::spPaperBinAuto, CorvaneObject::spQualityMedium, 1);
}

void FormMain::printHtmlDocument()
{
    const QString host = QUrl(QString::fromLatin1(webAddress)).host();
    if (!DemoDialogs::ask(this, kTitle,
                          QStringLiteral("This will print a live URL ") + host + QStringLiteral("!\r\n") + kReady,
                          DemoDialogs::Buttons::YesNo))
        return;
    m_component->PrintHTMLDocument(QString::fromLatin1(webAddress));
    DemoDialogs::inform(this, QStringLiteral("Done..."));
}

void FormMain::setPrinter()
{
    const QString name = Combo1->currentText();
    m_component->SetPrinter(name);
    DemoDialogs::inform(this, QStringLiteral("Printer set to: ") + name);
}

void FormMain::openImage2Address() { qt::openAddress(UString(u"https://www.example.com/corvane")); }

template <typename Form, typename... Args> static void showForm(Form *&form, FormMain *owner, Args &&...args)
{
    if (!form) {
        form = new Form(std::forward<Args>(args)..., owner);
        QObject::connect(form, &QObject::destroyed, owner, [&form] { form = nullptr; });
    }
    form->show();
    form->raise();
}

void FormMain::showTextFile() { showForm(textFile, this, FileForm::Kind::Text, *m_component); }
void FormMain::showHtmlFile() { showForm(htmlFile, this, FileForm::Kind::Html, *m_component); }
void FormMain::showPdfFile() { showForm(pdfFile, this, FileForm::Kind::Pdf, *m_component); }
void FormMain::showRtfFile() { showForm(rtfFile, this, *m_component); }
void FormMain::showInvoice() { showForm(invoice, this, *m_component); }

void FormMain::closeEvent(QCloseEvent *event)
{
    // Closing the main window ends the program with every form.
    for (QWidget *form : std::initializer_list<QWidget *>{textFile, htmlFile, pdfFile, rtfFile, invoice})
        if (form)
            form->close();
    event->accept();
}

bool FormMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Image2 && event->type() == QEvent::MouseButtonRelease) {
        openImage2Address();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace corvane::demo
