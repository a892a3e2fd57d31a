#include "gui/ZLImage.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

double Clamp01(double v) {
    if (!(v >= 0)) return 0; // also NaN
    return std::min(v, 1.0);
}

QByteArray Encode(const QImage& image, const char* format, int quality) {
    if (image.isNull()) return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    // JPEG has no alpha: flatten onto white rather than black.
    QImage source = image;
    if (qstrcmp(format, "jpeg") == 0 && image.hasAlphaChannel()) {
        source = QImage(image.size(), QImage::Format_RGB32);
        source.fill(Qt::white);
        QPainter p(&source);
        p.drawImage(0, 0, image);
    }
    if (!writer.write(source)) return {};
    return bytes;
}

int Quality(double factor) {
    return int(std::lround(Clamp01(factor) * 100));
}

QImage Canvas(const QSize& size) {
    QImage canvas(size, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    return canvas;
}

bool Usable(const QImage& image, const QSize& size) {
    return !image.isNull() && image.width() > 0 && image.height() > 0 && size.width() > 0 &&
           size.height() > 0 && qint64(size.width()) * size.height() <= ZLImage::MaxDecodePixels;
}

} // namespace

QImage ZLImage::imageFromView(QWidget* view) {
    if (!view) return {};
    return view->grab().toImage();
}

bool ZLImage::saveImage(const QImage& image, const QString& fileName) {
    if (image.isNull() || fileName.isEmpty()) return false;
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    const bool jpeg = suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg");
    const QByteArray data = jpeg ? Encode(image, "jpeg", Quality(0.85)) : Encode(image, "png", -1);
    if (data.isEmpty()) return false;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QByteArray ZLImage::compressedImageDataWithImg(const QImage& image, double rate) {
    return Encode(image, "jpeg", Quality(rate));
}

QImage ZLImage::resizeImage(const QImage& image, const QSize& size) {
    if (!Usable(image, size)) return {};
    QImage out = Canvas(size);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), image, QRectF(image.rect()));
    return out;
}

QImage ZLImage::resizeImage1(const QImage& image, const QSize& size) {
    if (!Usable(image, size)) return {};
    const double w = image.width(), h = image.height(), W = size.width(), H = size.height();
    const double rx = W / w, ry = H / h;
    const double k = rx > ry ? rx : ry;
    const QSizeF part(W / k, H / k);
    const double x = rx > ry ? 0 : (w - part.width()) / 2;
    const double y = ry > rx ? 0 : (h - part.height()) / 2;
    QImage out = Canvas(size);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), image, QRectF(QPointF(x, y), part));
    return out;
}

QImage ZLImage::resizeImage2(const QImage& image, const QSize& size) {
    if (!Usable(image, size)) return {};
    QImage out = Canvas(size);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    if (image.size() == size) {
        p.drawImage(0, 0, image);
        return out;
    }
    const double w = image.width(), h = image.height(), W = size.width(), H = size.height();
    const double rx = W / w, ry = H / h;
    const double k = std::max(rx, ry);
    const double nw = std::ceil(w * k), nh = std::ceil(h * k);
    double x = 0, y = 0;
    if (rx > ry) y = (H - nh) / 2;
    if (ry > rx) x = (W - nw) / 2;
    p.drawImage(QRectF(x, y, nw, nh), image, QRectF(image.rect()));
    return out;
}

double ZLImage::CompressionFactor(qint64 dataBytes, qint64 aimKB) {
    if (dataBytes <= 0) return 1.0;
    return Clamp01(double(aimKB) * 1000.0 / double(dataBytes));
}

QByteArray ZLImage::compressImgData(const QByteArray& data, qint64 aimKB) {
    if (data.isEmpty()) return {};
    const QImage image = Decode(data);
    if (image.isNull()) return {};
    return compressedImageDataWithImg(image, CompressionFactor(data.size(), aimKB));
}

QImage ZLImage::jointedImageWithImages(const QList<QImage>& images) {
    int width = 0, height = 0;
    for (const QImage& i : images) {
        if (i.isNull()) continue;
        if (width > ZLImage::MaxDecodePixels - i.width()) return {};
        width += i.width();
        height = std::max(height, i.height());
    }
    if (width == 0 || height == 0 || qint64(width) * height > MaxDecodePixels) return {};
    QImage out = Canvas(QSize(width, height));
    QPainter p(&out);
    int x = 0;
    for (const QImage& i : images) {
        if (i.isNull()) continue;
        p.drawImage(x, height - i.height(), i);
        x += i.width();
    }
    return out;
}

QImage ZLImage::getCGImageRefFromNSImage(const QImage& image) {
    if (image.isNull()) return {};
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage ZLImage::getNSImageWithCGImageRef(const QImage& pixels) {
    if (pixels.isNull()) return {};
    QImage out = pixels.copy();
    out.setDevicePixelRatio(1.0);
    return out;
}

QImage ZLImage::getCIImageWithNSImage(const QImage& image) {
    if (image.isNull()) return {};
    return image.mirrored(false, true);
}

QImage ZLImage::imageWithNSView(QWidget* view) {
    const QImage picture = imageFromView(view);
    if (picture.isNull()) return {};
    return Decode(Encode(picture, "png", -1));
}

QImage ZLImage::Decode(const QByteArray& data) {
    if (data.isEmpty()) return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || qint64(size.width()) * size.height() > MaxDecodePixels)
        return {};
    QImage image;
    if (!reader.read(&image)) return {};
    return image;
}
