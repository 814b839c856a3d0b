#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "radio/DurationEditor.h"
#include "ui/qt/Dialogs.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace brenzo::ui {

// "Radio Music Duration Editor": lists the radio tracks of a ".dat15" file and writes a
// track's duration into the file in place. The file stays open, other writers shut out,
// while the window shows it.
class TForm14 : public QDialog {
public:
    TForm14(Dialogs& dialogs, QWidget* parent = nullptr);
    ~TForm14() override;

    void Button1Click();   // "Load .dat15-file"
    void ListBox1Click();  // a track was selected
    void Button2Click();   // "Apply"
    // Loads a file as Button1Click does after its dialog.
    void LoadFile(const QString& path);
    bool HoldsFile() const { return editor_.isOpen(); }

    QPushButton* Button1 = nullptr;
    QLabel* Label1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* MaskEdit1 = nullptr;
    QPushButton* Button2 = nullptr;

protected:
    void done(int result) override;  // FormClose

private:
    // The row of a listed track, or nothing.
    std::optional<std::size_t> selectedTrack() const;

    Dialogs& dialogs_;
    radio::DurationEditor editor_;
};

}  // namespace brenzo::ui
