// The About dialog, driven by Qt Test.
#include "support/QtTestSupport.h"

#include "about/FormAbout.h"
#include "platform/qt/QtPlatform.h"

#include <corvane/Corvane.h>

#include <QApplication>
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
    int32_t execute(std::u16string_view verb, const UString &file, int32_t style) override
    {
        opened.push_back(toUtf8(verb) + " " + toUtf8(file) + " " + std::to_string(style));
        return code;
    }
};

struct Messages {
    QStringList shown;
    Messages()
    {
        MessageBoxes::show = [this](QWidget *, const QString &icon, const QString &text) { shown << icon + QStringLiteral(": ") + text; };
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
    EXPECT_EQ(shell.opened, (std::vector<std::string>{"open https://www.example.com/corvane 1",
                                                      "open mailto:support@example.com 1"}));
    EXPECT_TRUE(messages.shown.isEmpty());

    shell.code = 31;
    dialog.clickLabel(1);
    shell.code = 32;
    dialog.clickLabel(2);
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_TRUE(messages.shown[0].endsWith(QStringLiteral("mailto:info@example.com could not find a file association for URL shortcuts!\r\n"
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

TEST(About, TheMethodShowsItModallyUntilOK)
{
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

TEST(About, Screenshot)
{
    AnsweringShell shell;
    FormAbout dialog(shell);
    dialog.show();
    QTest::qWait(100);
    const QString folder = QStringLiteral(CORVANE_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    const QString name = folder + QStringLiteral("/FormAbout-") + QGuiApplication::platformName() + QStringLiteral(".png");
    ASSERT_TRUE(dialog.grab().save(name));
    EXPECT_GT(QImage(name).width(), 200);
}
