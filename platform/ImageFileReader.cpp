#include "platform/ImageFileReader.h"

#include "platform/HeifImageReader.h"
#include "platform/StoredFileReader.h"

#include <QFile>
#include <QImageReader>

namespace {

QSize FitInside(const QSize& size, const QSize& box) {
    if (box.isEmpty() || (size.width() <= box.width() && size.height() <= box.height())) return size;
    return size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

} // namespace

QImage ImageFileReader::Read(const QString& path, const QSize& box, QString* why) {
    QFile file;
    if (!StoredFileReader::Open(path, file)) {
        if (why) *why = QStringLiteral("not a regular file");
        return {};
    }
    // Qt has no HEIF reader of its own here; libheif reads those.
    if (HeifImageReader::CanRead(file)) return HeifImageReader::Read(file, box, kAllocationLimitMb, why);
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(kAllocationLimitMb);
    QSize size = reader.size();
    if (size.isValid()) {
        // The stored size is before orientation: a quarter turn swaps the sides.
        if (reader.transformation() & QImageIOHandler::TransformationRotate90) size.transpose();
        const QSize wanted = FitInside(size, box);
        if (wanted != size) {
            QSize scaled = wanted;
            if (reader.transformation() & QImageIOHandler::TransformationRotate90) scaled.transpose();
            reader.setScaledSize(scaled);
        }
    }
    QImage image = reader.read();
    if (image.isNull()) {
        if (why) *why = reader.errorString();
        return {};
    }
    if (!box.isEmpty() && (image.width() > box.width() || image.height() > box.height()))
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

QSize ImageFileReader::SizeOf(const QString& path) {
    QFile file;
    if (!StoredFileReader::Open(path, file)) return {};
    if (HeifImageReader::CanRead(file)) return HeifImageReader::SizeOf(file);
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (size.isValid() && (reader.transformation() & QImageIOHandler::TransformationRotate90))
        size.transpose();
    return size;
}
