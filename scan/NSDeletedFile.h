#pragma once
#include "scan/ResultProperty.h"

#include <QDateTime>
#include <QString>

// One photo, video, voice memo or attachment file of a backup. The full path of the
// file is BackUpPath followed by SHA1 (the stored path inside the backup folder).
class NSDeletedFile {
    RESULT_PROPERTY(bool, DeleteMark, setDeleteMark)
    RESULT_PROPERTY(QString, FileName, setFileName)
    RESULT_PROPERTY(QString, BackUpPath, setBackUpPath)
    RESULT_PROPERTY(QString, SHA1, setSHA1)
    RESULT_PROPERTY(QString, Suffix, setSuffix)
    RESULT_PROPERTY(QDateTime, mtime, setMtime)
    RESULT_PROPERTY(QDateTime, atime, setAtime)
    RESULT_PROPERTY(QDateTime, ctime, setCtime)
};
