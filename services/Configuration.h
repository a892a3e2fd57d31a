#pragma once
// The application's persistent settings: a small property-list dictionary
// "UserInfo.plist" in the folder "MorvantiIOS" of the user's cache folder, rewritten
// whole on every change, plus the guide flag kept in the application's QSettings.
// Values worked out once at creation: partner code, system version, application version.
// Used from the GUI thread.
#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class Configuration {
  public:
    // Everything the store takes from its surroundings, replaceable in tests.
    struct Environment {
        QString cacheFolder;          // the user's cache folder (the store adds "MorvantiIOS")
        QString settingsFile;         // QSettings file of the guide flag; empty: the application's
        QString bundleConfiguration;  // property list with the default "Partner"
        QString applicationVersion;   // e.g. "2.1.0"
        QString systemVersion;        // the running system's version
        std::function<QDate()> today; // local date
        std::function<QStringList()> preferredLanguages;

        // The running application's: the cache folder of the platform, the application's
        // settings, ":/Configuration.plist", QCoreApplication::applicationVersion(),
        // QSysInfo::productVersion(), the local clock and the system's UI languages.
        static Environment System();
    };

    explicit Configuration(Environment environment);
    ~Configuration();
    Configuration(const Configuration&) = delete;
    Configuration& operator=(const Configuration&) = delete;

    // The one store of the process, created on the first call.
    static Configuration& shareInstance();

    // The string stored under the key, or the empty string (the key is not added).
    QString ReadData(const QString& key) const;
    // Stores the value and rewrites the whole file atomically; false (and a log line)
    // when the file could not be written; the value is kept in memory either way.
    bool WriteData(const QString& value, const QString& key);

    bool IsScanOtherType() const { return isScanOtherType; }
    void setIsScanOtherType(bool flag);

    bool isGuide() const;
    void SaveGuide();

    void SaveStatInstallation();
    bool isStatInstallation() const;
    void SaveStatActive();
    bool isStatActive() const;

    // 2 (Traditional Chinese) when the first preferred language is exactly
    // "zh-Hant-HK", "zh-Hant-MO" or "zh-Hant-TW", else 0 (English).
    int sysLanguage() const;

    QString SaveFileDataPath() const { return saveFileDataPath; }

    QString Partner;
    QString Business;
    QString SysVersion;
    QString AppVersion;
    bool isDebugLog = false;

    // The truth value of a stored text: after optional white space, "Y", "y", "T", "t"
    // or a number other than zero.
    static bool TextBoolValue(const QString& text);
    // The application version with every "." removed ("2.1.0" gives "210").
    static QString CompactVersion(const QString& version);

  private:
    bool WriteFile();
    void LoadOrCreate();
    QString TodayText() const;

    Environment env;
    QString saveFileDataPath;
    std::shared_ptr<void> dicSaveData; // the plist dictionary, freed with plist_free
    bool isScanOtherType = true;
};
