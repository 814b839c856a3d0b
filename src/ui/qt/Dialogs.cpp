#include "ui/qt/Dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

namespace brenzo::ui {

QString ToQtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const int paren = description.lastIndexOf(QLatin1String(" ("));
        if (paren >= 0) description.truncate(paren);
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << description + QStringLiteral(" (") + patterns + QStringLiteral(")");
    }
    return out.join(QStringLiteral(";;"));
}

std::optional<QString> QtDialogs::OpenFile(QWidget* parent, const QString& filter) {
    const QString file = QFileDialog::getOpenFileName(parent, QString(), lastFolder_, ToQtFilter(filter));
    if (file.isEmpty()) return std::nullopt;
    lastFolder_ = QFileInfo(file).absolutePath();
    return file;
}

std::optional<QString> QtDialogs::SaveFile(QWidget* parent, const QString& filter, const QString& presetName) {
    const QString start = lastFolder_.isEmpty() ? presetName : lastFolder_ + QLatin1Char('/') + presetName;
    // No overwrite prompt: the export replaces an existing file, as it always has.
    const QString file = QFileDialog::getSaveFileName(parent, QString(), start, ToQtFilter(filter), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (file.isEmpty()) return std::nullopt;
    lastFolder_ = QFileInfo(file).absolutePath();
    return file;
}

std::optional<QString> QtDialogs::Folder(QWidget* parent, const QString& caption) {
    const QString folder = QFileDialog::getExistingDirectory(parent, caption, lastFolder_);
    if (folder.isEmpty()) return std::nullopt;
    lastFolder_ = folder;
    return folder;
}

void QtDialogs::Error(QWidget* parent, const QString& message) {
    QMessageBox::critical(parent, QStringLiteral("Error"), message);
}

bool QtDialogs::Confirm(QWidget* parent, const QString& question) {
    return QMessageBox::question(parent, QStringLiteral("Brenzo"), question) == QMessageBox::Yes;
}

}  // namespace brenzo::ui
