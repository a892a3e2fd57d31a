#pragma once
// A voice converter that records every call and answers as scripted: it writes a small
// stand-in MP3 file, fails, or throws.
#include "views/media/IVoiceConverter.h"

#include <QString>

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

namespace kit {

class FakeVoiceConverter final : public IVoiceConverter {
  public:
    enum class Answer { Write, Fail, Throw };

    bool SaveMP3(const QString& silkPath, const QString& mp3Path) override;

    // The content written for a successful conversion.
    static QByteArray Mp3Bytes() { return QByteArrayLiteral("ID3-fake-mp3"); }
    std::vector<std::pair<QString, QString>> Calls() const;
    std::atomic<Answer> answer{Answer::Write};

  private:
    mutable std::mutex mutex;
    std::vector<std::pair<QString, QString>> calls;
};

} // namespace kit
