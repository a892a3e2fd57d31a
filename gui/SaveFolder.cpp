#include "gui/SaveFolder.h"

#include <QFile>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr int MaxExtensionBytes = 32;
constexpr int MaxDuplicates = 100000;

fs::path PathOf(const QString& s) {
    return fs::path(s.toStdString());
}

QString StringOf(const fs::path& p) {
    return QString::fromStdString(p.string());
}

int Utf8Bytes(const QString& s) {
    return int(s.toUtf8().size());
}

// The longest start of `s` of at most `maxBytes` UTF-8 bytes, never splitting a
// character (a surrogate pair stays whole).
QString CutUtf8(const QString& s, int maxBytes) {
    QString out;
    int bytes = 0;
    for (qsizetype i = 0; i < s.size();) {
        const qsizetype len =
            (s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) ? 2 : 1;
        const QString ch = s.mid(i, len);
        const int b = Utf8Bytes(ch);
        if (bytes + b > maxBytes) break;
        out += ch;
        bytes += b;
        i += len;
    }
    return out;
}

// Splits a safe name into stem and extension (with its dot); a leading dot only, or an
// extension too long to be one, keeps the whole name as the stem.
void Split(const QString& name, QString& stem, QString& ext) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && Utf8Bytes(name.mid(dot)) <= MaxExtensionBytes) {
        stem = name.left(dot);
        ext = name.mid(dot);
    } else {
        stem = name;
        ext.clear();
    }
}

// stem + suffix + ext, the stem cut so that the whole fits the limit.
QString Compose(const QString& stem, const QString& suffix, const QString& ext) {
    const int room = SaveFolder::MaxNameBytes - Utf8Bytes(suffix) - Utf8Bytes(ext);
    QString cut = CutUtf8(stem, room > 0 ? room : 0);
    if (cut.isEmpty()) cut = QStringLiteral("_");
    return cut + suffix + ext;
}

} // namespace

SaveFolder::SaveFolder(const QString& folder) {
    if (folder.isEmpty()) return;
    std::error_code ec;
    const fs::path canonical = fs::canonical(PathOf(folder), ec);
    if (ec || !fs::is_directory(canonical, ec) || ec) return;
    root_ = StringOf(canonical);
}

QString SaveFolder::SafeName(const QString& name) {
    QString s;
    s.reserve(name.size());
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool bad = u == u'/' || u == u'\\' || u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0);
        s += bad ? QChar(u'_') : c;
    }
    if (s.isEmpty() || s == QLatin1String(".") || s == QLatin1String("..")) return QStringLiteral("_");
    if (Utf8Bytes(s) > MaxNameBytes) {
        QString stem, ext;
        Split(s, stem, ext);
        s = Compose(stem, QString(), ext);
    }
    return s;
}

std::optional<QString> SaveFolder::Inside(const QString& safeName) const {
    if (!isValid()) return std::nullopt;
    const fs::path root = PathOf(root_);
    const fs::path candidate = root / PathOf(safeName);
    // The safe name holds no separator, so the parent is the folder itself; check it
    // all the same, resolved, in case the folder was swapped for a link since.
    std::error_code ec;
    const fs::path parent = fs::canonical(candidate.parent_path(), ec);
    if (ec || parent != root) return std::nullopt;
    if (candidate.filename() != PathOf(safeName)) return std::nullopt;
    const fs::file_status st = fs::symlink_status(candidate, ec);
    if (fs::is_symlink(st) || fs::is_directory(st)) return std::nullopt;
    if (fs::exists(st) && !fs::is_regular_file(st)) return std::nullopt;
    return StringOf(candidate);
}

std::optional<QString> SaveFolder::FileFor(const QString& name) const {
    return Inside(SafeName(name));
}

QString SaveFolder::NumberedName(const QString& name, int n) {
    const QString safe = SafeName(name);
    if (n <= 1) return safe;
    QString stem, ext;
    Split(safe, stem, ext);
    return Compose(stem, QStringLiteral(" (%1)").arg(n), ext);
}

std::optional<QString> SaveFolder::UniqueFileFor(const QString& name) const {
    if (!isValid()) return std::nullopt;
    for (int n = 1; n <= MaxDuplicates; ++n) {
        const QString candidateName = NumberedName(name, n);
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(PathOf(root_) / PathOf(candidateName), ec);
        if (fs::exists(st) || fs::is_symlink(st)) continue;
        if (auto path = Inside(candidateName)) return path;
        return std::nullopt;
    }
    return std::nullopt;
}

bool SaveFolder::WriteNewFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    // NewOnly: created exclusively, so neither an existing file nor a link is used.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return false;
    const bool ok = file.write(data) == data.size() && file.flush();
    file.close();
    if (!ok) QFile::remove(path);
    return ok;
}
