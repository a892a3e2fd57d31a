#include "media/QtPcmSink.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

QtPcmSink::QtPcmSink() = default;

QtPcmSink::~QtPcmSink() {
    stop();
}

bool QtPcmSink::HasOutputDevice() {
    return !QMediaDevices::defaultAudioOutput().isNull();
}

PcmSinkFactory QtPcmSink::Factory() {
    return [] { return std::unique_ptr<IPcmSink>(new QtPcmSink); };
}

bool QtPcmSink::start(const Format& format, int bufferBytes) {
    stop();
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    if (output.isNull()) {
        startError = QStringLiteral("no audio output device");
        return false;
    }
    QAudioFormat f;
    f.setSampleRate(format.sampleRate);
    f.setChannelCount(format.channels);
    f.setSampleFormat(QAudioFormat::Int16);
    if (!output.isFormatSupported(f)) {
        startError =
            QStringLiteral("the audio output does not take 16-bit PCM at %1 Hz").arg(format.sampleRate);
        return false;
    }
    bytesPerSecond = int64_t(format.sampleRate) * format.channels * format.bytesPerSample;
    sink = std::make_unique<QAudioSink>(output, f);
    sink->setBufferSize(bufferBytes);
    device = sink->start();
    if (!device || sink->error() == QAudio::OpenError || sink->error() == QAudio::FatalError) {
        startError = QStringLiteral("the audio output cannot be opened");
        sink.reset();
        device = nullptr;
        return false;
    }
    startError.clear();
    return true;
}

int64_t QtPcmSink::bytesFree() const {
    return sink ? sink->bytesFree() : 0;
}

int64_t QtPcmSink::write(const char* data, int64_t n) {
    if (!device) return -1;
    return device->write(data, n);
}

int64_t QtPcmSink::bytesProcessed() const {
    if (!sink) return 0;
    return BytesIn(sink->processedUSecs(), bytesPerSecond);
}

int64_t QtPcmSink::BytesIn(int64_t usecs, int64_t bytesPerSecond) {
    return (usecs * bytesPerSecond + 500000) / 1000000;
}

void QtPcmSink::stop() {
    if (sink) {
        sink->stop();
        sink.reset();
    }
    device = nullptr;
}

bool QtPcmSink::failed() const {
    if (!startError.isEmpty()) return true;
    if (!sink) return false;
    const QAudio::Error e = sink->error();
    return e == QAudio::OpenError || e == QAudio::IOError || e == QAudio::FatalError;
}

QString QtPcmSink::error() const {
    if (!startError.isEmpty()) return startError;
    if (!sink) return QString();
    switch (sink->error()) {
    case QAudio::OpenError:
        return QStringLiteral("audio output open error");
    case QAudio::IOError:
        return QStringLiteral("audio output I/O error");
    case QAudio::FatalError:
        return QStringLiteral("audio output fatal error (device gone)");
    default:
        return QString();
    }
}
