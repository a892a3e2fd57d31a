#pragma once
#include "views/media/IVoiceConverter.h"

// Voice messages to MP3 through the application's shared voice player.
class MediaVoiceConverter final : public IVoiceConverter {
  public:
    bool SaveMP3(const QString& silkPath, const QString& mp3Path) override;
};
