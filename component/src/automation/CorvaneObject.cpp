#include <corvane/CorvaneObject.h>

#include "platform/qt/QtStrings.h"

#include <atomic>

namespace corvane::automation {

namespace {

std::atomic<int> g_liveObjects{0};

using qt::qs;
using qt::us;

LayoutParameters layout(int left, int top, int right, int bottom, int orientation, int size, int bin, int quality,
                        short copies)
{
    return LayoutParameters{left, top, right, bottom, orientation, size, bin, quality, copies};
}

} // namespace

QVariant toQVariant(const Variant &value)
{
    switch (value.type()) {
    case Variant::Type::Empty: return {};
    case Variant::Type::Integer: return QVariant::fromValue<short>(value.toInteger());
    case Variant::Type::Long: return QVariant::fromValue<int>(value.toLong());
    case Variant::Type::Boolean: return QVariant(value.toBoolean());
    case Variant::Type::Double: return QVariant(value.toDouble());
    case Variant::Type::String: return QVariant(qs(value.toString()));
    case Variant::Type::Array: {
        QVariantList list;
        for (const Variant &element : value.elements())
            list << toQVariant(element);
        return list;
    }
    }
    return {};
}

Variant fromQVariant(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return value.typeId() == QMetaType::QString ? Variant::string({}) : Variant();
    switch (value.typeId()) {
    case QMetaType::Bool: return Variant::boolean(value.toBool());
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar: return Variant::integer(static_cast<int16_t>(value.toInt()));
    case QMetaType::Int: return Variant::longValue(value.toInt());
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (value.typeId() != QMetaType::Double && value.typeId() != QMetaType::Float && d >= -2147483648.0
            && d <= 2147483647.0)
            return Variant::longValue(static_cast<int32_t>(d));
        return Variant::real(d);
    }
    case QMetaType::QString: return Variant::string(us(value.toString()));
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        std::vector<Variant> elements;
        for (const QVariant &element : value.toList())
            elements.push_back(fromQVariant(element));
        return Variant::array(std::move(elements));
    }
    default: break;
    }
    if (value.canConvert<int>() && value.metaType().flags().testFlag(QMetaType::IsEnumeration))
        return Variant::longValue(value.toInt());
    if (value.canConvert<QString>())
        return Variant::string(us(value.toString()));
    return {};
}

CorvaneObject::CorvaneObject(Platform &platform, QObject *parent)
    : QObject(parent)
    , m_core(std::make_unique<Corvane>(&platform))
{
    ++g_liveObjects;
    m_core->subscribe(&m_sink);
}

CorvaneObject::~CorvaneObject()
{
    m_core->unsubscribe(&m_sink);
    --g_liveObjects;
}

int CorvaneObject::liveObjects() { return g_liveObjects; }

QString CorvaneObject::DocTitleFont() const { return qs(m_core->DocTitleFont()); }
void CorvaneObject::setDocTitleFont(const QString &v) { m_core->setDocTitleFont(us(v)); }
QString CorvaneObject::DocTextFont() const { return qs(m_core->DocTextFont()); }
void CorvaneObject::setDocTextFont(const QString &v) { m_core->setDocTextFont(us(v)); }
QString CorvaneObject::DocHeaderFont() const { return qs(m_core->DocHeaderFont()); }
void CorvaneObject::setDocHeaderFont(const QString &v) { m_core->setDocHeaderFont(us(v)); }
QString CorvaneObject::DocFooterFont() const { return qs(m_core->DocFooterFont()); }
void CorvaneObject::setDocFooterFont(const QString &v) { m_core->setDocFooterFont(us(v)); }
QString CorvaneObject::DocTitle() const { return qs(m_core->DocTitle()); }
void CorvaneObject::setDocTitle(const QString &v) { m_core->setDocTitle(us(v)); }
QString CorvaneObject::DocText() const { return qs(m_core->DocText()); }
void CorvaneObject::setDocText(const QString &v) { m_core->setDocText(us(v)); }
QString CorvaneObject::DocHeader() const { return qs(m_core->DocHeader()); }
void CorvaneObject::setDocHeader(const QString &v) { m_core->setDocHeader(us(v)); }
QString CorvaneObject::DocFooter() const { return qs(m_core->DocFooter()); }
void CorvaneObject::setDocFooter(const QString &v) { m_core->setDocFooter(us(v)); }
QString CorvaneObject::FileName() const { return qs(m_core->FileName()); }
void CorvaneObject::setFileName(const QString &v) { m_core->setFileName(us(v)); }

QVariant CorvaneObject::PrintDoc(const QString &PrinterName) { return toQVariant(m_core->PrintDoc(us(PrinterName))); }

QVariant CorvaneObject::GetPrinters() { return toQVariant(m_core->GetPrinters()); }

QVariant CorvaneObject::GetPrinters(QVariant &PrinterCount)
{
    Variant count;
    const Variant names = m_core->GetPrinters(&count);
    PrinterCount = toQVariant(count);
    return toQVariant(names);
}

QVariant CorvaneObject::SetPrinter(const QString &PrinterName)
{
    return toQVariant(m_core->SetPrinter(us(PrinterName)));
}

QVariant CorvaneObject::PrintRTFData(const QString &RTFData, int DocMarginLeft, int DocMarginTop, int DocMarginRight,
                                     int DocMarginBottom, spOrientation PrnPaperOrientation, spPaperSize PrnPaperSize,
                                     spPaperBin PrnPaperBin, spPrintQuality PrnPrintQuality, short PrnCopies)
{
    return toQVariant(m_core->PrintRTFData(us(RTFData), layout(DocMarginLeft, DocMarginTop, DocMarginRight,
                                                               DocMarginBottom, PrnPaperOrientation, PrnPaperSize,
                                                               PrnPaperBin, PrnPrintQuality, PrnCopies)));
}

QVariant CorvaneObject::PrintRTFFile(const QString &RTFFileName, int DocMarginLeft, int DocMarginTop, int DocMarginRight,
                                     int DocMarginBottom, spOrientation PrnPaperOrientation, spPaperSize PrnPaperSize,
                                     spPaperBin PrnPaperBin, spPrintQuality PrnPrintQuality, short PrnCopies)
{
    return toQVariant(m_core->PrintRTFFile(us(RTFFileName), layout(DocMarginLeft, DocMarginTop, DocMarginRight,
                                                                   DocMarginBottom, PrnPaperOrientation, PrnPaperSize,
                                                                   PrnPaperBin, PrnPrintQuality, PrnCopies)));
}

QVariant CorvaneObject::PrintTextFile(const QString &TextFileName, const QString &FontSettings, int DocMarginLeft,
                                      int DocMarginTop, int DocMarginRight, int DocMarginBottom,
                                      spOrientation PrnPaperOrientation, spPaperSize PrnPaperSize,
                                      spPaperBin PrnPaperBin, spPrintQuality PrnPrintQuality, short PrnCopies)
{
    return toQVariant(
        m_core->PrintTextFile(us(TextFileName), us(FontSettings),
                              layout(DocMarginLeft, DocMarginTop, DocMarginRight, DocMarginBottom, PrnPaperOrientation,
                                     PrnPaperSize, PrnPaperBin, PrnPrintQuality, PrnCopies)));
}

QVariant CorvaneObject::PrintText(const QString &TextString, const QString &FontSettings, int DocMarginLeft,
                                  int DocMarginTop, int DocMarginRight, int DocMarginBottom,
                                  spOrientation PrnPaperOrientation, spPaperSize PrnPaperSize, spPaperBin PrnPaperBin,
                                  spPrintQuality PrnPrintQuality, short PrnCopies)
{
    return toQVariant(
        m_core->PrintText(us(TextString), us(FontSettings),
                          layout(DocMarginLeft, DocMarginTop, DocMarginRight, DocMarginBottom, PrnPaperOrientation,
                                 PrnPaperSize, PrnPaperBin, PrnPrintQuality, PrnCopies)));
}

QVariant CorvaneObject::PrintHTMLDocument(const QString &HTMLDocument)
{
    return toQVariant(m_core->PrintHTMLDocument(us(HTMLDocument)));
}

QVariant CorvaneObject::PrintHTMLDocFromSource(const QString &HTMLSource)
{
    return toQVariant(m_core->PrintHTMLDocFromSource(us(HTMLSource)));
}

QVariant CorvaneObject::PrintPDFFile(const QString &PDFFileName)
{
    return toQVariant(m_core->PrintPDFFile(us(PDFFileName)));
}

void CorvaneObject::About() { m_core->About(); }

void CorvaneObject::Sink::PrintComplete() { emit m_owner->PrintComplete(); }

void CorvaneObject::Sink::PrintError(Variant &ErrNumber, Variant &ErrDescription)
{
    QVariant number = toQVariant(ErrNumber);
    QVariant description = toQVariant(ErrDescription);
    emit m_owner->PrintError(number, description);
    ErrNumber = fromQVariant(number);
    ErrDescription = fromQVariant(description);
}

void CorvaneObject::Sink::PrintProgress(Variant &PageNumber)
{
    QVariant page = toQVariant(PageNumber);
    emit m_owner->PrintProgress(page);
    PageNumber = fromQVariant(page);
}

} // namespace corvane::automation
