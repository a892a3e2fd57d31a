#pragma once
#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QThreadPool>

#include <memory>

// Thumbnails of picture files, made off the GUI thread: a small thread pool reads each
// file scaled into the tile's box (only files under a size limit, with the image
// reader's allocation limit), and the results come back queued into a cache bounded by
// bytes. Work for tiles no longer painted is dropped before it starts.
//
// GUI thread only, except the pool's tasks.
class ThumbnailLoader : public QObject {
    Q_OBJECT
  public:
    enum class State { Loading, Ready, Failed };

    explicit ThumbnailLoader(QObject* parent = nullptr);
    ~ThumbnailLoader() override;

    // Marks the start of a paint: what is not asked for again before the tasks start
    // is dropped.
    void BeginFrame();
    // The thumbnail of `path`: Ready with the image, Failed, or Loading (started now
    // or earlier; Ready is signalled when done). `name` is the file's name for the log.
    State Get(const QString& path, QImage* image, const QString& name = QString());
    // Forgets every thumbnail and failure; queued work is dropped.
    void Clear();

    // The size of a thumbnail of a picture of `size` in the 109 x 124 box: a picture
    // narrower than the box's proportion takes its height, any other its width.
    static QSize ThumbnailSize(const QSize& size);
    // Reads one thumbnail now (any thread); null when the file is missing, too large,
    // or no picture.
    static QImage MakeThumbnail(const QString& path, QString* why = nullptr);

    static constexpr int kBoxWidth = 109;
    static constexpr int kBoxHeight = 124;
    // Files above this size get no thumbnail.
    static constexpr qint64 kMaxFileBytes = qint64(64) << 20;
    // The cache's bound.
    static constexpr int kCacheKiB = 64 * 1024;

  signals:
    // A thumbnail (or its failure) of `path` is known now.
    void Ready(const QString& path);
    // Work was dropped: the painted tiles should ask again.
    void Dropped();

  private:
    struct Shared;
    void Finished(const QString& path, const QImage& image, bool dropped, quint64 generation);

    QThreadPool pool_;
    QCache<QString, QImage> cache_;
    QSet<QString> failed_;
    QSet<QString> pending_;
    std::shared_ptr<Shared> shared_;
    quint64 generation_ = 0;
    bool dropNotified_ = false;
};
