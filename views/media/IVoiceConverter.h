#pragma once
#include <QString>

// Writes a SILK voice file as an MP3 file. Implemented over the media library's voice
// player in the application and by a scripted fake in tests.
class IVoiceConverter {
  public:
    virtual ~IVoiceConverter() = default;
    // Decodes `silkPath` and writes the MP3 to `mp3Path`; false when anything failed, and
    // then no partial file is left at `mp3Path`. Never writes beside `silkPath`.
    virtual bool SaveMP3(const QString& silkPath, const QString& mp3Path) = 0;
};
