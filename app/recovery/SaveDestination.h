#pragma once
#include <QString>
#include <QStringList>

#include <functional>

// Whether a folder the user chose may receive a save: it must be an existing folder we
// can write to, and lie outside every folder the save reads from (the backup in use, the
// backups folder, the backup cache folder), links resolved.
class SaveDestination {
  public:
    enum class Verdict { Ok, Missing, NotFolder, NotWritable, InsideSource };
    // True when files can be created in the folder.
    using WritableProbe = std::function<bool(const QString& folder)>;

    static Verdict Check(const QString& folder, const QStringList& sources, const WritableProbe& writable);
    // Creates and removes a temporary file in the folder (permission bits alone say
    // nothing when running as root).
    static bool CanCreateFileIn(const QString& folder);
};
