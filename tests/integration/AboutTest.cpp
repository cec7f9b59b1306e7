// The About dialog, driven by Qt Test.
#include "support/QtTestSupport.h"

#include "platform/qt/FormAbout.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtWeb.h"

#include <corvane/Corvane.h>
#include <corvane/Errors.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace corvane;
using namespace corvane::qt;

namespace {

class AnsweringShell final : public Shell {
public:
    int32_t code = 42;
    std::vector<std::string> opened;
    int32_t execute(std::u16string_view verb, const UString &file, int32_t style, const UString &) override
    {
        opened.push_back(toUtf8(verb) + " " + toUtf8(file) + " " + std::to_string(style));
        return code;
    }
};

struct Messages {
    QStringList shown;
    Messages()
    {
        MessageBoxes::show = [this](QWidget *, const QString &icon, const QString &text) {
            shown << icon + QStringLiteral(": ") + text;
        };
    }
};

} // namespace

TEST(About, VersionLinksAndTheImageMessage)
{
    Messages messages;
    AnsweringShell shell;
    FormAbout dialog(shell);
    EXPECT_EQ(dialog.LabelVersion->text(), QStringLiteral("V.6.0"));
    EXPECT_EQ(dialog.Command1->text(), QStringLiteral("OK"));
    EXPECT_EQ(dialog.TimerOnTop->interval(), 1000);

    dialog.show();
    QTest::mouseClick(dialog.Label3[0], Qt::LeftButton);
    QTest::mouseClick(dialog.Label3[3], Qt::LeftButton);
    EXPECT_EQ(shell.opened,
              (std::vector<std::string>{"open https://www.example.com/corvane 1", "open mailto:support@example.com 1"}));
    EXPECT_TRUE(messages.shown.isEmpty());

    shell.code = 31;
    dialog.clickLabel(1);
    shell.code = 32;
    dialog.clickLabel(2);
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_TRUE(messages.shown[0].endsWith(QStringLiteral(
        "mailto:info@example.com could not find a file association for URL shortcuts!\r\n"
        "Please check that your browser is correctly installed and associated with this type of files.")));
    EXPECT_TRUE(messages.shown[1].contains(QStringLiteral("mailto:sales@example.com could not launch your web browser!")));

    messages.shown.clear();
    QTest::mouseClick(dialog.Image3, Qt::LeftButton);
    QTest::mouseClick(dialog.Image3, Qt::LeftButton);
    EXPECT_TRUE(messages.shown.isEmpty());
    QTest::mouseClick(dialog.Image3, Qt::LeftButton);
    QTest::mouseClick(dialog.Image3, Qt::LeftButton);
    EXPECT_EQ(messages.shown.size(), 2);
    EXPECT_TRUE(messages.shown[0].startsWith(QStringLiteral("warning: ")));

    QTest::mouseClick(dialog.Command1, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
}

namespace {
bool hasDisplay() { return QGuiApplication::platformName() != QLatin1String("offscreen"); }
} // namespace

TEST(About, WithoutADisplayTheMethodSaysSoAtOnce)
{
    if (hasDisplay())
        GTEST_SKIP() << "runs on the offscreen platform";
    Corvane doc(&qtPlatform());
    try {
        doc.About();
        ADD_FAILURE() << "About returned without an error";
    } catch (const RuntimeError &error) {
        EXPECT_EQ(error.number(), 5);
        EXPECT_EQ(error.description(), u"Invalid procedure call or argument: About shows a dialog, and this process "
                                       u"has no display to show it on (the offscreen platform)");
    }
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(About, TheMethodShowsItModallyUntilOK)
{
    if (!hasDisplay())
        GTEST_SKIP() << "needs a display (About.MethodUnderXvfb)";
    bool sawDialog = false;
    QTimer::singleShot(200, [&] {
        auto *dialog = qobject_cast<FormAbout *>(QApplication::activeModalWidget());
        sawDialog = dialog != nullptr;
        if (dialog)
            QTest::mouseClick(dialog->Command1, Qt::LeftButton);
    });
    Corvane doc(&qtPlatform());
    doc.About(); // returns once OK closed it
    EXPECT_TRUE(sawDialog);
}

TEST(About, StaysOpenWithoutInputUntilOK)
{
    if (!hasDisplay())
        GTEST_SKIP() << "needs a display (About.MethodUnderXvfb)";
    // Its always-on-top timer ticks every second: after three ticks it is still the modal
    // window, and only OK ends the call.
    bool openAfterTicks = false, clicked = false;
    QTimer::singleShot(3300, [&] {
        auto *dialog = qobject_cast<FormAbout *>(QApplication::activeModalWidget());
        openAfterTicks = dialog != nullptr && dialog->isVisible();
        if (dialog) {
            QTest::mouseClick(dialog->Command1, Qt::LeftButton);
            clicked = true;
        }
    });
    QTimer closeAnyway; // a dialog that never shows must not hang the test
    closeAnyway.setSingleShot(true);
    QObject::connect(&closeAnyway, &QTimer::timeout, [] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    closeAnyway.start(8000);
    Corvane doc(&qtPlatform());
    doc.About();
    EXPECT_TRUE(openAfterTicks);
    EXPECT_TRUE(clicked);
}

TEST(About, ALinkTheDesktopCannotOpenIsReported)
{
    // The desktop's opener, xdg-open, found on PATH: one that fails says so through its exit
    // status (3: no program for it; 4: the program failed), one that succeeds exits 0.
    QTemporaryDir bin;
    const auto opener = [&](int status) {
        QFile script(bin.filePath(QStringLiteral("xdg-open")));
        script.open(QIODevice::WriteOnly | QIODevice::Truncate);
        script.write("#!/bin/sh\nexit " + QByteArray::number(status) + "\n");
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    };
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()));
    Messages messages;
    FormAbout dialog(qtShell());
    opener(3);
    dialog.clickLabel(0);
    opener(4);
    dialog.clickLabel(1);
    opener(0);
    dialog.clickLabel(2);
    QFile::remove(bin.filePath(QStringLiteral("xdg-open")));
    dialog.clickLabel(3);
    qputenv("PATH", path);
    ASSERT_EQ(messages.shown.size(), 3) << messages.shown.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(messages.shown[0].startsWith(
        QStringLiteral("information: https://www.example.com/corvane could not find a file association")));
    EXPECT_TRUE(messages.shown[1].startsWith(
        QStringLiteral("information: mailto:info@example.com could not launch your web browser!")));
    EXPECT_TRUE(messages.shown[2].startsWith(
        QStringLiteral("information: mailto:support@example.com could not find a file association")));
}

TEST(About, Screenshot)
{
    AnsweringShell shell;
    FormAbout dialog(shell);
    dialog.show();
    QTest::qWait(100);
    const QString folder = QStringLiteral(CORVANE_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    const QString name = folder + QStringLiteral("/FormAbout-") + QGuiApplication::platformName()
                       + QStringLiteral(".png");
    ASSERT_TRUE(dialog.grab().save(name));
    EXPECT_GT(QImage(name).width(), 200);
}
