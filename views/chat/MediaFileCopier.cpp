#include "views/chat/MediaFileCopier.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr qint64 kChunk = 1 << 20;
constexpr int kMaxDuplicates = 1000;

// True when the file at `path` holds exactly `prefix` followed by the bytes of `source`.
bool SameContent(const QString& path, const QString& source, const QByteArray& prefix) {
    QFile a(path), b(source);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly)) return false;
    if (a.size() != prefix.size() + b.size()) return false;
    if (!prefix.isEmpty() && a.read(prefix.size()) != prefix) return false;
    while (!b.atEnd()) {
        const QByteArray x = b.read(kChunk);
        if (x.isEmpty() && !b.atEnd()) return false;
        if (a.read(x.size()) != x) return false;
    }
    return true;
}

// Streams `prefix` and `source` into a new file at `path`; nothing is left behind on failure.
bool WriteCopy(const QString& path, QFile& source, const QByteArray& prefix) {
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) return false;
    if (!prefix.isEmpty() && out.write(prefix) != prefix.size()) {
        out.cancelWriting();
        return false;
    }
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(kChunk);
        if (chunk.isEmpty()) {
            if (source.error() != QFileDevice::NoError || !source.atEnd()) {
                out.cancelWriting();
                return false;
            }
            break;
        }
        if (out.write(chunk) != chunk.size()) {
            out.cancelWriting();
            return false;
        }
    }
    // A file that appeared there meanwhile is not replaced.
    if (QFileInfo::exists(path)) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

QString Candidate(const QString& safe, int n) {
    if (n == 1) return safe;
    const qsizetype dot = safe.lastIndexOf(QLatin1Char('.'));
    const QString suffix = QStringLiteral(" (%1)").arg(n);
    if (dot > 0) return safe.left(dot) + suffix + safe.mid(dot);
    return safe + suffix;
}

} // namespace

QString MediaFileCopier::StoredPath(const NSFileData& file) {
    return StoredPath(file.BackUpPath(), file.SHA1());
}

QString MediaFileCopier::StoredPath(const QString& backUpPath, const QString& sha1) {
    if (backUpPath.isEmpty()) return sha1;
    QString root = backUpPath;
    while (root.size() > 1 && root.endsWith(QLatin1Char('/'))) root.chop(1);
    QString rel = sha1;
    while (rel.startsWith(QLatin1Char('/'))) rel.remove(0, 1);
    if (root == QStringLiteral("/")) return root + rel;
    return root + QLatin1Char('/') + rel;
}

MediaFileCopier::Result MediaFileCopier::Copy(const SaveFolder& folder, const QString& name, const QString& source,
                                              const QByteArray& prefix) {
    Result result;
    QFile in(source);
    if (source.isEmpty() || !QFileInfo(source).isFile() || !in.open(QIODevice::ReadOnly)) {
        result.outcome = Outcome::SourceUnreadable;
        return result;
    }
    const QString safe = SaveFolder::SafeName(name);
    for (int n = 1; n <= kMaxDuplicates; ++n) {
        const auto path = folder.FileFor(Candidate(safe, n));
        if (!path) {
            if (n == 1) return result;  // no place for it at all
            continue;
        }
        if (QFileInfo::exists(*path)) {
            if (SameContent(*path, source, prefix)) {
                result.outcome = Outcome::Identical;
                result.path = *path;
                return result;
            }
            continue;
        }
        if (!WriteCopy(*path, in, prefix)) return result;
        result.outcome = Outcome::Written;
        result.path = *path;
        return result;
    }
    return result;
}

QByteArray MediaFileCopier::Head(const QString& path, qint64 max, bool* readable) {
    QFile f(path);
    const bool ok = QFileInfo(path).isFile() && f.open(QIODevice::ReadOnly);
    if (readable) *readable = ok;
    if (!ok) return QByteArray();
    return f.read(max);
}
