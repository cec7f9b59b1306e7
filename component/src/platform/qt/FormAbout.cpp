#include "FormAbout.h"

#include "ports/Shell.h"
#include "platform/qt/QtStrings.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace corvane::qt {

std::function<void(QWidget *, const QString &, const QString &)> MessageBoxes::show =
    [](QWidget *parent, const QString &icon, const QString &text) {
        QMessageBox box(icon == QLatin1String("warning") ? QMessageBox::Warning : QMessageBox::Information, QString(),
                        text, QMessageBox::Ok, parent);
        box.exec();
    };

int32_t ShellToBrowser(QWidget *owner, Shell &shell, const QString &address, int32_t windowStyle)
{
    const int32_t code = shell.execute(u"open", us(address), windowStyle, {});
    if (code > shell::LastError)
        return -1;
    if (code == shell::NoAssociation) {
        MessageBoxes::show(owner, QStringLiteral("information"),
                           address
                               + QStringLiteral(" could not find a file association for URL shortcuts!\r\n"
                                                "Please check that your browser is correctly installed and "
                                                "associated with this type of files."));
    } else {
        MessageBoxes::show(owner, QStringLiteral("information"),
                           address
                               + QStringLiteral(" could not launch your web browser!\r\n"
                                                "Please check that your browser is correctly installed."));
    }
    return 0;
}

const char *const FormAbout::addresses[4] = {
    "https://www.example.com/corvane",
    "mailto:info@example.com",
    "mailto:sales@example.com",
    "mailto:support@example.com",
};

FormAbout::FormAbout(Shell &shell, QWidget *parent)
    : QDialog(parent)
    , m_shell(shell)
{
    setObjectName(QStringLiteral("FormAbout"));
    setWindowTitle(QStringLiteral("About Corvane"));
    setModal(true);
    auto *layout = new QGridLayout(this);

    Image3 = new QLabel(QStringLiteral("\u2709"), this);
    Image3->setObjectName(QStringLiteral("Image3"));
    QFont big = Image3->font();
    big.setPointSize(big.pointSize() * 3);
    Image3->setFont(big);
    Image3->installEventFilter(this);
    layout->addWidget(Image3, 0, 0, 3, 1, Qt::AlignTop);

    auto *title = new QLabel(QStringLiteral("<b>Corvane</b> document printing component"), this);
    layout->addWidget(title, 0, 1);
    LabelVersion = new QLabel(QStringLiteral("V.%1.%2").arg(CORVANE_VERSION_MAJOR).arg(CORVANE_VERSION_MINOR), this);
    LabelVersion->setObjectName(QStringLiteral("LabelVersion"));
    layout->addWidget(LabelVersion, 1, 1);

    static const char *captions[4] = {"Web site: www.example.com/corvane", "Information: info@example.com",
                                      "Sales: sales@example.com", "Support: support@example.com"};
    for (int i = 0; i < 4; ++i) {
        Label3[i] = new QLabel(QString::fromLatin1(captions[i]), this);
        Label3[i]->setObjectName(QStringLiteral("Label3_%1").arg(i));
        Label3[i]->setCursor(Qt::PointingHandCursor); // the hand over a link
        QPalette palette = Label3[i]->palette();
        palette.setColor(QPalette::WindowText, QColor(0, 0, 200));
        Label3[i]->setPalette(palette);
        Label3[i]->installEventFilter(this);
        layout->addWidget(Label3[i], 2 + i, 1);
    }
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(Command1, 6, 1, Qt::AlignRight);

    // Kept above every other window while open. The hint is set before the dialog is shown:
    // changing a visible window's flags hides it, which would end the modal call. The timer
    // raises it again, but never over a message box of its own.
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    TimerOnTop = new QTimer(this);
    TimerOnTop->setInterval(1000);
    connect(TimerOnTop, &QTimer::timeout, this, [this] {
        const QWidget *modal = QApplication::activeModalWidget();
        if (isVisible() && (!modal || modal == this))
            raise();
    });
    TimerOnTop->start();

    adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

void FormAbout::clickLabel(int index)
{
    if (index >= 0 && index < 4)
        ShellToBrowser(this, m_shell, QString::fromLatin1(addresses[index]), 1);
}

void FormAbout::clickImage3()
{
    ++image3Clicks;
    if (image3Clicks > 2)
        MessageBoxes::show(this, QStringLiteral("warning"),
                           QStringLiteral("Corvane prints. The envelope only holds our good wishes."));
}

bool FormAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == Image3) {
            clickImage3();
            return true;
        }
        for (int i = 0; i < 4; ++i) {
            if (watched == Label3[i]) {
                clickLabel(i);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace corvane::qt
