#pragma once
#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QString>

// HEIC/HEIF pictures (what phones store photos in) over libheif: the primary image with its
// stored rotation and mirroring applied, refused above an allocation limit before decoding,
// and scaled down to a box after decoding. Used behind ImageFileReader only.
class HeifImageReader {
  public:
    HeifImageReader() = delete;

    // The pictures are read from `file`, an open file (a stored file opened by
    // StoredFileReader): libheif reads through it, never by a path.

    // True when the file starts like a HEIF container that libheif can read.
    static bool CanRead(QIODevice& file);
    // The primary image, scaled (aspect kept) to fit `box` when larger; empty `box`: own size.
    // Null on failure, with the reason in `why`. Pictures whose decoded RGBA size would
    // exceed `allocationLimitMb` megabytes are refused without decoding.
    static QImage Read(QIODevice& file, const QSize& box, int allocationLimitMb, QString* why = nullptr);
    // The primary image's size after orientation, without decoding; invalid when unknown.
    static QSize SizeOf(QIODevice& file);
};
