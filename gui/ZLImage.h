#pragma once
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

class QWidget;

// Image helpers: pictures of widgets, PNG/JPEG encoding, JPEG compression by factor or
// towards a size, three resizes, joining side by side, and a vertical flip. All are
// pure functions; a null image or empty data gives a null image or empty data, never
// a failure. Decoding refuses images above MaxDecodePixels.
class ZLImage {
  public:
    ZLImage() = delete;

    static constexpr qint64 MaxDecodePixels = 64LL * 1024 * 1024;

    // A picture of the widget as it draws itself, of its size.
    static QImage imageFromView(QWidget* view);
    // Writes the image as JPEG (quality 0.85) when the file name ends in ".jpg" or
    // ".jpeg" in any case, else as PNG; atomically. True when written.
    static bool saveImage(const QImage& image, const QString& fileName);
    // JPEG data at the quality factor (clamped to 0..1); empty for a null image.
    static QByteArray compressedImageDataWithImg(const QImage& image, double rate);
    // The image stretched to the size.
    static QImage resizeImage(const QImage& image, const QSize& size);
    // The image scaled to fill the size and cropped from the centre.
    static QImage resizeImage1(const QImage& image, const QSize& size);
    // The same, with the scaled size rounded up before the crop.
    static QImage resizeImage2(const QImage& image, const QSize& size);
    // The image data re-encoded once as JPEG at the factor (aimKB × 1000) / size,
    // clamped to 0..1; empty when the data does not decode.
    static QByteArray compressImgData(const QByteArray& data, qint64 aimKB);
    // The factor compressImgData uses.
    static double CompressionFactor(qint64 dataBytes, qint64 aimKB);
    // The images side by side, left to right, aligned at the bottom edge; the width is
    // the sum of the widths, the height the largest height. Null for no images.
    static QImage jointedImageWithImages(const QList<QImage>& images);
    // A pixel copy of the image (32-bit ARGB); null for a null image.
    static QImage getCGImageRefFromNSImage(const QImage& image);
    // An image of the pixel image's size (one point per pixel).
    static QImage getNSImageWithCGImageRef(const QImage& pixels);
    // The image mirrored top to bottom about its own height.
    static QImage getCIImageWithNSImage(const QImage& image);
    // A picture of the widget through a PNG encoding.
    static QImage imageWithNSView(QWidget* view);
    // Decodes image data of at most MaxDecodePixels pixels; null otherwise.
    static QImage Decode(const QByteArray& data);
};
