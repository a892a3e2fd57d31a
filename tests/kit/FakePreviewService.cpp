#include "tests/kit/FakePreviewService.h"

namespace kit {

void FakePreviewService::ShowPhoto(const QString& path, const QString& title) {
    calls << "Photo:" + path + (title.isEmpty() ? QString() : "|" + title);
}
void FakePreviewService::ShowVideo(const QString& path) { calls << "Video:" + path; }
void FakePreviewService::ShowSilkVoice(const QString& path) { calls << "Silk:" + path; }
void FakePreviewService::ShowAudioData(const QByteArray& data) {
    lastAudio = data;
    calls << "AudioData:" + QString::number(data.size());
}
void FakePreviewService::ShowVoiceFile(const QString& path) { calls << "Voice:" + path; }
void FakePreviewService::ShowText(const QString& path) { calls << "Text:" + path; }

} // namespace kit
