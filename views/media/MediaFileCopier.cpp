#include "views/media/MediaFileCopier.h"

#include "platform/StoredFileReader.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr qint64 kChunk = 1 << 20;
constexpr int kMaxDuplicates = 1000;

// True when the file at `path` holds exactly `prefix` followed by the bytes of `source`
// (read from its start).
bool SameContent(const QString& path, QFile& source, const QByteArray& prefix) {
    QFile a(path);
    if (!a.open(QIODevice::ReadOnly) || !source.seek(0)) return false;
    if (a.size() != prefix.size() + source.size()) return false;
    if (!prefix.isEmpty() && a.read(prefix.size()) != prefix) return false;
    while (!source.atEnd()) {
        const QByteArray x = source.read(kChunk);
        if (x.isEmpty() && !source.atEnd()) return false;
        if (a.read(x.size()) != x) return false;
    }
    return true;
}

// Streams `prefix` and `source` into a new file at `path`; nothing is left behind on failure.
bool WriteCopy(const QString& path, QFile& source, const QByteArray& prefix) {
    if (!source.seek(0)) return false;
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

} // namespace

QString MediaFileCopier::StoredPath(const NSFileData& file) {
    return StoredPath(file.BackUpPath(), file.SHA1());
}

QString MediaFileCopier::StoredPath(const QString& backUpPath, const QString& sha1) {
    if (backUpPath.isEmpty()) return sha1;
    QString root = backUpPath;
    while (root.size() > 1 && root.endsWith(QLatin1Char('/')))
        root.chop(1);
    QString rel = sha1;
    while (rel.startsWith(QLatin1Char('/')))
        rel.remove(0, 1);
    if (root == QStringLiteral("/")) return root + rel;
    return root + QLatin1Char('/') + rel;
}

MediaFileCopier::Source MediaFileCopier::OpenStored(const QString& path, QFile& file) {
    RegularFile::Kind found = RegularFile::Kind::Missing;
    if (StoredFileReader::Open(path, file, &found)) return Source::Readable;
    return found == RegularFile::Kind::Missing ? Source::Missing : Source::Damaged;
}

MediaFileCopier::Result MediaFileCopier::Copy(const SaveFolder& folder, const QString& name,
                                              const QString& source, const QByteArray& prefix) {
    Result result;
    QFile in;
    switch (OpenStored(source, in)) {
    case Source::Readable:
        break;
    case Source::Missing:
        result.outcome = Outcome::SourceMissing;
        return result;
    case Source::Damaged:
        result.outcome = Outcome::SourceUnreadable;
        return result;
    }
    // The names SaveFolder::UniqueFileFor walks: a file already there with the same
    // content ends the walk, the first free name takes the copy.
    for (int n = 1; n <= kMaxDuplicates; ++n) {
        const auto path = folder.FileFor(SaveFolder::NumberedName(name, n));
        if (!path) {
            if (n == 1) return result; // no place for it at all
            continue;
        }
        if (QFileInfo::exists(*path)) {
            if (SameContent(*path, in, prefix)) {
                result.outcome = Outcome::Identical;
                result.path = *path;
                return result;
            }
            continue;
        }
        if (!WriteCopy(*path, in, prefix)) {
            if (QFileInfo::exists(*path)) continue; // taken meanwhile: the next name
            return result;
        }
        result.outcome = Outcome::Written;
        result.path = *path;
        return result;
    }
    return result;
}

QByteArray MediaFileCopier::Head(const QString& path, qint64 max, Source* source) {
    QFile f;
    const Source s = OpenStored(path, f);
    if (source) *source = s;
    if (s != Source::Readable) return QByteArray();
    return f.read(max);
}
