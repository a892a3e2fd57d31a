#pragma once
#include "gui/DirizaSaveResult.h"
#include "gui/SaveFolder.h"
#include "scan/NSFileData.h"
#include "views/media/IVoiceConverter.h"
#include "views/media/MediaFileCopier.h"
#include "views/frame/SaveSnapshot.h"

#include <QString>

#include <functional>
#include <optional>

// One save of media files into a localised subfolder of the chosen folder: before each
// file it asks whether to stop and reports progress; copies never replace a different
// file; every file that could not be written is logged and counted, and a file the
// backup does not hold is logged and counted apart. Every log line names the file.
class MediaSave {
  public:
    MediaSave(QString folderName, int total, std::function<bool()> stop,
              std::function<void(int, int)> progress);

    // Makes (or finds) the subfolder; false, with every file counted as failed, when it
    // cannot be made.
    bool Open(const QString& folder);
    // Copies one stored file under its name; false when the save is to stop.
    bool CopyFile(const NSFileData& file);
    // A voice message (".aud"): SILK becomes ".mp3" through the converter, anything
    // else ".amr" with the AMR header when it lacks one. The converter writes into a
    // file of this save's own, which takes its place under a free name only when the
    // conversion succeeded; a failure removes only that file. False when the save is
    // to stop.
    bool SaveVoice(const NSFileData& file, IVoiceConverter& converter);
    DirizaSaveResult Result() const { return run_.result; }
    // The subfolder (after Open).
    const std::optional<SaveFolder>& Target() const { return target_; }

  private:
    void Count(const QString& name, const QString& source, MediaFileCopier::Outcome outcome,
               const QString& what);
    bool Convert(const QString& source, const QString& mp3Name, IVoiceConverter& converter);

    QString folderName_;
    SaveRun run_;
    std::optional<SaveFolder> target_;
};
