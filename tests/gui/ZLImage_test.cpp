#include "gui/ZLImage.h"

#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>

#include <zlib.h>

namespace {

// 400 × 200: red left quarter, green middle half, blue right quarter.
QImage Stripes() {
    QImage image(400, 200, QImage::Format_ARGB32);
    QPainter p(&image);
    p.fillRect(0, 0, 100, 200, Qt::red);
    p.fillRect(100, 0, 200, 200, Qt::green);
    p.fillRect(300, 0, 100, 200, Qt::blue);
    return image;
}

bool Near(QRgb a, QColor b, int tolerance = 8) {
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance &&
           std::abs(qBlue(a) - b.blue()) <= tolerance;
}

QByteArray Head(const QString& path, int n) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.read(n);
}

TEST(ZLImage, SaveChoosesTheFormatByExtension) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray jpeg("\xFF\xD8\xFF", 3), png("\x89PNG", 4);
    const struct {
        const char* name;
        QByteArray magic;
    } cases[] = {
        {"a.jpg", jpeg}, {"b.JPG", jpeg}, {"c.jpeg", jpeg}, {"d.JpEg", jpeg},
        {"e.png", png},  {"f", png},      {"g.tiff", png},  {"h.jpg.png", png},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(c.name);
        ASSERT_TRUE(ZLImage::saveImage(Stripes(), path));
        EXPECT_EQ(Head(path, int(c.magic.size())), c.magic);
    }
    EXPECT_FALSE(ZLImage::saveImage(QImage(), dir.filePath("null.png")));
    EXPECT_FALSE(QFile::exists(dir.filePath("null.png")));
    EXPECT_FALSE(ZLImage::saveImage(Stripes(), dir.filePath("missing/x.png")));
}

TEST(ZLImage, CompressionFactorIsClamped) {
    const struct {
        qint64 bytes, aim;
        double factor;
    } cases[] = {
        {100000, 50, 0.5}, {100000, 200, 1.0}, {100000, 0, 0.0},
        {100000, -5, 0.0}, {1000, 1, 1.0},     {0, 10, 1.0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(ZLImage::CompressionFactor(c.bytes, c.aim), c.factor);
}

TEST(ZLImage, CompressEncodesOnceAtTheFactor) {
    const QImage image = Stripes();
    const QByteArray png = [&] {
        QByteArray b;
        QBuffer buf(&b);
        buf.open(QIODevice::WriteOnly);
        image.save(&buf, "PNG");
        return b;
    }();
    const qint64 aim = png.size() / 2000; // factor about 0.5
    const QByteArray out = ZLImage::compressImgData(png, aim);
    ASSERT_FALSE(out.isEmpty());
    EXPECT_EQ(out, ZLImage::compressedImageDataWithImg(ZLImage::Decode(png),
                                                       ZLImage::CompressionFactor(png.size(), aim)));
    // Factors beyond 1 are the same as 1, below 0 the same as 0.
    EXPECT_EQ(ZLImage::compressedImageDataWithImg(image, 2.0),
              ZLImage::compressedImageDataWithImg(image, 1.0));
    EXPECT_EQ(ZLImage::compressedImageDataWithImg(image, -1.0),
              ZLImage::compressedImageDataWithImg(image, 0.0));
    EXPECT_GT(ZLImage::compressedImageDataWithImg(image, 1.0).size(),
              ZLImage::compressedImageDataWithImg(image, 0.1).size());
    EXPECT_TRUE(ZLImage::compressedImageDataWithImg(QImage(), 0.5).isEmpty());
    EXPECT_TRUE(ZLImage::compressImgData(QByteArray(), 10).isEmpty());
    EXPECT_TRUE(ZLImage::compressImgData(QByteArray("not an image"), 10).isEmpty());
}

TEST(ZLImage, DecodeRefusesHugeAndDamagedImages) {
    // A PNG header claiming 100000 × 100000 pixels.
    QImage small(10, 10, QImage::Format_RGB32);
    small.fill(Qt::red);
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    small.save(&buf, "PNG");
    QByteArray huge = png;
    auto put32 = [&](int at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            huge[at + i] = char((v >> (24 - 8 * i)) & 0xFF);
    };
    put32(16, 100000);
    put32(20, 100000);
    // A valid header checksum, so only the size stops it.
    put32(29, quint32(crc32(0, reinterpret_cast<const Bytef*>(huge.constData() + 12), 17)));
    QBuffer probe(&huge);
    probe.open(QIODevice::ReadOnly);
    EXPECT_EQ(QImageReader(&probe).size(), QSize(100000, 100000));
    EXPECT_TRUE(ZLImage::Decode(huge).isNull());
    EXPECT_TRUE(ZLImage::compressImgData(huge, 10).isEmpty());
    EXPECT_TRUE(ZLImage::Decode(png.left(40)).isNull());
    EXPECT_FALSE(ZLImage::Decode(png).isNull());
}

TEST(ZLImage, Resizes) {
    const QImage src = Stripes();
    // Stretched: the quarters stay quarters.
    QImage a = ZLImage::resizeImage(src, QSize(100, 100));
    ASSERT_EQ(a.size(), QSize(100, 100));
    EXPECT_TRUE(Near(a.pixel(5, 50), Qt::red));
    EXPECT_TRUE(Near(a.pixel(50, 50), Qt::green));
    EXPECT_TRUE(Near(a.pixel(95, 50), Qt::blue));
    // Filled and cropped from the centre: only the green middle remains.
    for (const QImage& b :
         {ZLImage::resizeImage1(src, QSize(100, 100)), ZLImage::resizeImage2(src, QSize(100, 100))}) {
        ASSERT_EQ(b.size(), QSize(100, 100));
        for (QPoint p : {QPoint(0, 0), QPoint(1, 50), QPoint(50, 50), QPoint(98, 99), QPoint(99, 0)})
            EXPECT_TRUE(Near(b.pixel(p), Qt::green)) << p.x() << "," << p.y();
    }
    // A tall target crops the sides: 400 × 200 → 100 × 200 keeps the middle 100 columns.
    QImage c = ZLImage::resizeImage1(src, QSize(50, 50));
    EXPECT_TRUE(Near(c.pixel(0, 25), Qt::green));
    // A wide target keeps everything across and crops top and bottom.
    QImage d = ZLImage::resizeImage2(src, QSize(800, 100));
    EXPECT_TRUE(Near(d.pixel(100, 50), Qt::red));
    EXPECT_TRUE(Near(d.pixel(700, 50), Qt::blue));
    // Same size: a copy.
    EXPECT_EQ(ZLImage::resizeImage2(src, src.size()).convertToFormat(QImage::Format_ARGB32), src);
    // Empty images and sizes give empty images.
    for (const QSize s : {QSize(0, 10), QSize(10, 0), QSize(-1, -1)}) {
        EXPECT_TRUE(ZLImage::resizeImage(src, s).isNull());
        EXPECT_TRUE(ZLImage::resizeImage1(src, s).isNull());
        EXPECT_TRUE(ZLImage::resizeImage2(src, s).isNull());
    }
    EXPECT_TRUE(ZLImage::resizeImage(QImage(), QSize(10, 10)).isNull());
    EXPECT_TRUE(ZLImage::resizeImage1(QImage(), QSize(10, 10)).isNull());
    EXPECT_TRUE(ZLImage::resizeImage2(QImage(), QSize(10, 10)).isNull());
}

TEST(ZLImage, JoinsSideBySideAlignedAtTheBottom) {
    QImage first(10, 20, QImage::Format_ARGB32);
    first.fill(Qt::red);
    QImage second(30, 5, QImage::Format_ARGB32);
    second.fill(Qt::blue);
    const QImage joined = ZLImage::jointedImageWithImages({first, second});
    ASSERT_EQ(joined.size(), QSize(40, 20));
    EXPECT_TRUE(Near(joined.pixel(0, 0), Qt::red));
    EXPECT_TRUE(Near(joined.pixel(9, 19), Qt::red));
    EXPECT_TRUE(Near(joined.pixel(10, 19), Qt::blue));
    EXPECT_TRUE(Near(joined.pixel(39, 15), Qt::blue));
    EXPECT_EQ(qAlpha(joined.pixel(10, 14)), 0); // above the lower picture: nothing
    EXPECT_TRUE(ZLImage::jointedImageWithImages({}).isNull());
    EXPECT_TRUE(ZLImage::jointedImageWithImages({QImage()}).isNull());
}

TEST(ZLImage, FlipAndConversions) {
    QImage image(7, 3, QImage::Format_ARGB32);
    image.fill(Qt::white);
    image.setPixel(0, 0, qRgb(255, 0, 0));
    const QImage flipped = ZLImage::getCIImageWithNSImage(image);
    ASSERT_EQ(flipped.size(), image.size());
    EXPECT_EQ(flipped.pixel(0, 2), qRgb(255, 0, 0));
    EXPECT_EQ(flipped.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_TRUE(ZLImage::getCIImageWithNSImage(QImage()).isNull());
    EXPECT_TRUE(ZLImage::getCGImageRefFromNSImage(QImage()).isNull());
    EXPECT_EQ(ZLImage::getCGImageRefFromNSImage(image).size(), image.size());
    EXPECT_EQ(ZLImage::getNSImageWithCGImageRef(image).size(), image.size());
}

TEST(ZLImage, PicturesOfWidgets) {
    QLabel label("x");
    label.resize(60, 30);
    label.setAutoFillBackground(true);
    QPalette p = label.palette();
    p.setColor(QPalette::Window, Qt::yellow);
    label.setPalette(p);
    const QImage a = ZLImage::imageFromView(&label);
    EXPECT_EQ(a.size() / a.devicePixelRatio(), QSize(60, 30));
    EXPECT_TRUE(Near(a.pixel(1, 1), Qt::yellow));
    const QImage b = ZLImage::imageWithNSView(&label);
    EXPECT_EQ(b.size(), a.size());
    EXPECT_TRUE(ZLImage::imageFromView(nullptr).isNull());
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
