#include "views/frame/SaveNames.h"

#include <QDir>

#include <filesystem>
#include <system_error>

namespace {

// `s` shortened from its end until it takes at most `maxBytes` of UTF-8, never
// splitting a surrogate pair.
QString FitUtf8(QString s, int maxBytes) {
    while (!s.isEmpty() && s.toUtf8().size() > maxBytes) {
        s.chop(s.size() >= 2 && s.back().isLowSurrogate() ? 2 : 1);
    }
    return s;
}

} // namespace

QString SaveNames::NameFor(const QString& key) {
    const auto known = byKey_.constFind(key);
    if (known != byKey_.constEnd()) return *known;
    // The key alone is made safe (so "" and ".." never become hidden names), then cut
    // so that the extension and a " (n)" fit.
    const QString stem = SaveFolder::SafeName(key);
    auto compose = [&](const QString& suffix) {
        const int room = SaveFolder::MaxNameBytes - int((suffix + extension_).toUtf8().size());
        QString cut = FitUtf8(stem, room);
        if (cut.isEmpty()) cut = QStringLiteral("_");
        return SaveFolder::SafeName(cut + suffix + extension_);
    };
    QString name = compose(QString());
    for (int n = 2; used_.contains(name.toLower()); ++n)
        name = compose(QStringLiteral(" (%1)").arg(n));
    used_.insert(name.toLower());
    byKey_.insert(key, name);
    return name;
}

std::optional<SaveFolder> SaveNames::SubFolder(const SaveFolder& folder, const QString& name) {
    if (!folder.isValid()) return std::nullopt;
    const QString safe = SaveFolder::SafeName(name);
    const std::filesystem::path path =
        std::filesystem::path(folder.folder().toStdString()) / safe.toStdString();
    std::error_code ec;
    const auto st = std::filesystem::symlink_status(path, ec);
    if (std::filesystem::is_symlink(st)) return std::nullopt;
    if (!std::filesystem::exists(st)) {
        if (!QDir(folder.folder()).mkdir(safe)) return std::nullopt;
    } else if (!std::filesystem::is_directory(st)) {
        return std::nullopt;
    }
    SaveFolder sub(QString::fromStdString(path.string()));
    // The resolved subfolder must still lie directly inside the chosen folder.
    if (!sub.isValid() || QDir(sub.folder()).absolutePath() != QDir(folder.folder()).absoluteFilePath(safe))
        return std::nullopt;
    return sub;
}
