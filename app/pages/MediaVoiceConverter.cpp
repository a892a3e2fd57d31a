#include "app/pages/MediaVoiceConverter.h"

#include "media/AudPlay.h"

bool MediaVoiceConverter::SaveMP3(const QString& silkPath, const QString& mp3Path) {
    return AudPlay::shareInstance()->SaveMP3(silkPath, mp3Path);
}
