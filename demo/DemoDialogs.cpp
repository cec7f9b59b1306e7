#include "DemoDialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace corvane::demo {

std::function<bool(QWidget *, const QString &, const QString &, DemoDialogs::Buttons)> DemoDialogs::ask =
    [](QWidget *parent, const QString &title, const QString &text, Buttons buttons) {
        const auto yes = buttons == Buttons::YesNo ? QMessageBox::Yes : QMessageBox::Ok;
        const auto no = buttons == Buttons::YesNo ? QMessageBox::No : QMessageBox::Cancel;
        return QMessageBox::warning(parent, title, text, yes | no, yes) == yes;
    };

std::function<void(QWidget *, const QString &)> DemoDialogs::inform = [](QWidget *parent, const QString &text) {
    // A plain box: no icon, no title of its own.
    QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok, parent);
    box.exec();
};

std::function<QString(QWidget *, const QStringList &, const QString &, const QString &)> DemoDialogs::openFile =
    [](QWidget *owner, const QStringList &filters, const QString &title, const QString &folder) {
        QFileDialog dialog(owner, title, folder);
        dialog.setFileMode(QFileDialog::ExistingFile); // only files that exist
        dialog.setOption(QFileDialog::ReadOnly, false);
        dialog.setNameFilters(filters);
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                       : QString();
    };

QStringList convertFilter(QString filter)
{
    if (!filter.endsWith(QLatin1Char('|')))
        filter += QLatin1Char('|');
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (!parts[i].isEmpty() || !parts[i + 1].isEmpty())
            filters << QStringLiteral("%1 (%2)").arg(parts[i],
                                                     QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')));
    }
    return filters;
}

QString ShowOpenDialog(QWidget *owner, QString filter, const QString &title, const QString &folder)
{
    return DemoDialogs::openFile(owner, convertFilter(std::move(filter)), title, folder).trimmed();
}

} // namespace corvane::demo
