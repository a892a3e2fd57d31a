#pragma once
#include "views/media/IPreviewService.h"

// The result views' previews on the application's preview windows: each call shows the
// shared window of its kind in front of the window the user works in, titled, and loads
// the content.
class MediaPreviewService final : public IPreviewService {
  public:
    void ShowPhoto(const QString& path, const QString& title) override;
    void ShowPhotoThumbnail(const QString& path) override;
    void ShowVideo(const QString& path) override;
    void ShowSilkVoice(const QString& path) override;
    void ShowAudioData(const QByteArray& data) override;
    void ShowVoiceFile(const QString& path) override;
    void ShowText(const QString& path) override;
    void ShowNoPreview(const QString& title) override;
};
