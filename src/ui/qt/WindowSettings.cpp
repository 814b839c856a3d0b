#include "ui/qt/WindowSettings.h"

#include <QSettings>
#include <QStringList>
#include <memory>

namespace brenzo::ui {
namespace {

std::unique_ptr<QSettings> store() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brenzo"),
                                       QStringLiteral("Brenzo"));
}

std::optional<int> intOf(const QSettings& s, const char* key) {
    bool ok = false;
    const int value = s.value(QLatin1String(key)).toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

}  // namespace

std::vector<std::string> WindowSettings::RecentFiles() {
    const auto s = store();
    std::vector<std::string> files;
    const QVariant stored = s->value(QStringLiteral("recentFiles"));
    for (const QString& file : stored.toStringList()) files.push_back(file.toUtf8().toStdString());
    return workspace::CleanRecentFiles(std::move(files));
}

void WindowSettings::SetRecentFiles(const std::vector<std::string>& files) {
    QStringList list;
    for (const auto& file : files) list << QString::fromUtf8(file.data(), static_cast<qsizetype>(file.size()));
    const auto s = store();
    s->setValue(QStringLiteral("recentFiles"), list);
}

std::optional<workspace::WindowRect> WindowSettings::Placement() {
    const auto s = store();
    const auto x = intOf(*s, "window/x"), y = intOf(*s, "window/y");
    const auto width = intOf(*s, "window/width"), height = intOf(*s, "window/height");
    if (!x || !y || !width || !height) return std::nullopt;
    return workspace::WindowRect{*x, *y, *width, *height};
}

bool WindowSettings::Maximized() {
    const auto s = store();
    return s->value(QStringLiteral("window/maximized")).toString() == QLatin1String("true");
}

void WindowSettings::SetPlacement(const workspace::WindowRect& normal, bool maximized) {
    const auto s = store();
    s->setValue(QStringLiteral("window/x"), normal.x);
    s->setValue(QStringLiteral("window/y"), normal.y);
    s->setValue(QStringLiteral("window/width"), normal.width);
    s->setValue(QStringLiteral("window/height"), normal.height);
    s->setValue(QStringLiteral("window/maximized"), maximized);
}

}  // namespace brenzo::ui
