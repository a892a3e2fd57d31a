#include "media/MediaBackend.h"

#include <QtGlobal>

QString DefaultMediaBackend() {
    return QStringLiteral("ffmpeg");
}

void ChooseMediaBackend() {
    if (qEnvironmentVariableIsSet("QT_MEDIA_BACKEND")) return;
    qputenv("QT_MEDIA_BACKEND", DefaultMediaBackend().toUtf8());
}
