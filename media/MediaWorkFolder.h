#pragma once
#include <QString>

#include <functional>

// The one folder for files derived while playing (decoded voice, the video's ".mp4" name):
// the current scan's cache folder when the application has one, else "<cache>/media".
// Nothing is ever written beside a stored file in a backup.
class MediaWorkFolder {
  public:
    MediaWorkFolder() = delete;

    // Where the current scan's cache folder comes from (empty result or no provider: the
    // fallback). Set once by the application.
    static void SetProvider(std::function<QString()> provider);
    // The folder, created when missing; empty when none can be made.
    static QString Folder();
    // A path in the folder that no other use in this process gets: "<prefix><n><suffix>".
    static QString UniquePath(const QString& prefix, const QString& suffix);
};
