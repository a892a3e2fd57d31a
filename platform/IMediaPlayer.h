#pragma once
#include <QByteArray>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QWidget;

// A player for one audio or video file at a time, with an optional picture widget.
class IMediaPlayer {
  public:
    enum class Status {
        Loading,  // source set, nothing known yet
        Loaded,   // ready to play: duration and tracks known
        Buffered, // likely to keep up: controls may start playback
        End,      // played to its end
        Failed,   // the source cannot be played (error() says why)
    };

    virtual ~IMediaPlayer() = default;
    // Sets the file to play; status goes to Loading, later Loaded or Failed.
    virtual void setSourceFile(const QString& path) = 0;
    // Sets bytes to play (a complete file in memory).
    virtual void setSourceData(const QByteArray& data) = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    // Stops and goes back to the start.
    virtual void stop() = 0;
    virtual void seek(int64_t milliseconds) = 0;
    virtual int64_t position() const = 0; // milliseconds
    virtual int64_t duration() const = 0; // milliseconds; 0 when unknown
    virtual float volume() const = 0;     // 0..1
    virtual void setVolume(float volume) = 0;
    // False when the sound has nowhere to go (no output device): the picture plays silent.
    virtual bool hasSoundOutput() const { return true; }
    virtual bool hasVideo() const = 0;
    // The picture's natural size; invalid when unknown or without picture.
    virtual QSize videoSize() const = 0;
    virtual QString error() const = 0;
    // Called on the GUI thread at every change of status.
    virtual void setStatusHandler(std::function<void(Status)> handler) = 0;
    // The picture widget (owned by the player until reparented); null for audio only.
    virtual QWidget* widget() = 0;
};

// Makes a player; `withVideo` asks for a picture widget.
using MediaPlayerFactory = std::function<std::unique_ptr<IMediaPlayer>(bool withVideo)>;
