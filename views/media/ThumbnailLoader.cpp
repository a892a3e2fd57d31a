#include "views/media/ThumbnailLoader.h"

#include "gui/MainQueue.h"
#include "gui/MyExtensions.h"
#include "platform/ImageFileReader.h"

#include <QDebug>
#include <QFileInfo>

#include <mutex>

struct ThumbnailLoader::Shared {
    std::mutex mutex;
    QSet<QString> wanted;
};

ThumbnailLoader::ThumbnailLoader(QObject* parent)
    : QObject(parent), cache_(kCacheKiB), shared_(std::make_shared<Shared>()) {
    pool_.setMaxThreadCount(2);
}

ThumbnailLoader::~ThumbnailLoader() {
    pool_.clear();
    pool_.waitForDone();
}

void ThumbnailLoader::BeginFrame() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->wanted.clear();
}

ThumbnailLoader::State ThumbnailLoader::Get(const QString& path, QImage* image, const QString& name) {
    if (const QImage* cached = cache_.object(path)) {
        if (image) *image = *cached;
        return State::Ready;
    }
    if (failed_.contains(path)) return State::Failed;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->wanted.insert(path);
    }
    if (pending_.contains(path)) return State::Loading;
    pending_.insert(path);
    const quint64 generation = generation_;
    std::shared_ptr<Shared> shared = shared_;
    const QString logName = name.isEmpty() ? QFileInfo(path).fileName() : name;
    pool_.start([this, shared, path, generation, logName] {
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            if (!shared->wanted.contains(path)) {
                MainQueue::Post(this,
                                [this, path, generation] { Finished(path, QImage(), true, generation); });
                return;
            }
        }
        QString why;
        QImage image = MakeThumbnail(path, &why);
        if (image.isNull())
            qWarning().noquote() << QStringLiteral("【日志】找不到图片资源:Name:%1 , Path:%2")
                                        .arg(MyExtensions::thumb17(logName), path)
                                 << why;
        MainQueue::Post(this, [this, path, image, generation] { Finished(path, image, false, generation); });
    });
    return State::Loading;
}

void ThumbnailLoader::Finished(const QString& path, const QImage& image, bool dropped, quint64 generation) {
    if (generation != generation_) return; // from before Clear
    pending_.remove(path);
    if (dropped) {
        if (!dropNotified_) {
            dropNotified_ = true;
            MainQueue::Post(this, [this] {
                dropNotified_ = false;
                emit Dropped();
            });
        }
        return;
    }
    if (image.isNull()) {
        failed_.insert(path);
    } else {
        const int cost = int(std::max<qint64>(1, image.sizeInBytes() / 1024));
        cache_.insert(path, new QImage(image), cost); // the cache owns it
    }
    emit Ready(path);
}

void ThumbnailLoader::Clear() {
    ++generation_;
    pool_.clear();
    cache_.clear();
    failed_.clear();
    pending_.clear();
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->wanted.clear();
}

QSize ThumbnailLoader::ThumbnailSize(const QSize& size) {
    if (size.width() <= 0 || size.height() <= 0) return QSize();
    const qint64 w = size.width(), h = size.height();
    // w / h < 109 / 124, without floating point.
    if (w * kBoxHeight < h * kBoxWidth)
        return QSize(int(std::max<qint64>(1, w * kBoxHeight / h)), kBoxHeight);
    return QSize(kBoxWidth, int(std::max<qint64>(1, h * kBoxWidth / w)));
}

QImage ThumbnailLoader::MakeThumbnail(const QString& path, QString* why) {
    const QFileInfo info(path);
    if (!info.isFile()) {
        if (why) *why = QStringLiteral("missing");
        return QImage();
    }
    if (info.size() > kMaxFileBytes || info.size() == 0) {
        if (why) *why = QStringLiteral("size %1").arg(info.size());
        return QImage();
    }
    const QSize target = ThumbnailSize(ImageFileReader::SizeOf(path));
    if (!target.isValid()) {
        if (why) *why = QStringLiteral("no picture");
        return QImage();
    }
    QImage image = ImageFileReader::Read(path, target, why);
    if (image.isNull()) return image;
    if (image.size() != target) image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}
