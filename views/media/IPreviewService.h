#pragma once
#include <QByteArray>
#include <QString>

// The preview windows as the chat and media views see them: each call shows its window
// (raised, titled `title` where one is given) and loads the content. Implemented over the
// media library's preview windows in the application and by a recording fake in tests.
class IPreviewService {
  public:
    virtual ~IPreviewService() = default;
    // A picture file; the window says so when it cannot be shown.
    virtual void ShowPhoto(const QString& path, const QString& title) = 0;
    // The thumbnail of a picture whose full file is not there: shown, and said to be
    // only the thumbnail.
    virtual void ShowPhotoThumbnail(const QString& path) = 0;
    // A stored video (or non-voice audio) file, played in the video window.
    virtual void ShowVideo(const QString& path) = 0;
    // A SILK voice file (0x02 "#!SILK_V3"), decoded and played.
    virtual void ShowSilkVoice(const QString& path) = 0;
    // Audio bytes in memory (AMR starting "#!AMR\n", or any other audio).
    virtual void ShowAudioData(const QByteArray& data) = 0;
    // A voice file of either kind (SILK or AMR), recognised by its content.
    virtual void ShowVoiceFile(const QString& path) = 0;
    // A stored text file.
    virtual void ShowText(const QString& path) = 0;
    // A file of a kind no preview window shows (a PDF, an office document): the window
    // titled `title` says so.
    virtual void ShowNoPreview(const QString& title) = 0;
};
