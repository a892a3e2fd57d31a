#pragma once
// The update service's answer: a JSON object with a string "version" and optional
// strings "info" (release notes, plain text) and "download" (the download page).
#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

struct UpdateDocument {
    QString version;
    std::optional<QString> info;
    std::optional<QString> download;

    static constexpr qint64 kMaxBytes = 1024 * 1024;

    // Nothing unless the body is at most kMaxBytes of a JSON object whose "version" is a
    // string and whose "info" and "download", when present, are strings.
    static std::optional<UpdateDocument> Parse(const QByteArray& body);

    // The download page as an address that may be opened: absolute http or https only.
    static std::optional<QUrl> DownloadUrl(const QString& text);

    // True when version `a` is newer than `b`: both split at ".", each part counted by its
    // leading integer (0 without digits, a leading "-" makes it negative); the first
    // differing common part decides; with all common parts equal, `a` is newer only when
    // it has more parts and its extra parts sum to more than 0.
    static bool IsVersionBiggerThanVersion(const QString& a, const QString& b);
};
