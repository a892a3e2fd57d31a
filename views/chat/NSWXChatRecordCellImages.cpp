#include "views/chat/NSWXChatRecordCellImages.h"

#include "gui/MainQueue.h"
#include "platform/ImageFileReader.h"

#include <QFile>

NSWXChatRecordCellImages::NSWXChatRecordCellImages(QObject* parent)
    : QObject(parent), relay_(std::make_shared<Relay>()) {
    relay_->owner = this;
    pool_.setMaxThreadCount(2);
}

NSWXChatRecordCellImages::~NSWXChatRecordCellImages() {
    {
        std::lock_guard<std::mutex> lock(relay_->mutex);
        relay_->owner = nullptr;
    }
    pool_.clear();
    pool_.waitForDone();
}

QSize NSWXChatRecordCellImages::SizeOf(const QString& path) {
    if (path.isEmpty()) return {};
    if (const auto it = sizes_.constFind(path); it != sizes_.constEnd()) return *it;
    ++sizeReads_;
    // Read as every picture is (a stored file of the backup, orientation applied).
    QSize size = ImageFileReader::SizeOf(path);
    if (!size.isValid() || size.isEmpty() || size.width() > MaxSide || size.height() > MaxSide)
        size = QSize();
    sizes_.insert(path, size);
    return size;
}

QImage NSWXChatRecordCellImages::Picture(const QString& path) {
    if (!SizeOf(path).isValid()) return {};
    if (const auto it = pictures_.constFind(path); it != pictures_.constEnd()) {
        order_.remove(path);
        order_.push_back(path);
        return *it;
    }
    if (loading_.contains(path) || failed_.contains(path)) return {};
    loading_.insert(path);
    pool_.start([relay = relay_, path] {
        QImage image;
        const QSize size = ImageFileReader::SizeOf(path);
        if (size.isValid() && size.width() <= MaxSide && size.height() <= MaxSide)
            image = ImageFileReader::Read(path, QSize());
        std::lock_guard<std::mutex> lock(relay->mutex);
        if (NSWXChatRecordCellImages* owner = relay->owner)
            MainQueue::Post(owner, [owner, path, image] { owner->Done(path, image); });
    });
    return {};
}

void NSWXChatRecordCellImages::Done(const QString& path, const QImage& image) {
    loading_.remove(path);
    if (image.isNull()) {
        failed_.insert(path);
        sizes_.insert(path, QSize());
    } else {
        pictures_.insert(path, image);
        order_.push_back(path);
        bytes_ += image.sizeInBytes();
        while (bytes_ > MaxBytes && order_.size() > 1) {
            const QString oldest = order_.front();
            order_.pop_front();
            bytes_ -= pictures_.take(oldest).sizeInBytes();
        }
    }
    emit Loaded(path);
}

QImage NSWXChatRecordCellImages::BundleImage(const QString& name, bool dark) {
    static QHash<QString, QImage> kept;
    const QString key = dark ? name + "_black" : name;
    if (const auto it = kept.constFind(key); it != kept.constEnd()) return *it;
    QImage image;
    if (dark && QFile::exists(":/images/" + key + ".svg")) image = QImage(":/images/" + key + ".svg");
    if (image.isNull()) image = QImage(":/images/" + name + ".svg");
    kept.insert(key, image);
    return image;
}
