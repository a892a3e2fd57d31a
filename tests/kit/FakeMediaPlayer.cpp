#include "tests/kit/FakeMediaPlayer.h"

namespace kit {

FakeMediaPlayer::FakeMediaPlayer(bool withVideo) {
    if (withVideo) {
        picture = new QWidget;
        picture->setObjectName(QStringLiteral("FakeVideoPicture"));
    }
}

FakeMediaPlayer::~FakeMediaPlayer() {
    if (picture && !picture->parent()) delete picture.data();
}

void FakeMediaPlayer::setSourceFile(const QString& path) {
    sourceFile = path;
    emitStatus(Status::Loading);
}
void FakeMediaPlayer::setSourceData(const QByteArray& data) {
    sourceData = data;
    emitStatus(Status::Loading);
}
void FakeMediaPlayer::play() {
    calls << QStringLiteral("play");
    playing = true;
}
void FakeMediaPlayer::pause() {
    calls << QStringLiteral("pause");
    playing = false;
}
void FakeMediaPlayer::stop() {
    calls << QStringLiteral("stop");
    playing = false;
    positionMs = 0;
}
void FakeMediaPlayer::seek(int64_t ms) {
    calls << QStringLiteral("seek:%1").arg(ms);
    positionMs = ms;
}

MediaPlayerFactory FakeMediaPlayers::Factory() {
    return [this](bool withVideo) {
        auto p = std::make_unique<FakeMediaPlayer>(withVideo);
        made.push_back(p.get());
        return std::unique_ptr<IMediaPlayer>(std::move(p));
    };
}

} // namespace kit
