#pragma once
#include <QByteArray>
#include <QString>

// The rules for voice files of the media views, pure functions: which files are voice
// messages, how SILK is recognised, the AMR header, and the names of converted copies.
class VoiceFile {
  public:
    VoiceFile() = delete;

    // "#!AMR\n", the header of an AMR file.
    static QByteArray AmrHeader() { return QByteArrayLiteral("#!AMR\n"); }
    // A voice message's suffix pattern: "*.aud;" (any case).
    static bool IsAudSuffix(const QString& suffix);
    // A file whose first 10 bytes are 0x02 and "#!SILK_V3" (the preview's test).
    static bool StartsWithSilkMark(const QByteArray& head);
    // "#!SILK_V3" within the first 10 bytes, before any zero byte (the save's test).
    static bool HasSilkMark(const QByteArray& head);
    // True when the data begins with the AMR header.
    static bool HasAmrHeader(const QByteArray& data);
    // The AMR header to put in front of `data`: empty when it already has one.
    static QByteArray MissingAmrHeader(const QByteArray& head);
    // `name` with its extension ".aud" (any case) replaced by `ext` (".mp3" or ".amr",
    // upper case when the old one was); the rest of the name stays as it is. A name
    // without ".aud" at its end gets `ext` appended.
    static QString WithExtension(const QString& name, const QString& ext);
};
