#pragma once
#include "scan/NSDeletedFile.h"
#include "scan/ResultProperty.h"

#include <QDateTime>
#include <QImage>
#include <QString>

// The media result views' working copy of an NSDeletedFile, with a thumbnail slot.
class NSFileData {
    RESULT_PROPERTY(bool, DeleteMark, setDeleteMark)
    RESULT_PROPERTY(QString, FileName, setFileName)
    RESULT_PROPERTY(QString, BackUpPath, setBackUpPath)
    RESULT_PROPERTY(QString, SHA1, setSHA1)
    RESULT_PROPERTY(QDateTime, mtime, setMtime)
    RESULT_PROPERTY(QDateTime, atime, setAtime)
    RESULT_PROPERTY(QDateTime, ctime, setCtime)
    RESULT_PROPERTY(QImage, thumbnail, setThumbnail)
    RESULT_PROPERTY(QString, Suffix, setSuffix)

  public:
    NSFileData() = default;
    // Copies every field of the file but its DeleteMark, which starts false.
    explicit NSFileData(const NSDeletedFile& file)
        : FileName_(file.FileName()), BackUpPath_(file.BackUpPath()), SHA1_(file.SHA1()),
          mtime_(file.mtime()), atime_(file.atime()), ctime_(file.ctime()), Suffix_(file.Suffix()) {}
};
