#include "platform/HeifImageReader.h"

#include <libheif/heif.h>

#include <cstdint>
#include <memory>

namespace {

struct ContextDeleter {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleDeleter {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageDeleter {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
using Context = std::unique_ptr<heif_context, ContextDeleter>;
using Handle = std::unique_ptr<heif_image_handle, HandleDeleter>;
using Image = std::unique_ptr<heif_image, ImageDeleter>;

QString ErrorText(const heif_error& e) {
    return QString::fromUtf8(e.message ? e.message : "unknown libheif error");
}

// libheif reads the open file through these.
int64_t devicePosition(void* device) {
    return static_cast<QIODevice*>(device)->pos();
}

int deviceRead(void* data, size_t size, void* device) {
    auto* d = static_cast<QIODevice*>(device);
    if (size > size_t(INT64_MAX)) return 1;
    return d->read(static_cast<char*>(data), qint64(size)) == qint64(size) ? 0 : 1;
}

int deviceSeek(int64_t position, void* device) {
    return static_cast<QIODevice*>(device)->seek(position) ? 0 : 1;
}

heif_reader_grow_status deviceWaitForSize(int64_t size, void* device) {
    return size <= static_cast<QIODevice*>(device)->size() ? heif_reader_grow_status_size_reached
                                                           : heif_reader_grow_status_size_beyond_eof;
}

const heif_reader kDeviceReader = {1, devicePosition, deviceRead, deviceSeek, deviceWaitForSize};

// Opens the file and its primary image; null handle with `why` set on failure.
Handle OpenPrimary(QIODevice& file, Context& context, QString* why) {
    context.reset(heif_context_alloc());
    if (!context) {
        if (why) *why = QStringLiteral("libheif: no context");
        return {};
    }
    if (!file.seek(0)) {
        if (why) *why = QStringLiteral("libheif: the file cannot be read");
        return {};
    }
    heif_error e = heif_context_read_from_reader(context.get(), &kDeviceReader, &file, nullptr);
    if (e.code != heif_error_Ok) {
        if (why) *why = QStringLiteral("libheif: ") + ErrorText(e);
        return {};
    }
    heif_image_handle* raw = nullptr;
    e = heif_context_get_primary_image_handle(context.get(), &raw);
    if (e.code != heif_error_Ok || !raw) {
        if (why) *why = QStringLiteral("libheif: no primary image: ") + ErrorText(e);
        return {};
    }
    return Handle(raw);
}

} // namespace

bool HeifImageReader::CanRead(QIODevice& file) {
    if (!file.isReadable()) return false;
    const QByteArray head = file.peek(64);
    if (head.size() < 12) return false;
    const heif_filetype_result kind =
        heif_check_filetype(reinterpret_cast<const uint8_t*>(head.constData()), int(head.size()));
    return kind == heif_filetype_yes_supported;
}

QSize HeifImageReader::SizeOf(QIODevice& file) {
    Context context;
    Handle handle = OpenPrimary(file, context, nullptr);
    if (!handle) return {};
    const int w = heif_image_handle_get_width(handle.get());
    const int h = heif_image_handle_get_height(handle.get());
    if (w <= 0 || h <= 0) return {};
    return QSize(w, h);
}

QImage HeifImageReader::Read(QIODevice& file, const QSize& box, int allocationLimitMb, QString* why) {
    Context context;
    Handle handle = OpenPrimary(file, context, why);
    if (!handle) return {};
    const int w = heif_image_handle_get_width(handle.get());
    const int h = heif_image_handle_get_height(handle.get());
    if (w <= 0 || h <= 0) {
        if (why) *why = QStringLiteral("libheif: image without size");
        return {};
    }
    const qint64 bytes = qint64(w) * qint64(h) * 4;
    if (bytes > qint64(allocationLimitMb) * 1024 * 1024) {
        if (why) *why = QStringLiteral("HEIF image %1 x %2 exceeds the allocation limit").arg(w).arg(h);
        return {};
    }
    heif_image* raw = nullptr;
    // The default options apply the stored rotation and mirroring.
    heif_error e =
        heif_decode_image(handle.get(), &raw, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, nullptr);
    if (e.code != heif_error_Ok || !raw) {
        if (why) *why = QStringLiteral("libheif: ") + ErrorText(e);
        return {};
    }
    Image image(raw);
    const int iw = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int ih = heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!plane || iw <= 0 || ih <= 0 || stride < iw * 4) {
        if (why) *why = QStringLiteral("libheif: decoded image without pixels");
        return {};
    }
    // Copy out of libheif's buffer before the image is released.
    QImage out = QImage(plane, iw, ih, stride, QImage::Format_RGBA8888).copy();
    if (out.isNull()) {
        if (why) *why = QStringLiteral("HEIF image: out of memory");
        return {};
    }
    if (!box.isEmpty() && (out.width() > box.width() || out.height() > box.height()))
        out = out.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return out;
}
