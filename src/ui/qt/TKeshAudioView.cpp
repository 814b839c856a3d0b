// The main window's list view (filter, sort, selection, copy), its files (recent, dropped),
// its remembered place and the waveform strip: bindings of the core's view and rules.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QResizeEvent>
#include <QScreen>
#include <QTableView>
#include <QTimer>

#include "platform/Path.h"
#include "ui/qt/TKeshAudio.h"
#include "ui/qt/WaveformStrip.h"
#include "ui/qt/WindowSettings.h"
#include "workspace/Drop.h"
#include "workspace/Settings.h"

namespace brenzo::ui {
namespace {

QString q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
std::string utf8(const QString& text) { return text.toUtf8().toStdString(); }

// Below this the strip has no room: the list keeps the window's original layout.
constexpr int kStripRoom = 90;

}  // namespace

// ---- the list -------------------------------------------------------------------------------

void TKeshAudio::refreshList(const std::function<void()>& changeView) {
    // The selection is read through the view as it was, and put back through the view as it is.
    std::vector<std::size_t> selected = SelectedEntries();
    const auto current = SelectedEntry();
    changeView();
    model_->Reset();
    auto* selection = StringGrid1->selectionModel();
    QItemSelection rows;
    for (std::size_t entry : selected) {
        if (auto row = view_.RowOf(entry)) {
            const int r = static_cast<int>(*row);
            rows.select(model_->index(r, 0), model_->index(r, 2));
        }
    }
    if (current) {
        if (auto row = view_.RowOf(*current))
            selection->setCurrentIndex(model_->index(static_cast<int>(*row), 0), QItemSelectionModel::NoUpdate);
    }
    selection->select(rows, QItemSelectionModel::ClearAndSelect);
    showCaption();
}

void TKeshAudio::showCaption() { GroupBox1->setTitle(q(entryCount_ ? view_.Caption(fileCaption_) : fileCaption_)); }

void TKeshAudio::ShowFilter() {
    if (IsLocked()) return;
    FilterEdit->show();
    FilterEdit->setFocus();
    FilterEdit->selectAll();
}

void TKeshAudio::ClearFilter() {
    FilterEdit->clear();
    FilterEdit->hide();
    StringGrid1->setFocus();
}

void TKeshAudio::HeaderClicked(int column) {
    if (IsLocked()) return;
    refreshList([&] { view_.ClickHeader(column); });
    auto* header = StringGrid1->horizontalHeader();
    header->setSortIndicatorShown(view_.SortedBy() != workspace::SortColumn::None);
    header->setSortIndicator(column, view_.Descending() ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TKeshAudio::CopyRows() {
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : StringGrid1->selectionModel()->selectedRows())
        rows.push_back(static_cast<std::size_t>(index.row()));
    const std::string text = view_.CopyText(rows);
    if (!text.empty()) QGuiApplication::clipboard()->setText(q(text));
}

// ---- files ----------------------------------------------------------------------------------

void TKeshAudio::FileDropped(const QString& path, QPoint at) {
    if (IsLocked()) return;
    const QModelIndex index = StringGrid1->indexAt(StringGrid1->viewport()->mapFrom(this, at));
    const auto entry = index.isValid() ? view_.EntryAt(static_cast<std::size_t>(index.row())) : std::nullopt;
    const std::string fileName = utf8(QFileInfo(path).fileName());
    if (workspace::DecideDrop(fileName, entry.has_value()) == workspace::DropAction::Open) {
        OpenFile(path);
        return;
    }
    if (!dialogs_.Confirm(this, q(workspace::ReplaceQuestion(ws_, *entry, fileName)))) return;
    StringGrid1->selectRow(index.row());
    ReplaceWithFile(entry, utf8(path));
}

void TKeshAudio::OpenRecent(int index) {
    const auto files = WindowSettings::RecentFiles();
    if (index < 0 || static_cast<std::size_t>(index) >= files.size()) return;
    OpenFile(q(files[static_cast<std::size_t>(index)]));
}

void TKeshAudio::RememberRecent(const std::string& file, bool opened) {
    const std::string absolute = utf8(QFileInfo(q(file)).absoluteFilePath());
    auto files = WindowSettings::RecentFiles();
    files = opened ? workspace::RecentFilesAfterOpening(std::move(files), absolute)
                   : workspace::RecentFilesWithout(std::move(files), absolute);
    WindowSettings::SetRecentFiles(files);
    rebuildRecentMenu();
}

void TKeshAudio::rebuildRecentMenu() {
    Recent1->clear();
    const auto files = WindowSettings::RecentFiles();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const int index = static_cast<int>(i);
        QString text = q(files[i]);
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        Recent1->addAction(QStringLiteral("&%1 %2").arg(index + 1).arg(text), this,
                           [this, index] { OpenRecent(index); });
    }
    Recent1->setEnabled(!files.empty());
}

// ---- the window's place ---------------------------------------------------------------------

void TKeshAudio::restorePlacement() {
    std::vector<workspace::WindowRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect r = screen->availableGeometry();
        screens.push_back({r.x(), r.y(), r.width(), r.height()});
    }
    const QSize original = OriginalSize();
    if (auto placed =
            workspace::RestoredPlacement(WindowSettings::Placement(), screens, original.width(), original.height()))
        setGeometry(placed->x, placed->y, placed->width, placed->height);
    if (WindowSettings::Maximized()) setWindowState(windowState() | Qt::WindowMaximized);
}

void TKeshAudio::savePlacement() {
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    WindowSettings::SetPlacement({normal.x(), normal.y(), normal.width(), normal.height()}, isMaximized());
}

void TKeshAudio::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    const bool room = event->size().height() >= OriginalSize().height() + kStripRoom;
    if (room != Strip->isVisible()) Strip->setVisible(room);
    if (room) QTimer::singleShot(0, this, [this] { updateStrip(); });
}

// ---- the waveform strip ---------------------------------------------------------------------

std::optional<std::size_t> TKeshAudio::stripEntry() const {
    const QModelIndex current = StringGrid1->currentIndex();
    return wave_->EntryFor(current.isValid() ? view_.EntryAt(static_cast<std::size_t>(current.row())) : std::nullopt);
}

void TKeshAudio::updateStrip() {
    if (!Strip->isVisible() || IsLocked()) return;
    const auto change = wave_->Follow(stripEntry(), Strip->width(), Strip->Wave().has_value());
    if (change == preview::WaveStrip::Change::None) return;
    Strip->SetWave(std::nullopt);
    Strip->SetPosition(std::nullopt);
    if (change == preview::WaveStrip::Change::Computing) waveTimer_->start();
}

void TKeshAudio::pollWave() {
    auto taken = wave_->Take();
    if (!taken.done) return;
    waveTimer_->stop();
    if (taken.wave) Strip->SetWave(std::move(*taken.wave));
}

}  // namespace brenzo::ui
