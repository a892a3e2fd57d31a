#pragma once
#include "scan/NSFileData.h"
#include "views/media/IPreviewService.h"

#include <QString>

#include <functional>

// What a tile's play, picture and text buttons open: the file's kind decides the
// preview window. Voice messages without the SILK mark are played as AMR, the header
// added only when missing, and the data also lands in "text.amr" of the cache folder
// (never beside the stored file: the backup is read only).
class MediaPlayDispatcher {
  public:
    // Milliseconds of a steady clock.
    using Clock = std::function<qint64()>;
    // True when a record's suffix pattern ("*.m4a;") names an audio file type.
    using AudioTest = std::function<bool(const QString& suffix)>;

    // Empty functions take the defaults: the audio list of ":/exc/conf" and a steady clock.
    explicit MediaPlayDispatcher(IPreviewService& preview, AudioTest isAudio = {}, Clock clock = {});

    enum class Outcome {
        Video,      // the video window got the path
        Silk,       // the voice window got the SILK file's path
        AudioData,  // the voice window got the file's bytes
        Guarded,    // a second play within 2 s of the last: nothing
        Unreadable, // the stored file could not be read: logged, nothing opened
    };

    // The play button. `guarded`: a second play within 2 s of the first does nothing.
    Outcome Play(const NSFileData& file, bool guarded);
    // The picture of a photo tile.
    void ShowPhoto(const NSFileData& file);
    // The text button of a text tile.
    void ShowText(const NSFileData& file);
    // A file no preview window shows: says so.
    void ShowNoPreview(const NSFileData& file);
    // An attachment of any kind: what the file is decides (pictures and text in their
    // windows, video and audio played as by the video and audio grids' play buttons,
    // other files said to have no preview).
    void Open(const NSFileData& file);

    // Where "text.amr" goes; by default "scan/play" in the application's cache folder
    // (emptied with every new scan).
    void SetCacheFolder(const QString& folder) { cacheFolder_ = folder; }
    QString CacheFolder() const;

    // The time a second play is refused after the first, in milliseconds.
    static constexpr qint64 kGuardMs = 2000;
    // The largest file played from memory.
    static constexpr qint64 kMaxAudioBytes = qint64(256) << 20;
    // The audio suffix patterns of ":/exc/conf" (upper case), read once.
    static bool DefaultIsAudio(const QString& suffix);

  private:
    IPreviewService& preview_;
    AudioTest isAudio_;
    Clock clock_;
    QString cacheFolder_;
    qint64 lastPlay_ = 0;
    bool played_ = false;
};
