#pragma once
#include "core/util/RegularFile.h"

#include <QFile>
#include <QString>

// Stored files of a backup for the Qt readers (pictures, previews, copies): opened by
// RegularFile::OpenStoredPath (below the backup folder no link is followed, a pipe in
// the file's place never blocks, only a regular file opens) and handed to a QFile, which
// then reads that descriptor: the path is not opened again.
class StoredFileReader {
  public:
    StoredFileReader() = delete;

    // Opens the stored file at `path` (its full path) for `file`, which must not be open.
    // False when no regular file is there; `found` (when given) tells what was.
    static bool Open(const QString& path, QFile& file, RegularFile::Kind* found = nullptr);
};
