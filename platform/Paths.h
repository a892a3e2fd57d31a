#pragma once
#include <QString>

// The user folders the application works in. Each comes from QStandardPaths unless
// overridden (tests point them into temporary folders); an override of "" restores the
// standard location. Safe to call from any thread.
class Paths {
  public:
    Paths() = delete;

    // The user's cache folder (QStandardPaths::GenericCacheLocation).
    static QString Caches();
    // The user's application-support folder (QStandardPaths::GenericDataLocation).
    static QString ApplicationSupport();
    // The user's downloads folder (QStandardPaths::DownloadLocation).
    static QString Downloads();
    // The folder of device backups: "<ApplicationSupport>/MobileSync/Backup".
    static QString BackupsFolder();
    // The folder of the application's log files: "<ApplicationSupport>/Diriza-IOS".
    static QString LogFolder();

    // `folder` as the user reads it in a text: below the home folder it starts with "~".
    static QString ForDisplay(const QString& folder);
    // `folder` as one word of a shell command: "~/..." or the path as it is when it holds
    // only plain characters, else the whole path in single quotes.
    static QString ShellWord(const QString& folder);

    static void SetCaches(const QString& folder);
    static void SetApplicationSupport(const QString& folder);
    static void SetDownloads(const QString& folder);
    // Drops every override.
    static void ResetOverrides();
};
