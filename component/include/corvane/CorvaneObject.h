// The class as automation callers see it: a QObject over one core object. The meta-object is
// the type information and the dispatch table: properties in the published order, methods with
// their optional parameters as default arguments, the enumerations, and the events as signals.
#pragma once

#include "Export.h"

#include <corvane/Corvane.h>

#include <QObject>
#include <QVariant>

#include <memory>

namespace corvane::automation {

CORVANE_EXPORT QVariant toQVariant(const Variant &value);
CORVANE_EXPORT Variant fromQVariant(const QVariant &value);

class CORVANE_EXPORT CorvaneObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("ProgID", "CorvaneCOM.Corvane")
    Q_CLASSINFO("TypeLibrary", "CorvaneCOM 6.0")

    Q_PROPERTY(QString DocTitleFont READ DocTitleFont WRITE setDocTitleFont)
    Q_PROPERTY(QString DocTextFont READ DocTextFont WRITE setDocTextFont)
    Q_PROPERTY(QString DocHeaderFont READ DocHeaderFont WRITE setDocHeaderFont)
    Q_PROPERTY(QString DocFooterFont READ DocFooterFont WRITE setDocFooterFont)
    Q_PROPERTY(bool PrintBorder READ PrintBorder WRITE setPrintBorder)
    Q_PROPERTY(bool LineBelowHeader READ LineBelowHeader WRITE setLineBelowHeader)
    Q_PROPERTY(bool LineAboveFooter READ LineAboveFooter WRITE setLineAboveFooter)
    Q_PROPERTY(QString DocTitle READ DocTitle WRITE setDocTitle)
    Q_PROPERTY(QString DocText READ DocText WRITE setDocText)
    Q_PROPERTY(QString DocHeader READ DocHeader WRITE setDocHeader)
    Q_PROPERTY(QString DocFooter READ DocFooter WRITE setDocFooter)
    Q_PROPERTY(QString FileName READ FileName WRITE setFileName)
    Q_PROPERTY(short MarginLeft READ MarginLeft WRITE setMarginLeft)
    Q_PROPERTY(short MarginRight READ MarginRight WRITE setMarginRight)
    Q_PROPERTY(short MarginTop READ MarginTop WRITE setMarginTop)
    Q_PROPERTY(short MarginBottom READ MarginBottom WRITE setMarginBottom)
    Q_PROPERTY(short Copies READ Copies WRITE setCopies)
    Q_PROPERTY(bool IncludeDateTime READ IncludeDateTime WRITE setIncludeDateTime)
    Q_PROPERTY(bool AllDataFromFile READ AllDataFromFile WRITE setAllDataFromFile)
    Q_PROPERTY(spLineSpacing LineSpacing READ LineSpacing WRITE setLineSpacing)
    Q_PROPERTY(spOrientation PaperOrientation READ PaperOrientation WRITE setPaperOrientation)
    Q_PROPERTY(short BorderLineWidth READ BorderLineWidth WRITE setBorderLineWidth)
    Q_PROPERTY(spPaperSize PaperSize READ PaperSize WRITE setPaperSize)
    Q_PROPERTY(spPrintQuality PrintQuality READ PrintQuality WRITE setPrintQuality)
    Q_PROPERTY(spPaperBin PaperBin READ PaperBin WRITE setPaperBin)
    Q_PROPERTY(bool PrintPageNumber READ PrintPageNumber WRITE setPrintPageNumber)

public:
    // The enumerations of the type library (the core declares the same names and values).
    enum spOrientation : int { spOrientationPortrait = 1, spOrientationLandscape = 2 };
    Q_ENUM(spOrientation)
    enum spLineSpacing : int { spLineSpacingSingle = 1, spLineSpacingOneHalf = 2, spLineSpacingDouble = 3 };
    Q_ENUM(spLineSpacing)
    enum spPaperSize : int {
        spPaperLetter = 1,
        spPaperLetterSmall = 2,
        spPaperTabloid = 3,
        spPaperLedger = 4,
        spPaperLegal = 5,
        spPaperStatement = 6,
        spPaperExecutive = 7,
        spPaperA3 = 8,
        spPaperA4 = 9,
        spPaperA4Small = 10,
        spPaperA5 = 11,
        spPaperB4 = 12,
        spPaperB5 = 13,
        spPaperFolio = 14,
        spPaperQuarto = 15,
        spPaper10x14 = 16,
        spPaper11x17 = 17,
        spPaperNote = 18,
        spPaperEnv9 = 19,
        spPaperEnv10 = 20,
        spPaperEnv11 = 21,
        spPaperEnv12 = 22,
        spPaperEnv14 = 23,
        spPaperCSheet = 24,
        spPaperDSheet = 25,
        spPaperESheet = 26,
        spPaperEnvDL = 27,
        spPaperEnvC3 = 29,
        spPaperEnvC4 = 30,
        spPaperEnvC5 = 28,
        spPaperEnvC6 = 31,
        spPaperEnvC65 = 32,
        spPaperEnvB4 = 33,
        spPaperEnvB5 = 34,
        spPaperEnvB6 = 35,
        spPaperEnvItaly = 36,
        spPaperEnvMonarch = 37,
        spPaperEnvPersonal = 38,
        spPaperFanfoldUS = 39,
        spPaperFanfoldStdGerman = 40,
        spPaperFanfoldLglGerman = 41
    };
    Q_ENUM(spPaperSize)
    enum spPrintQuality : int { spQualityDraft = 1, spQualityLow = 2, spQualityMedium = 3, spQualityHigh = 4 };
    Q_ENUM(spPrintQuality)
    enum spPaperBin : int {
        spPaperBinUpper = 1,
        spPaperBinLower = 2,
        spPaperBinMiddle = 3,
        spPaperBinManual = 4,
        spPaperBinEnvelope = 5,
        spPaperBinEnvManual = 6,
        spPaperBinAuto = 7,
        spPaperBinTractor = 8,
        spPaperBinSmallFmt = 9,
        spPaperBinLargeFmt = 10,
        spPaperBinLargeCapacity = 11,
        spPaperBinCassette = 14
    };
    Q_ENUM(spPaperBin)

    // An object on the process's Qt platform.
    explicit CorvaneObject(QObject *parent = nullptr);
    // An object on another platform (the recording fakes, for tests and fuzzing).
    explicit CorvaneObject(Platform &platform, QObject *parent = nullptr);
    ~CorvaneObject() override;

    // The core object behind this one.
    Corvane &core() { return *m_core; }

    // The number of objects alive in the process (the class factory's unload test).
    static int liveObjects();

    QString DocTitleFont() const;
    void setDocTitleFont(const QString &v);
    QString DocTextFont() const;
    void setDocTextFont(const QString &v);
    QString DocHeaderFont() const;
    void setDocHeaderFont(const QString &v);
    QString DocFooterFont() const;
    void setDocFooterFont(const QString &v);
    bool PrintBorder() const { return m_core->PrintBorder(); }
    void setPrintBorder(bool v) { m_core->setPrintBorder(v); }
    bool LineBelowHeader() const { return m_core->LineBelowHeader(); }
    void setLineBelowHeader(bool v) { m_core->setLineBelowHeader(v); }
    bool LineAboveFooter() const { return m_core->LineAboveFooter(); }
    void setLineAboveFooter(bool v) { m_core->setLineAboveFooter(v); }
    QString DocTitle() const;
    void setDocTitle(const QString &v);
    QString DocText() const;
    void setDocText(const QString &v);
    QString DocHeader() const;
    void setDocHeader(const QString &v);
    QString DocFooter() const;
    void setDocFooter(const QString &v);
    QString FileName() const;
    void setFileName(const QString &v);
    short MarginLeft() const { return m_core->MarginLeft(); }
    void setMarginLeft(short v) { m_core->setMarginLeft(v); }
    short MarginRight() const { return m_core->MarginRight(); }
    void setMarginRight(short v) { m_core->setMarginRight(v); }
    short MarginTop() const { return m_core->MarginTop(); }
    void setMarginTop(short v) { m_core->setMarginTop(v); }
    short MarginBottom() const { return m_core->MarginBottom(); }
    void setMarginBottom(short v) { m_core->setMarginBottom(v); }
    short Copies() const { return m_core->Copies(); }
    void setCopies(short v) { m_core->setCopies(v); }
    bool IncludeDateTime() const { return m_core->IncludeDateTime(); }
    void setIncludeDateTime(bool v) { m_core->setIncludeDateTime(v); }
    bool AllDataFromFile() const { return m_core->AllDataFromFile(); }
    void setAllDataFromFile(bool v) { m_core->setAllDataFromFile(v); }
    spLineSpacing LineSpacing() const { return spLineSpacing(m_core->LineSpacing()); }
    void setLineSpacing(spLineSpacing v) { m_core->setLineSpacing(v); }
    spOrientation PaperOrientation() const { return spOrientation(m_core->PaperOrientation()); }
    void setPaperOrientation(spOrientation v) { m_core->setPaperOrientation(v); }
    short BorderLineWidth() const { return m_core->BorderLineWidth(); }
    void setBorderLineWidth(short v) { m_core->setBorderLineWidth(v); }
    spPaperSize PaperSize() const { return spPaperSize(m_core->PaperSize()); }
    void setPaperSize(spPaperSize v) { m_core->setPaperSize(v); }
    spPrintQuality PrintQuality() const { return spPrintQuality(m_core->PrintQuality()); }
    void setPrintQuality(spPrintQuality v) { m_core->setPrintQuality(v); }
    spPaperBin PaperBin() const { return spPaperBin(m_core->PaperBin()); }
    void setPaperBin(spPaperBin v) { m_core->setPaperBin(v); }
    bool PrintPageNumber() const { return m_core->PrintPageNumber(); }
    void setPrintPageNumber(bool v) { m_core->setPrintPageNumber(v); }

    Q_INVOKABLE QVariant PrintDoc(const QString &PrinterName = QString());
    Q_INVOKABLE QVariant GetPrinters();
    Q_INVOKABLE QVariant GetPrinters(QVariant &PrinterCount);
    Q_INVOKABLE QVariant SetPrinter(const QString &PrinterName);
    Q_INVOKABLE QVariant PrintRTFData(const QString &RTFData, int DocMarginLeft = 1440, int DocMarginTop = 1440,
                                      int DocMarginRight = 1440, int DocMarginBottom = 1440,
                                      spOrientation PrnPaperOrientation = spOrientationPortrait,
                                      spPaperSize PrnPaperSize = spPaperA4, spPaperBin PrnPaperBin = spPaperBinAuto,
                                      spPrintQuality PrnPrintQuality = spQualityMedium, short PrnCopies = 1);
    Q_INVOKABLE QVariant PrintRTFFile(const QString &RTFFileName, int DocMarginLeft = 1440, int DocMarginTop = 1440,
                                      int DocMarginRight = 1440, int DocMarginBottom = 1440,
                                      spOrientation PrnPaperOrientation = spOrientationPortrait,
                                      spPaperSize PrnPaperSize = spPaperA4, spPaperBin PrnPaperBin = spPaperBinAuto,
                                      spPrintQuality PrnPrintQuality = spQualityMedium, short PrnCopies = 1);
    Q_INVOKABLE QVariant PrintTextFile(const QString &TextFileName, const QString &FontSettings = QString(),
                                       int DocMarginLeft = 1440, int DocMarginTop = 1440, int DocMarginRight = 1440,
                                       int DocMarginBottom = 1440,
                                       spOrientation PrnPaperOrientation = spOrientationPortrait,
                                       spPaperSize PrnPaperSize = spPaperA4, spPaperBin PrnPaperBin = spPaperBinAuto,
                                       spPrintQuality PrnPrintQuality = spQualityMedium, short PrnCopies = 1);
    Q_INVOKABLE QVariant PrintText(const QString &TextString, const QString &FontSettings = QString(),
                                   int DocMarginLeft = 1440, int DocMarginTop = 1440, int DocMarginRight = 1440,
                                   int DocMarginBottom = 1440, spOrientation PrnPaperOrientation = spOrientationPortrait,
                                   spPaperSize PrnPaperSize = spPaperA4, spPaperBin PrnPaperBin = spPaperBinAuto,
                                   spPrintQuality PrnPrintQuality = spQualityMedium, short PrnCopies = 1);
    Q_INVOKABLE QVariant PrintHTMLDocument(const QString &HTMLDocument);
    Q_INVOKABLE QVariant PrintHTMLDocFromSource(const QString &HTMLSource);
    Q_INVOKABLE QVariant PrintPDFFile(const QString &PDFFileName);
    Q_INVOKABLE void About();

signals:
    void PrintComplete();
    void PrintError(QVariant &ErrNumber, QVariant &ErrDescription);
    void PrintProgress(QVariant &PageNumber);

private:
    // The core's events become signals; what a directly connected handler writes into the
    // arguments goes back to the core.
    class Sink final : public EventSink {
    public:
        explicit Sink(CorvaneObject *owner)
            : m_owner(owner)
        {
        }
        void PrintComplete() override;
        void PrintError(Variant &ErrNumber, Variant &ErrDescription) override;
        void PrintProgress(Variant &PageNumber) override;

    private:
        CorvaneObject *m_owner;
    };

    std::unique_ptr<Corvane> m_core;
    Sink m_sink{this};
};

} // namespace corvane::automation
