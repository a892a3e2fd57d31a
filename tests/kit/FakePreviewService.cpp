#include "tests/kit/FakePreviewService.h"

namespace kit {

void FakePreviewService::Add(Call call) {
    std::lock_guard<std::mutex> lock(mutex);
    calls.push_back(std::move(call));
}

void FakePreviewService::ShowPhoto(const QString& path, const QString& title) {
    Add({QStringLiteral("photo"), path, title, {}});
}
void FakePreviewService::ShowPhotoThumbnail(const QString& path) {
    Add({QStringLiteral("thumbnail"), path, {}, {}});
}
void FakePreviewService::ShowVideo(const QString& path) {
    Add({QStringLiteral("video"), path, {}, {}});
}
void FakePreviewService::ShowSilkVoice(const QString& path) {
    Add({QStringLiteral("silk"), path, {}, {}});
}
void FakePreviewService::ShowAudioData(const QByteArray& data) {
    Add({QStringLiteral("audio"), {}, {}, data});
}
void FakePreviewService::ShowVoiceFile(const QString& path) {
    Add({QStringLiteral("voice"), path, {}, {}});
}
void FakePreviewService::ShowText(const QString& path) {
    Add({QStringLiteral("text"), path, {}, {}});
}
void FakePreviewService::ShowNoPreview(const QString& title) {
    Add({QStringLiteral("none"), {}, title, {}});
}

std::vector<FakePreviewService::Call> FakePreviewService::Calls() const {
    std::lock_guard<std::mutex> lock(mutex);
    return calls;
}

QStringList FakePreviewService::Kinds() const {
    std::lock_guard<std::mutex> lock(mutex);
    QStringList out;
    for (const Call& c : calls)
        out << c.what;
    return out;
}

void FakePreviewService::Clear() {
    std::lock_guard<std::mutex> lock(mutex);
    calls.clear();
}

} // namespace kit
