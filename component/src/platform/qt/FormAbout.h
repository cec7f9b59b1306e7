// The About dialog: the component's version, kept above other windows, with contact links
// opened through the shell.
#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;
class QTimer;

namespace corvane {
class Shell;
}

namespace corvane::qt {

// Message boxes go through here, so that tests can answer them.
struct MessageBoxes {
    // icon: "information" or "warning"; the text as shown.
    static std::function<void(QWidget *parent, const QString &icon, const QString &text)> show;
};

// ShellToBrowser: opens an address; -1 when the shell accepted it, 0 after showing why not.
int32_t ShellToBrowser(QWidget *owner, Shell &shell, const QString &address, int32_t windowStyle);

class FormAbout : public QDialog {
    Q_OBJECT
public:
    explicit FormAbout(Shell &shell, QWidget *parent = nullptr);

    QLabel *LabelVersion = nullptr;
    QLabel *Label3[4] = {};
    QPushButton *Command1 = nullptr;
    QLabel *Image3 = nullptr;
    QTimer *TimerOnTop = nullptr;
    int16_t image3Clicks = 0;

    static const char *const addresses[4];

    void clickLabel(int index);
    void clickImage3();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Shell &m_shell;
};

} // namespace corvane::qt
