// The demonstration program's windows: the main window and its five document forms.
#pragma once

#include <QDialog>
#include <QWidget>

#include <memory>

class QBoxLayout;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTextEdit;

namespace corvane::automation {
class CorvaneObject;
}

namespace corvane::demo {

using automation::CorvaneObject;

// The folder of the program's own file, where the sample files are.
QString programFolder();

// A document form: a window of its own, centred on the screen, with an "Exit" button.
class DocumentForm : public QWidget {
    Q_OBJECT
public:
    DocumentForm(const QString &objectName, const QString &caption, QWidget *parent);
    QPushButton *Command2 = nullptr; // "Exit"

protected:
    void centre();
    // The print button ("Command1") with "Exit" at the other end of one row.
    QPushButton *addButtonRow(QBoxLayout *layout, const QString &caption);
};

// TextFile, HTMLFile and PDFFile: print the supplied sample or a file chosen by browsing.
class FileForm : public DocumentForm {
    Q_OBJECT
public:
    enum class Kind { Text, Html, Pdf };
    FileForm(Kind kind, CorvaneObject &component, QWidget *parent = nullptr);

    QString currentFile;
    QRadioButton *Option1 = nullptr;
    QRadioButton *Option2 = nullptr;
    QPushButton *Command1 = nullptr;
    QLineEdit *Text1 = nullptr; // font settings (TextFile only)

    void print();

private:
    Kind m_kind;
    CorvaneObject &m_component;
    QString m_defaultFile, m_filter;
};

// RTFFile: a rich-text box, printing a file or the box's content.
class RtfForm : public DocumentForm {
    Q_OBJECT
public:
    RtfForm(CorvaneObject &component, QWidget *parent = nullptr);
    QString currentFile;
    QTextEdit *RichTextBox1 = nullptr;
    QPushButton *Command1 = nullptr, *Command3 = nullptr, *Command4 = nullptr;

    void loadIntoBox(const QString &path);
    void browse();
    void printFile();
    void printData();
    QString boxAsRtf() const;

private:
    CorvaneObject &m_component;
};

// Invoice: twelve fields printed as an HTML table.
class InvoiceForm : public DocumentForm {
    Q_OBJECT
public:
    InvoiceForm(CorvaneObject &component, QWidget *parent = nullptr);
    QLabel *Label2[12] = {};
    QLineEdit *Text1[12] = {};
    QPushButton *Command1 = nullptr;

    QString invoiceHtml() const;
    void print();

private:
    CorvaneObject &m_component;
};

class FormMain : public QWidget {
    Q_OBJECT
public:
    // component: the program's one object (FormMain does not own it when given).
    explicit FormMain(QObject *component, QWidget *parent = nullptr);
    ~FormMain() override;

    static const char *const webAddress; // the web-page demonstration
    static const char *const image2Address;

    CorvaneObject &component() { return *m_component; }

    QComboBox *Combo1 = nullptr;
    QPushButton *cmdPrintText = nullptr, *cmdPrintTextFile = nullptr, *cmdPrintRTFFile = nullptr,
                *cmdPrintRTFData = nullptr, *cmdPrintHTMLFile = nullptr, *cmdPrintHTMLDocument = nullptr,
                *cmdPrintPDFFile = nullptr, *cmdPrintInvoice = nullptr, *cmdSetPrinter = nullptr, *cmdAbout = nullptr,
                *cmdExit = nullptr;
    QLabel *Image1 = nullptr, *Image2 = nullptr;

    void printText();
    void printHtmlDocument();
    void setPrinter();
    void openImage2Address();

    // The forms, created when first shown (nullptr before).
    FileForm *textFile = nullptr, *htmlFile = nullptr, *pdfFile = nullptr;
    RtfForm *rtfFile = nullptr;
    InvoiceForm *invoice = nullptr;
    void showTextFile();
    void showHtmlFile();
    void showPdfFile();
    void showRtfFile();
    void showInvoice();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void loadPrinters();
    CorvaneObject *m_component;
};

} // namespace corvane::demo
