#include "ui/qt/TKeshAudio.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "engine/Loudness.h"
#include "replace/Fit.h"
#include "ui/qt/Artwork.h"
#include "ui/qt/TAboutForm.h"
#include "ui/qt/TForm14.h"
#include "ui/qt/WaveformStrip.h"
#include "ui/qt/WindowSettings.h"
#include "workspace/Drop.h"
#include "workspace/Settings.h"

namespace brenzo::ui {
namespace {

QString q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
std::string utf8(const QString& text) { return text.toUtf8().toStdString(); }

// Where the window remembers the two replace settings.
constexpr auto kKeepBackupsKey = "replace/keepBackups";
constexpr auto kMatchLoudnessKey = "replace/matchLoudness";

constexpr int kClientWidth = 394;
constexpr int kClientHeight = 351;

}  // namespace

TKeshAudio::TKeshAudio(std::filesystem::path hashesFile, workspace::ScratchFolders& scratch,
                       engine::Converter& converter, engine::Player& player, Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent),
      WindowController(std::move(hashesFile), scratch, converter, player, engine::IntegratedLoudness),
      dialogs_(dialogs) {
    setWindowTitle(QStringLiteral("Brenzo"));
    setFont(FormFont());
    setAcceptDrops(true);

    buildMenus();
    buildList();
    buildStatusBar();
    // The long commands run on the worker's thread; their calls reach this window on its own.
    StartWorker(
        [this](std::function<void()> fn) { QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection); });

    Timer1 = new QTimer(this);
    // Fine enough for a seconds display and a moving bar, and idle while nothing plays.
    Timer1->setInterval(15);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

    waveTimer_ = new QTimer(this);
    waveTimer_->setInterval(30);
    connect(waveTimer_, &QTimer::timeout, this, [this] { pollWave(); });

    ws_.StringGridClear(*this);
    SetCaption(workspace::kNotLoadedCaption);
    ShowPauseIcon(false);
    MenusChanged();
    rebuildRecentMenu();

    // It opens at its original size and can be made larger (or maximised), never smaller.
    setMinimumSize(OriginalSize());
    resize(OriginalSize());
    restorePlacement();
}

QSize TKeshAudio::OriginalSize() const { return {kClientWidth, kClientHeight + menuBar()->sizeHint().height()}; }

TKeshAudio::~TKeshAudio() {
    StopWorker();
    shutDown();
}

void TKeshAudio::buildMenus() {
    File1 = menuBar()->addMenu(QStringLiteral("&File"));
    Load1 = File1->addAction(QStringLiteral("Load"), this, [this] { Load1Click(); });
    Load1->setShortcut(QKeySequence::Open);
    Recent1 = File1->addMenu(QStringLiteral("Recent files"));
    File1->addSeparator();
    Export2 = File1->addAction(QStringLiteral("Export"), this, [this] { Export2Click(); });
    Export2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    Exportall1 = File1->addAction(QStringLiteral("Export all"), this, [this] { Exportall1Click(); });
    Exportall1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    ImportFolder1 = File1->addAction(QStringLiteral("Import folder..."), this, [this] { ImportFolder1Click(); });
    ImportFolder1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    File1->addSeparator();
    QSettings settings;
    KeepBackups1 = File1->addAction(QStringLiteral("Keep backups"));
    KeepBackups1->setCheckable(true);
    KeepBackups1->setChecked(settings.value(kKeepBackupsKey, replace::kKeepBackupsByDefault).toBool());
    connect(KeepBackups1, &QAction::toggled, this, [](bool on) { QSettings().setValue(kKeepBackupsKey, on); });
    MatchLoudness1 = File1->addAction(QStringLiteral("Match loudness on replace"));
    MatchLoudness1->setCheckable(true);
    MatchLoudness1->setChecked(settings.value(kMatchLoudnessKey, replace::kMatchLoudnessByDefault).toBool());
    connect(MatchLoudness1, &QAction::toggled, this, [](bool on) { QSettings().setValue(kMatchLoudnessKey, on); });
    RestoreOriginal1 = File1->addAction(QStringLiteral("Restore original"), this, [this] { RestoreOriginal1Click(); });
    // Whether a backup exists can change behind the window's back: asked each time the menu opens.
    connect(File1, &QMenu::aboutToShow, this, [this] { FileMenuOpening(); });
    File1->addSeparator();
    Exit1 = File1->addAction(QStringLiteral("Exit"), this, [this] { Exit1Click(); });
    Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    Tools1 = menuBar()->addMenu(QStringLiteral("&Edit"));
    RadioLength1 =
        Tools1->addAction(QStringLiteral("Radio Music Duration Editor"), this, [this] { RadioLength1Click(); });
    Help1 = menuBar()->addAction(QStringLiteral("About..."), this, [this] { Help1Click(); });

    PopupMenu1 = new QMenu(this);
    Play1 = PopupMenu1->addAction(QStringLiteral("Play"), this, [this] { Play1Click(); });
    Replace1 = PopupMenu1->addAction(QStringLiteral("Replace"), this, [this] { Replace1Click(); });
    Export1 = PopupMenu1->addAction(QStringLiteral("Export"), this, [this] { Export1Click(); });
    // The pop-up's commands answer their keys wherever the window has the focus.
    Replace1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    addAction(Replace1);

    Find1 = new QAction(QStringLiteral("Find"), this);
    Find1->setShortcut(QKeySequence::Find);
    connect(Find1, &QAction::triggered, this, [this] { ShowFilter(); });
    addAction(Find1);
}

void TKeshAudio::buildList() {
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(2, 0, 2, 0);
    GroupBox1 = new QGroupBox(central);
    auto* inner = new QVBoxLayout(GroupBox1);
    inner->setContentsMargins(2, 2, 2, 2);
    // Hidden until Ctrl+F, so that the list looks as it always has.
    FilterEdit = new QLineEdit(GroupBox1);
    FilterEdit->setPlaceholderText(QStringLiteral("Filter by name or hash"));
    FilterEdit->setClearButtonEnabled(true);
    FilterEdit->hide();
    FilterEdit->installEventFilter(this);
    connect(FilterEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { refreshList([&] { view_.SetFilter(utf8(text)); }); });
    inner->addWidget(FilterEdit);
    StringGrid1 = new QTableView(GroupBox1);
    model_ = new RowsModel(view_, StringGrid1);
    StringGrid1->setModel(model_);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    StringGrid1->installEventFilter(this);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->verticalHeader()->setDefaultSectionSize(18);
    StringGrid1->horizontalHeader()->setHighlightSections(false);
    // A header click sorts; it does not select the column.
    auto* header = StringGrid1->horizontalHeader();
    disconnect(header, SIGNAL(sectionPressed(int)), StringGrid1, nullptr);
    disconnect(header, SIGNAL(sectionEntered(int)), StringGrid1, nullptr);
    header->setSectionsClickable(true);
    connect(header, &QHeaderView::sectionClicked, this, [this](int column) { HeaderClicked(column); });
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
    Copy1 = new QAction(QStringLiteral("Copy"), StringGrid1);
    Copy1->setShortcut(QKeySequence::Copy);
    Copy1->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(Copy1, &QAction::triggered, this, [this] { CopyRows(); });
    StringGrid1->addAction(Copy1);
    connect(StringGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { updateStrip(); });
    inner->addWidget(StringGrid1);
    outer->addWidget(GroupBox1);
    Strip = new WaveformStrip(central);
    Strip->hide();
    Strip->onSeek = [this](int x, int width) {
        if (IsLocked()) return;
        const auto entry = stripEntry();
        if (!entry) return;
        wave_->Seek(*entry, x, width);
        Timer1Timer();
    };
    outer->addWidget(Strip);
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
    // Over the state text while work that can be stopped runs.
    CancelButton = new QPushButton(QStringLiteral("Cancel"), panels);
    CancelButton->setGeometry(118, 3, 58, 20);
    CancelButton->hide();
    connect(CancelButton, &QPushButton::clicked, this, [this] { RequestCancel(); });
    bar->addWidget(panels);
}

std::optional<std::size_t> TKeshAudio::SelectedEntry() const {
    const QModelIndex current = StringGrid1->currentIndex();
    if (!current.isValid() || !StringGrid1->selectionModel()->isRowSelected(current.row(), {})) return std::nullopt;
    const auto entry = view_.EntryAt(static_cast<std::size_t>(current.row()));
    if (!entry || *entry >= ws_.EntryCount()) return std::nullopt;
    return entry;
}

std::vector<std::size_t> TKeshAudio::SelectedEntries() const {
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : StringGrid1->selectionModel()->selectedRows())
        rows.push_back(static_cast<std::size_t>(index.row()));
    return view_.EntriesOf(rows);
}

// ---- commands -------------------------------------------------------------------------------

void TKeshAudio::OpenFile(const QString& path) { WindowController::OpenFile(utf8(path)); }

void TKeshAudio::RunEventsUntil(const bool& done) {
    while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TKeshAudio::AfterCommand(bool close) {
    if (close)
        QTimer::singleShot(0, this, [this] { this->close(); });
    else
        QTimer::singleShot(0, this, [this] { updateStrip(); });
}

bool TKeshAudio::KeepBackupsChecked() const { return KeepBackups1->isChecked(); }
bool TKeshAudio::MatchLoudnessChecked() const { return MatchLoudness1->isChecked(); }

void TKeshAudio::EnableFileItems(bool importFolder, bool restoreOriginal) {
    ImportFolder1->setEnabled(importFolder);
    RestoreOriginal1->setEnabled(restoreOriginal);
}

void TKeshAudio::Timer1Timer() {
    preview_->Timer1Timer();
    // The strip and its sound are the workspace's, which a running command may be changing.
    if (Busy()) return;
    Strip->SetPosition(wave_->Position(stripEntry()));
}

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
    if (!MayClose()) {
        event->ignore();
        return;
    }
    savePlacement();
    shutDown();
    event->accept();
}

void TKeshAudio::shutDown() {
    if (Timer1) Timer1->stop();
    if (waveTimer_) waveTimer_->stop();
    ShutDown();
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
    const QPoint at = event->position().toPoint();
    // Act after the drop has finished, so that the source application is not kept waiting.
    QTimer::singleShot(0, this, [this, file, at] { FileDropped(file, at); });
}

bool TKeshAudio::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (Cancellable() && key == Qt::Key_Escape) {
            RequestCancel();
            return true;
        }
        if (watched == FilterEdit && key == Qt::Key_Escape) {
            ClearFilter();
            return true;
        }
        if (watched == StringGrid1 && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            StringGrid1DblClick();
            return true;
        }
        if (watched == StringGrid1 && key == Qt::Key_Space &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
            Image1Click();
            return true;
        }
    }
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

void TKeshAudio::ShowLocked(bool locked, bool cancellable) {
    if (cancellable) {
        CancelButton->show();
        // Esc reaches the window wherever the focus is while the list is disabled.
        qApp->installEventFilter(this);
    } else if (!locked) {
        CancelButton->hide();
        qApp->removeEventFilter(this);
    }
    const bool on = !locked;
    FilterEdit->setEnabled(on);
    Image1->setEnabled(on);
    StringGrid1->setEnabled(on);
    File1->setEnabled(on);
    Tools1->setEnabled(on);
    Help1->setEnabled(on);
    File1->menuAction()->setEnabled(on);
    Tools1->menuAction()->setEnabled(on);
    setAcceptDrops(on);
}

void TKeshAudio::ShowError(std::string_view message) { dialogs_.Error(this, q(message)); }
void TKeshAudio::SetCaption(std::string_view caption) {
    fileCaption_ = std::string(caption);
    entryCount_ = ws_.EntryCount();
    showCaption();
}

void TKeshAudio::RowsReset() {
    wave_->Forget();
    Strip->SetWave(std::nullopt);
    // Another file (or none): nothing of the last one stays selected.
    StringGrid1->selectionModel()->clear();
    entryCount_ = ws_.EntryCount();
    refreshList([this] { view_.Refresh(ws_); });
    if (auto entry = ws_.EntryAfterLoad())
        if (auto row = view_.RowOf(*entry)) StringGrid1->selectRow(static_cast<int>(*row));
}

void TKeshAudio::RowChanged(std::size_t entry) {
    // A new duration or rate may move the row in a sorted list; the strip shows the new sound.
    wave_->RowChanged(entry);
    entryCount_ = ws_.EntryCount();
    refreshList([this] { view_.Refresh(ws_); });
}

void TKeshAudio::MenusChanged() {
    const auto& m = ws_.Menus;
    Export2->setVisible(m.export2Visible);
    Export1->setText(q(m.export1Caption));
    Replace1->setText(q(m.replace1Caption));
    Replace1->setEnabled(m.replace1Enabled);
    UpdateFileMenu();
}

std::optional<std::string> TKeshAudio::ChooseOpenFile(std::string_view filter) {
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

bool TKeshAudio::Ask(std::string_view title, std::string_view text, std::string_view yes, std::string_view no) {
    return dialogs_.Ask(this, q(title), q(text), q(yes), q(no));
}

void TKeshAudio::PumpEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TKeshAudio::ShowPauseIcon(bool pause) {
    pauseIconShown_ = pause;
    Image1->setPixmap(pause ? PauseIcon() : PlayIcon());
}

void TKeshAudio::SetTimerEnabled(bool enabled) {
    if (!Timer1) return;
    if (enabled)
        Timer1->start();
    else
        Timer1->stop();
}

}  // namespace brenzo::ui
