#pragma once
#include <QString>

// Folders the application makes for itself under its cache root, and their removal.
// Nothing here follows a symbolic link: a link found on the way is removed as a link,
// never the place it points to, and a folder that is itself a link, or that does not
// lie inside the root, is left alone.
class CacheFolder {
  public:
    // Makes a new, empty folder `name` inside `parent` (made first when missing). False
    // when it already exists, when `parent` is a symbolic link or not a folder, or on
    // failure: a folder returned true for was made by this call.
    static bool MakeNew(const QString& parent, const QString& name);
    // Removes `folder` with everything in it, only when it is a real folder (no symbolic
    // link) strictly inside `root` and no folder between `root` and it is a link. True
    // when the folder is gone afterwards (also when it was never there).
    static bool RemoveInside(const QString& folder, const QString& root);
};
