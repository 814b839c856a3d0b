#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace brenzo::ui {

// The file, folder and message dialogs, behind one interface so that tests can answer them.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Filters are given as "Description (*.a, *.b)|*.a;*.b|...".
    virtual std::optional<QString> OpenFile(QWidget* parent, const QString& filter) = 0;
    virtual std::optional<QString> SaveFile(QWidget* parent, const QString& filter, const QString& presetName) = 0;
    virtual std::optional<QString> Folder(QWidget* parent, const QString& caption) = 0;
    // A message box with the title "Error" and the error icon.
    virtual void Error(QWidget* parent, const QString& message) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool Confirm(QWidget* parent, const QString& question) = 0;
    // A question with two buttons; true for the first.
    virtual bool Ask(QWidget* parent, const QString& title, const QString& text, const QString& yes,
                     const QString& no) = 0;
};

// The desktop's own dialogs; they remember the last folder used in this run.
class QtDialogs : public Dialogs {
public:
    std::optional<QString> OpenFile(QWidget* parent, const QString& filter) override;
    std::optional<QString> SaveFile(QWidget* parent, const QString& filter, const QString& presetName) override;
    std::optional<QString> Folder(QWidget* parent, const QString& caption) override;
    void Error(QWidget* parent, const QString& message) override;
    bool Confirm(QWidget* parent, const QString& question) override;
    bool Ask(QWidget* parent, const QString& title, const QString& text, const QString& yes,
             const QString& no) override;

private:
    QString lastFolder_;
};

// "Audio files (*.wav, *.mp3)|*.wav;*.mp3|..." as the toolkit writes filters:
// "Audio files (*.wav *.mp3);;...".
QString ToQtFilter(const QString& filter);

}  // namespace brenzo::ui
