#pragma once
#include "gui/SaveFolder.h"
#include "scan/NSFileData.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// Copies stored backup files into a save folder. The source is streamed in chunks
// through QSaveFile (videos reach gigabytes); a file already there with the same
// content is left alone, a different one is never replaced: the copy then goes to
// "name (2).ext", "name (3).ext" ... composed within the name length limit by
// SaveFolder::UniqueFileFor. A stored file is opened without following a link below the
// backup folder (StoredFileReader): a link in its place or in its two-character folder's,
// a folder, a pipe or a device is a damaged entry and never read.
class MediaFileCopier {
  public:
    MediaFileCopier() = delete;

    enum class Outcome {
        Written,          // a new file was written
        Identical,        // a file with the same content was already there
        SourceMissing,    // the backup does not hold the file (no stored file, or none there)
        SourceUnreadable, // the stored file is damaged (a link, not a regular file) or cannot be read
        WriteFailed,      // no place in the folder, or the write failed
    };
    struct Result {
        Outcome outcome = Outcome::WriteFailed;
        QString path; // the file written or found identical
        bool ok() const { return outcome == Outcome::Written || outcome == Outcome::Identical; }
    };

    // The path of a record's stored file: BackUpPath and SHA1 joined by exactly one "/".
    static QString StoredPath(const NSFileData& file);
    static QString StoredPath(const QString& backUpPath, const QString& sha1);

    // Copies `source` into `folder` as `name` (made safe by SaveFolder), with `prefix`
    // written before the source's bytes.
    static Result Copy(const SaveFolder& folder, const QString& name, const QString& source,
                       const QByteArray& prefix = QByteArray());

    // What is at a stored file's path.
    enum class Source { Readable, Missing, Damaged };
    // Opens the stored file at `path` for reading without following a link below the
    // backup folder (and without blocking on a pipe); `file` then reads it. Only a regular
    // file is Readable; "" and a path naming nothing are Missing; anything else Damaged.
    static Source OpenStored(const QString& path, QFile& file);

    // The first `max` bytes of a stored file; empty when it cannot be read. `source`
    // tells why.
    static QByteArray Head(const QString& path, qint64 max, Source* source = nullptr);
};
