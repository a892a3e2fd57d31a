#pragma once
#include "app/common/DirizaSaveResult.h"
#include "app/common/SaveFolder.h"
#include "scan/NSFileData.h"
#include "views/chat/IVoiceConverter.h"
#include "views/system/frame/SaveSnapshot.h"

#include <QString>

#include <functional>
#include <optional>

// One save of media files into a localised subfolder of the chosen folder: before each
// file it asks whether to stop and reports progress; copies never replace a different
// file; every file that could not be written is logged and counted.
class MediaSave {
  public:
    MediaSave(QString folderName, int total, std::function<bool()> stop, std::function<void(int, int)> progress);

    // Makes (or finds) the subfolder; false, with every file counted as failed, when it
    // cannot be made.
    bool Open(const QString& folder);
    // Copies one stored file under its name; false when the save is to stop.
    bool CopyFile(const NSFileData& file);
    // A voice message (".aud"): SILK becomes ".mp3" through the converter, anything
    // else ".amr" with the AMR header when it lacks one. False when the save is to stop.
    bool SaveVoice(const NSFileData& file, IVoiceConverter& converter);
    DirizaSaveResult Result() const { return run_.result; }
    // The subfolder (after Open).
    const std::optional<SaveFolder>& Target() const { return target_; }

  private:
    void Count(const QString& name, const QString& source, bool ok, const QString& what);

    QString folderName_;
    SaveRun run_;
    std::optional<SaveFolder> target_;
};
