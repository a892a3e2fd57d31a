#pragma once
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QThreadPool>

#include <list>

#include <memory>
#include <mutex>

// The pictures the message cells draw: the application's own drawings by name (light or
// dark), and the stored picture and video thumbnail files of messages. A file's size
// comes from its header alone and is kept per file; the picture itself is decoded on a
// worker thread into a cache bounded by bytes, and `Loaded` asks for a repaint. Files
// that cannot be read, hold no picture, or claim a side above `MaxSide` count as
// unreadable. GUI thread only.
class NSWXChatRecordCellImages : public QObject {
    Q_OBJECT
  public:
    static constexpr int MaxSide = 2048;

    explicit NSWXChatRecordCellImages(QObject* parent = nullptr);
    ~NSWXChatRecordCellImages() override;

    // The size of the picture in `path` (read once); invalid when unreadable.
    QSize SizeOf(const QString& path);
    // The decoded picture, or null while it loads or when unreadable.
    QImage Picture(const QString& path);
    // Header reads so far (each file is read once).
    int SizeReads() const { return sizeReads_; }

    // One of the application's drawings, ":/images/<name>.svg", or its "_black" variant
    // in the dark appearance (the light one when there is none).
    static QImage BundleImage(const QString& name, bool dark = false);

  signals:
    void Loaded(const QString& path);

  private:
    void Done(const QString& path, const QImage& image);

    QHash<QString, QSize> sizes_;
    // Decoded pictures, least recently used first, bounded by bytes.
    QHash<QString, QImage> pictures_;
    std::list<QString> order_;
    qint64 bytes_ = 0;
    static constexpr qint64 MaxBytes = 32LL * 1024 * 1024;
    QSet<QString> loading_;
    QSet<QString> failed_;
    int sizeReads_ = 0;
    QThreadPool pool_;
    struct Relay {
        std::mutex mutex;
        NSWXChatRecordCellImages* owner = nullptr;
    };
    std::shared_ptr<Relay> relay_;
};
