#include "ui/qt/TKeshAudio.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "export/ExportCommands.h"
#include "platform/Path.h"
#include "replace/ReplaceCommand.h"
#include "ui/qt/Artwork.h"
#include "ui/qt/TAboutForm.h"
#include "ui/qt/TForm14.h"

namespace brenzo::ui {
namespace {

QString q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
std::string utf8(const QString& text) { return text.toUtf8().toStdString(); }

constexpr int kClientWidth = 394;
constexpr int kClientHeight = 351;

}  // namespace

TKeshAudio::TKeshAudio(std::filesystem::path hashesFile, workspace::ScratchFolders& scratch,
                       engine::Converter& converter, engine::Player& player, Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent),
      scratch_(scratch),
      converter_(converter),
      dialogs_(dialogs),
      ws_(workspace::HashNames(std::move(hashesFile)), &scratch) {
    setWindowTitle(QStringLiteral("Brenzo"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);
    setAcceptDrops(true);

    buildMenus();
    buildList();
    buildStatusBar();
    preview_ = std::make_unique<preview::Preview>(ws_, *this, *this, player);

    Timer1 = new QTimer(this);
    // Fine enough for a seconds display and a moving bar, and idle while nothing plays.
    Timer1->setInterval(15);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

    ws_.StringGridClear(*this);
    GroupBox1->setTitle(q(workspace::kNotLoadedCaption));
    ShowPauseIcon(false);
    MenusChanged();

    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) & ~Qt::WindowMaximizeButtonHint);
}

TKeshAudio::~TKeshAudio() { shutDown(); }

void TKeshAudio::buildMenus() {
    File1 = menuBar()->addMenu(QStringLiteral("File"));
    Load1 = File1->addAction(QStringLiteral("Load"), this, [this] { Load1Click(); });
    File1->addSeparator();
    Export2 = File1->addAction(QStringLiteral("Export"), this, [this] { Export2Click(); });
    Exportall1 = File1->addAction(QStringLiteral("Export all"), this, [this] { Exportall1Click(); });
    File1->addSeparator();
    Exit1 = File1->addAction(QStringLiteral("Exit"), this, [this] { Exit1Click(); });
    Tools1 = menuBar()->addMenu(QStringLiteral("Edit"));
    RadioLength1 = Tools1->addAction(QStringLiteral("Radio Music Duration Editor"), this, [this] { RadioLength1Click(); });
    Help1 = menuBar()->addAction(QStringLiteral("About..."), this, [this] { Help1Click(); });

    PopupMenu1 = new QMenu(this);
    Play1 = PopupMenu1->addAction(QStringLiteral("Play"), this, [this] { Play1Click(); });
    Replace1 = PopupMenu1->addAction(QStringLiteral("Replace"), this, [this] { Replace1Click(); });
    Export1 = PopupMenu1->addAction(QStringLiteral("Export"), this, [this] { Export1Click(); });
}

void TKeshAudio::buildList() {
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(2, 0, 2, 0);
    GroupBox1 = new QGroupBox(central);
    auto* inner = new QVBoxLayout(GroupBox1);
    inner->setContentsMargins(2, 2, 2, 2);
    StringGrid1 = new QTableView(GroupBox1);
    model_ = new RowsModel(ws_, StringGrid1);
    StringGrid1->setModel(model_);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->verticalHeader()->setDefaultSectionSize(18);
    StringGrid1->horizontalHeader()->setHighlightSections(false);
    // Duration and rate keep their widths; the name takes what the frame leaves (236 pixels
    // where the frame is as wide as the list's three columns).
    StringGrid1->horizontalHeader()->setMinimumSectionSize(40);
    StringGrid1->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    StringGrid1->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
    StringGrid1->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Fixed);
    StringGrid1->setColumnWidth(1, 65);
    StringGrid1->setColumnWidth(2, 79);
    StringGrid1->setWordWrap(false);
    StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(StringGrid1, &QTableView::doubleClicked, this, [this] { StringGrid1DblClick(); });
    connect(StringGrid1, &QTableView::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = StringGrid1->indexAt(at);
        if (index.isValid()) StringGrid1->selectRow(index.row());
        PopupMenu1->popup(StringGrid1->viewport()->mapToGlobal(at));
    });
    inner->addWidget(StringGrid1);
    outer->addWidget(GroupBox1);
    setCentralWidget(central);
}

void TKeshAudio::buildStatusBar() {
    // Three panels, 180, 24 and 188 pixels wide: the state text, the play/pause icon over the
    // second and the progress bar in the third.
    auto* bar = statusBar();
    bar->setSizeGripEnabled(false);
    bar->setContentsMargins(0, 0, 0, 0);
    auto* panels = new QWidget(bar);
    panels->setFixedSize(kClientWidth - 2, 26);
    auto panel = [&](int x, int width) {
        auto* frame = new QFrame(panels);
        frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        frame->setGeometry(x, 1, width - 2, 24);
        return frame;
    };
    panel(0, 180);
    panel(180, 24);
    panel(204, 188);
    StatusPanel0 = new QLabel(panels);
    StatusPanel0->setGeometry(4, 1, 172, 24);
    Image1 = new QLabel(panels);
    Image1->setGeometry(179, 1, 24, 24);
    Image1->installEventFilter(this);
    ProgressBar1 = new QProgressBar(panels);
    ProgressBar1->setGeometry(205, 3, 184, 20);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setMouseTracking(true);
    ProgressBar1->installEventFilter(this);
    bar->addWidget(panels);
}

std::optional<std::size_t> TKeshAudio::SelectedEntry() const {
    const QModelIndex current = StringGrid1->currentIndex();
    if (!current.isValid() || !StringGrid1->selectionModel()->isRowSelected(current.row(), {})) return std::nullopt;
    const auto row = static_cast<std::size_t>(current.row());
    if (row >= ws_.EntryCount()) return std::nullopt;
    return row;
}

// ---- commands -------------------------------------------------------------------------------

void TKeshAudio::Load1Click() { workspace::Load1Click(ws_, *this); }

void TKeshAudio::OpenFile(const QString& path) {
    if (IsLocked()) return;
    ws_.Open(platform::PathFromUtf8(utf8(path)), *this);
}

void TKeshAudio::Export1Click() { exporting::Export1Click(ws_, *this, SelectedEntry()); }
void TKeshAudio::Export2Click() { exporting::Export2Click(ws_, *this, SelectedEntry()); }
void TKeshAudio::Exportall1Click() { exporting::Exportall1Click(ws_, *this); }
void TKeshAudio::Replace1Click() { replace::Replace1Click(ws_, *this, converter_, SelectedEntry()); }
void TKeshAudio::StringGrid1DblClick() { preview_->StringGrid1DblClick(SelectedEntry()); }
void TKeshAudio::Play1Click() { StringGrid1DblClick(); }
void TKeshAudio::Image1Click() { preview_->Image1Click(SelectedEntry()); }
void TKeshAudio::Timer1Timer() { preview_->Timer1Timer(); }

void TKeshAudio::ProgressBar1MouseMove(Qt::MouseButtons buttons, int x, int /*y*/) {
    preview_->ProgressBar1MouseMove(buttons.testFlag(Qt::LeftButton), x, ProgressBar1->contentsRect().width());
}

void TKeshAudio::RadioLength1Click() {
    TForm14 editor(dialogs_, this);
    editor.exec();
}

void TKeshAudio::Help1Click() {
    TAboutForm about(this);
    about.exec();
}

void TKeshAudio::Exit1Click() { close(); }

// ---- shut-down ------------------------------------------------------------------------------

void TKeshAudio::closeEvent(QCloseEvent* event) {
    // A command that runs lets events through; it must not go on with a released workspace,
    // so the window closes when it is done.
    if (IsLocked()) {
        closePending_ = true;
        event->ignore();
        return;
    }
    shutDown();
    event->accept();
}

void TKeshAudio::shutDown() {
    if (shutDown_) return;
    shutDown_ = true;
    if (Timer1) Timer1->stop();
    if (preview_) preview_->Stop();
    ws_.ClearMemory();
    scratch_.Remove();
}

void TKeshAudio::dragEnterEvent(QDragEnterEvent* event) {
    if (!IsLocked() && event->mimeData()->hasUrls() && event->mimeData()->urls().size() == 1 &&
        event->mimeData()->urls().front().isLocalFile())
        event->acceptProposedAction();
}

void TKeshAudio::dropEvent(QDropEvent* event) {
    const auto urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return;
    event->acceptProposedAction();
    const QString file = urls.front().toLocalFile();
    // Open after the drop has finished, so that the source application is not kept waiting.
    QTimer::singleShot(0, this, [this, file] { OpenFile(file); });
}

bool TKeshAudio::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image1 && event->type() == QEvent::MouseButtonPress) {
        if (Image1->isEnabled()) Image1Click();
        return true;
    }
    if (watched == ProgressBar1) {
        switch (event->type()) {
            case QEvent::MouseMove:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease: {
                auto* mouse = static_cast<QMouseEvent*>(event);
                ProgressBar1MouseMove(mouse->buttons(), static_cast<int>(mouse->position().x()),
                                      static_cast<int>(mouse->position().y()));
                return false;
            }
            default:
                break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- the UI port ----------------------------------------------------------------------------

void TKeshAudio::SetStatus(std::string_view text) { StatusPanel0->setText(q(text)); }

void TKeshAudio::SetProgress(std::int64_t position, std::int64_t maximum) {
    barPosition_ = position;
    barMaximum_ = maximum;
    if (marquee_) return;
    ProgressBar1->setRange(0, static_cast<int>(std::min<std::int64_t>(maximum, INT32_MAX)));
    ProgressBar1->setValue(static_cast<int>(std::min<std::int64_t>(position, INT32_MAX)));
}

void TKeshAudio::SetMarquee(bool on) {
    marquee_ = on;
    if (on) {
        ProgressBar1->setRange(0, 0);
    } else {
        ProgressBar1->setRange(0, static_cast<int>(std::min<std::int64_t>(barMaximum_, INT32_MAX)));
        ProgressBar1->setValue(static_cast<int>(std::min<std::int64_t>(barPosition_, INT32_MAX)));
    }
}

void TKeshAudio::Lock() {
    if (lockDepth_++ > 0) return;
    Image1->setEnabled(false);
    StringGrid1->setEnabled(false);
    File1->setEnabled(false);
    Tools1->setEnabled(false);
    Help1->setEnabled(false);
    File1->menuAction()->setEnabled(false);
    Tools1->menuAction()->setEnabled(false);
    setAcceptDrops(false);
}

void TKeshAudio::Unlock() {
    if (lockDepth_ == 0 || --lockDepth_ > 0) return;
    Image1->setEnabled(true);
    StringGrid1->setEnabled(true);
    File1->setEnabled(true);
    Tools1->setEnabled(true);
    Help1->setEnabled(true);
    File1->menuAction()->setEnabled(true);
    Tools1->menuAction()->setEnabled(true);
    setAcceptDrops(true);
    if (closePending_) QTimer::singleShot(0, this, [this] { close(); });
}

void TKeshAudio::ShowError(std::string_view message) { dialogs_.Error(this, q(message)); }
void TKeshAudio::SetCaption(std::string_view caption) { GroupBox1->setTitle(q(caption)); }
void TKeshAudio::RowsReset() {
    model_->Reset();
    if (auto entry = ws_.EntryAfterLoad()) StringGrid1->selectRow(static_cast<int>(*entry));
}
void TKeshAudio::RowChanged(std::size_t entry) { model_->RowChanged(entry); }

void TKeshAudio::MenusChanged() {
    const auto& m = ws_.Menus;
    Export2->setVisible(m.export2Visible);
    Export1->setText(q(m.export1Caption));
    Replace1->setText(q(m.replace1Caption));
    Replace1->setEnabled(m.replace1Enabled);
}

std::optional<std::string> TKeshAudio::AskOpenFile(std::string_view filter) {
    auto file = dialogs_.OpenFile(this, q(filter));
    if (!file) return std::nullopt;
    return utf8(*file);
}

std::optional<std::string> TKeshAudio::AskSaveFile(std::string_view filter, std::string_view presetName) {
    auto file = dialogs_.SaveFile(this, q(filter), q(presetName));
    if (!file) return std::nullopt;
    return utf8(*file);
}

std::optional<std::string> TKeshAudio::AskFolder(std::string_view caption) {
    auto folder = dialogs_.Folder(this, q(caption));
    if (!folder) return std::nullopt;
    return utf8(*folder);
}

void TKeshAudio::PumpEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TKeshAudio::ShowPauseIcon(bool pause) {
    pauseIconShown_ = pause;
    Image1->setPixmap(pause ? PauseIcon() : PlayIcon());
}

void TKeshAudio::SetTimerEnabled(bool enabled) {
    if (!Timer1) return;
    if (enabled) Timer1->start();
    else Timer1->stop();
}

}  // namespace brenzo::ui
