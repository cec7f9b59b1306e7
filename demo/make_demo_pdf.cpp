// Writes the demonstration program's sample PDF (demo.pdf): two pages that say what the
// component does.
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2)
        return 2;
    QPdfWriter writer(QString::fromLocal8Bit(argv[1]));
    writer.setTitle(QStringLiteral("Corvane demonstration PDF"));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(300);
    QPainter painter(&writer);
    const QStringList pages[2] = {{QStringLiteral("Corvane demonstration PDF"), QString(),
                                   QStringLiteral("This file was printed with PrintPDFFile, which hands a PDF to the"),
                                   QStringLiteral("printer that the system uses for PDF files: a CUPS printer, or the"),
                                   QStringLiteral("built-in printer \"Corvane PDF\" when there is none.")},
                                  {QStringLiteral("Page two"), QString(),
                                   QStringLiteral("Plain text, rich text, HTML and PDF: one component prints them all.")}};
    for (int p = 0; p < 2; ++p) {
        if (p)
            writer.newPage();
        QFont font(QStringLiteral("Arial"));
        font.setPointSize(p == 0 ? 20 : 16);
        font.setBold(true);
        int y = 300;
        for (int i = 0; i < pages[p].size(); ++i) {
            painter.setFont(font);
            painter.drawText(250, y, pages[p][i]);
            y += 120;
            font.setPointSize(12);
            font.setBold(false);
        }
    }
    return 0;
}
