#pragma once
#include <QImage>
#include <QSize>
#include <QString>

// The one way pictures are read from disk, for previews and thumbnails alike: orientation
// applied, an allocation limit against hostile headers, and scaled on read so a large photo
// is never decoded at full size when a smaller picture is shown. The file is opened as a
// stored file of a backup (StoredFileReader): no link below the backup folder followed,
// never blocking on a pipe.
class ImageFileReader {
  public:
    // Largest decoded picture we accept, in megabytes.
    static constexpr int kAllocationLimitMb = 256;

    // Reads the picture at `path`, scaled down (aspect kept) to fit `box` when it is larger;
    // an empty `box` keeps the picture's own size. A null image means it could not be read,
    // and `why` (when given) says why, for the log.
    static QImage Read(const QString& path, const QSize& box, QString* why = nullptr);

    // The picture's size after orientation without decoding it; invalid when unknown.
    static QSize SizeOf(const QString& path);
};
