#pragma once
#include <QByteArray>
#include <QString>

#include <optional>

// The one place where names taken from a backup become paths of the save. Every view
// that writes asks it for its file paths inside the folder the user chose.
//
// A name is made safe first: "/", "\", NUL and other control characters become "_";
// "", "." and ".." become "_"; a name longer than 200 bytes of UTF-8 is cut at a
// character boundary, keeping its extension. The path is then checked to lie directly
// inside the folder after links are resolved, and a link in its place is refused.
class SaveFolder {
  public:
    static constexpr int MaxNameBytes = 200;

    // `folder` must be an existing folder; it is resolved once (links included).
    explicit SaveFolder(const QString& folder);

    // False when the folder does not exist or is not a folder.
    bool isValid() const { return !root_.isEmpty(); }
    // The resolved folder ("" when not valid).
    const QString& folder() const { return root_; }

    // The safe form of a name from the backup.
    static QString SafeName(const QString& name);

    // The n-th name UniqueFileFor tries for `name` (n from 1): its safe form, then
    // "name (2).ext", "name (3).ext" ... the stem cut so that the whole, suffix
    // included, stays within MaxNameBytes.
    static QString NumberedName(const QString& name, int n);

    // A path inside the folder for `name`; it may name an existing file, which the
    // caller must then neither truncate nor replace (open it with NewOnly or Append).
    // Nothing when the folder is not valid or the place is taken by a link or a folder.
    std::optional<QString> FileFor(const QString& name) const;
    // A path inside the folder that names nothing yet: `name`, else "name (2).ext",
    // "name (3).ext" ... Nothing when the folder is not valid or no free name is found.
    std::optional<QString> UniqueFileFor(const QString& name) const;

    // Writes `data` into a new file at `path`; fails, changing nothing, when anything is
    // there already (a link included).
    static bool WriteNewFile(const QString& path, const QByteArray& data);

  private:
    std::optional<QString> Inside(const QString& safeName) const;

    QString root_;
};
