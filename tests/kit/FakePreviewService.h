#pragma once
#include "views/chat/IPreviewService.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kit {

// Records every preview a view asks for, as "Kind:argument" lines in call order.
class FakePreviewService : public IPreviewService {
  public:
    void ShowPhoto(const QString& path, const QString& title) override;
    void ShowVideo(const QString& path) override;
    void ShowSilkVoice(const QString& path) override;
    void ShowAudioData(const QByteArray& data) override;
    void ShowVoiceFile(const QString& path) override;
    void ShowText(const QString& path) override;

    QStringList calls;
    QByteArray lastAudio;
};

} // namespace kit
