#pragma once
#include <QString>
#include <QStringList>

// What an attachment file is, told by its suffix pattern ("*.pdf;", any case) against the
// suffix lists of ":/exc/conf": it decides the attachment's tile and what a click on it
// opens. Voice messages ("*.aud;") are audio; "*.txt;" and "*.text;" are text; a suffix
// on none of the lists is a document that no preview window shows.
class AttachmentKind {
  public:
    enum class Kind { Picture, Video, Audio, Text, Document };

    AttachmentKind() = delete;
    static Kind Of(const QString& suffix);
    // The upper-case suffix patterns of one section of ":/exc/conf" ("AudioWildcard",
    // "VideoWildcard", "PhotoWildcard"), read once per section.
    static QStringList Suffixes(const QString& section);
    // The extension a tile shows for a document ("PDF" of "*.pdf;"), at most 5 letters;
    // empty when the pattern names none.
    static QString Label(const QString& suffix);
};
