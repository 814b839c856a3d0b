#include "ui/qt/Dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

namespace brenzo::ui {

QString ToQtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const qsizetype paren = description.lastIndexOf(QLatin1String(" ("));
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

bool QtDialogs::Ask(QWidget* parent, const QString& title, const QString& text, const QString& yes, const QString& no) {
    QMessageBox box(QMessageBox::Question, title, QString(), QMessageBox::NoButton, parent);
    // A long summary (an import of hundreds of files) shows its start; the whole is one click away.
    constexpr int kShownLines = 24;
    const QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() > kShownLines) {
        box.setText(lines.mid(0, kShownLines).join(QLatin1Char('\n')) + QStringLiteral("\n..."));
        box.setDetailedText(text);
    } else {
        box.setText(text);
    }
    QPushButton* accept = box.addButton(yes, QMessageBox::AcceptRole);
    QPushButton* reject = box.addButton(no, QMessageBox::RejectRole);
    box.setDefaultButton(accept);
    box.setEscapeButton(reject);
    box.exec();
    return box.clickedButton() == accept;
}

}  // namespace brenzo::ui
