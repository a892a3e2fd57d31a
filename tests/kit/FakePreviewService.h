#pragma once
// A preview service that records every call instead of opening a window.
#include "views/media/IPreviewService.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <mutex>
#include <vector>

namespace kit {

class FakePreviewService final : public IPreviewService {
  public:
    struct Call {
        QString what;    // "photo", "thumbnail", "video", "silk", "audio", "voice",
                         // "text", "none"
        QString path;    // the path (empty for "audio" and "none")
        QString title;   // "photo" and "none" only
        QByteArray data; // "audio" only
    };

    void ShowPhoto(const QString& path, const QString& title) override;
    void ShowPhotoThumbnail(const QString& path) override;
    void ShowVideo(const QString& path) override;
    void ShowSilkVoice(const QString& path) override;
    void ShowAudioData(const QByteArray& data) override;
    void ShowVoiceFile(const QString& path) override;
    void ShowText(const QString& path) override;
    void ShowNoPreview(const QString& title) override;

    std::vector<Call> Calls() const;
    // The kinds of the calls in order ("photo", "audio", ...).
    QStringList Kinds() const;
    void Clear();

  private:
    void Add(Call call);
    mutable std::mutex mutex;
    std::vector<Call> calls;
};

} // namespace kit
