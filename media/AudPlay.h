#pragma once
#include "media/PCMDataPlayer.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>

// Plays SILK voice files and writes them as MP3. Playback: SILK_Decoder decodes the voice
// into a PCM file in the media work folder, APlay feeds that file in 640-byte chunks from a
// GUI-thread timer to a PCMDataPlayer. Export: SaveMP3 decodes into a temporary file of its
// own and encodes it with LAME; it may run on any thread and touches no playback state.
class AudPlay : public QObject {
    Q_OBJECT
  public:
    static constexpr int kChunk = 640;
    static constexpr int kTickMs = 12;

    explicit AudPlay(PcmSinkFactory sinks = {}, QObject* parent = nullptr);
    ~AudPlay() override;

    // The process-wide instance (made on first use, any thread).
    static AudPlay* shareInstance();

    // Decodes the voice file into a new PCM file in the work folder (the one of the
    // previous call is removed first) and returns its path, also when decoding failed
    // (there is then no file, and getPlayAllLeng() is 0).
    QString SILK_Decoder(const QString& voicePath);
    // Seconds of voice decoded last (0 when the last decoding failed).
    float getPlayAllLeng() const { return playAllLeng.load(); }
    // Starts feeding the PCM file: 1 when the feed runs, -1 when it cannot be opened.
    // While a file is being fed, the feed goes on from where it is and `pcmPath` is unused.
    int APlay(const QString& pcmPath);
    // One feed step (the timer's tick).
    void readNextPCMData();
    // Ends playback at once.
    void Stop();
    bool isPlay() const { return playing; }
    // True while a file is open for playing (fed or draining).
    bool isFeeding() const { return pcmFile.isOpen(); }
    // Writes the voice file as a mono 24000 Hz MP3 at `mp3Path`; false, with nothing left at
    // `mp3Path`, when anything fails. An existing file at `mp3Path` is never replaced.
    bool SaveMP3(const QString& voicePath, const QString& mp3Path);

    // Ticks a drain may take before the output is given up (a device that stopped consuming).
    static constexpr int kDrainTicks = 200;

  private:
    void finishFeed();

    std::unique_ptr<PCMDataPlayer> player;
    QFile pcmFile;
    QByteArray pcmDataBuffer; // the chunk read and not yet taken by the player
    QTimer sendDataTimer;
    bool playing = false;
    bool draining = false;
    int drainTicks = 0;
    std::atomic<float> playAllLeng{0.0f};
    QString decodedPcm; // the PCM file SILK_Decoder made last
};
