#include "ui/qt/TForm14.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/Path.h"
#include "radio/TrackDuration.h"
#include "ui/qt/Artwork.h"

namespace brenzo::ui {
namespace {
const QString kLoadCaption = QStringLiteral("Load .dat15-file");
QString q(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
}  // namespace

TForm14::TForm14(Dialogs& dialogs, QWidget* parent) : QDialog(parent), dialogs_(dialogs) {
    setWindowTitle(QStringLiteral("Radio Music Duration Editor"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(FormFont());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    Button1 = new QPushButton(kLoadCaption, this);
    Label1 = new QLabel(QStringLiteral("Name:"), this);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setEnabled(false);
    Memo1->setFixedHeight(40);
    ListBox1 = new QListWidget(this);
    Label2 = new QLabel(QStringLiteral("Duration:"), this);
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    MaskEdit1 = new QLineEdit(this);
    // Three pairs of optional digits; a digit left blank reads as a space, and spaces count as
    // zeros when the text is applied.
    MaskEdit1->setInputMask(QStringLiteral("00:00:00; "));
    MaskEdit1->setText(QString());
    MaskEdit1->setFixedWidth(MaskEdit1->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) + 16);
    Button2 = new QPushButton(QStringLiteral("Apply"), this);
    // Enter in the time field applies the duration; it never opens the file dialog.
    Button1->setAutoDefault(false);
    Button2->setDefault(true);

    auto* durationRow = new QHBoxLayout;
    durationRow->addWidget(Label2, 1);
    durationRow->addWidget(MaskEdit1);
    durationRow->addWidget(Button2);
    layout->addWidget(Button1);
    layout->addWidget(Label1);
    layout->addWidget(Memo1);
    layout->addWidget(ListBox1, 1);
    layout->addLayout(durationRow);
    setFixedSize(202, 266);

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(ListBox1, &QListWidget::itemClicked, this, [this] { ListBox1Click(); });
    connect(ListBox1, &QListWidget::currentRowChanged, this, [this] { ListBox1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

TForm14::~TForm14() { editor_.Close(); }

void TForm14::Button1Click() {
    auto chosen = dialogs_.OpenFile(this, QStringLiteral("DAT15-file (*.dat15)|*.dat15"));
    if (!chosen) return;
    LoadFile(*chosen);
}

void TForm14::LoadFile(const QString& path) {
    editor_.Close();
    ListBox1->clear();
    Memo1->clear();
    MaskEdit1->setText(QStringLiteral("00:00:00"));
    Button1->setText(kLoadCaption);

    if (Status s = editor_.Open(platform::PathFromUtf8(path.toUtf8().toStdString())); !s) {
        // Nothing is shown and nothing is held.
        dialogs_.Error(this, q(s.message()));
        return;
    }
    Button1->setText(QLatin1Char('"') + QFileInfo(path).fileName() + QLatin1Char('"'));
    const QSignalBlocker quiet(ListBox1);
    for (std::size_t i = 0; i < editor_.tracks().size(); ++i) ListBox1->addItem(q(editor_.TrackName(i)));
    ListBox1->setCurrentRow(-1);
    if (const std::string note = editor_.DamageNote(); !note.empty()) dialogs_.Error(this, q(note + "."));
}

std::optional<std::size_t> TForm14::selectedTrack() const {
    const int row = ListBox1->currentRow();
    if (!editor_.isOpen() || row < 0 || static_cast<std::size_t>(row) >= editor_.tracks().size()) return std::nullopt;
    return static_cast<std::size_t>(row);
}

void TForm14::ListBox1Click() {
    const auto track = selectedTrack();
    if (!track) return;
    Memo1->setPlainText(ListBox1->item(ListBox1->currentRow())->text());
    auto text = editor_.DurationText(*track);
    if (!text) {
        dialogs_.Error(this, q(text.message()));
        return;
    }
    MaskEdit1->setText(q(*text));
}

void TForm14::Button2Click() {
    const auto track = selectedTrack();
    if (!track) return;
    // The mask keeps blanks as spaces in the displayed text: "  :03:05".
    auto ms = radio::ParseTrackDuration(MaskEdit1->displayText().toStdString());
    if (!ms) {
        dialogs_.Error(this, q(ms.message()));
        return;
    }
    if (Status s = editor_.WriteDuration(*track, *ms); !s) {
        dialogs_.Error(this, q(s.message()));
        return;
    }
    // What the file now holds, read back, under the track's name.
    auto written = editor_.Duration(*track);
    if (!written) {
        dialogs_.Error(this, q(written.message()));
        return;
    }
    MaskEdit1->setText(q(radio::FormatTrackDuration(*written)));
    Memo1->setPlainText(ListBox1->item(ListBox1->currentRow())->text() + QLatin1Char('\n') +
                        q(radio::DurationWrittenText(*written)));
}

void TForm14::done(int result) {
    ListBox1->clear();
    editor_.Close();
    Memo1->clear();
    MaskEdit1->setText(QStringLiteral("00:00:00"));
    Button1->setText(kLoadCaption);
    QDialog::done(result);
}

}  // namespace brenzo::ui
