// The demonstration program's message boxes and open-file dialog, behind one seam so that
// tests can answer them.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace corvane::demo {

struct DemoDialogs {
    enum class Buttons { YesNo, OkCancel };
    // A question with a warning icon; true for Yes or OK.
    static std::function<bool(QWidget *parent, const QString &title, const QString &text, Buttons buttons)> ask;
    // A plain message with an OK button and no title of its own.
    static std::function<void(QWidget *parent, const QString &text)> inform;
    // The open-file dialog: the chosen existing file, or "" when cancelled.
    static std::function<QString(QWidget *owner, const QStringList &filters, const QString &title, const QString &folder)> openFile;
};

// ShowOpenDialog: "description|pattern|description|pattern" filters (a trailing "|" is added
// when missing), the title and the starting folder; the chosen file's full path, or "".
QString ShowOpenDialog(QWidget *owner, QString filter, const QString &title, const QString &folder);

// The "|" filter as the dialog's list of "description (pattern)" entries.
QStringList convertFilter(QString filter);

} // namespace corvane::demo
