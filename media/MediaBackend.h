#pragma once
#include <QString>

// Qt Multimedia's backend: FFmpeg, which decodes AMR-NB, H.264 and AAC by itself. Call before
// the first player is made; a QT_MEDIA_BACKEND the user set is kept.
void ChooseMediaBackend();
// The backend name chosen when QT_MEDIA_BACKEND is unset.
QString DefaultMediaBackend();
