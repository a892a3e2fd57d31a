#pragma once
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>

// The interface language: one of twelve, each with its folder "<name>.lproj" holding
// the table "Language.strings" among the application's resources.
//
// The shared instance chooses the language of the run when it is created (the edition
// from ":/Configuration.plist" key "International", the saved "Language_Key" and the
// system's preferred languages) and stores it in the settings ("AppLanguage" and
// "Language_Key"); every text lookup reads "AppLanguage" from there.
class NSLanguageText {
  public:
    enum Language {
        English = 0,
        SimplifiedChinese = 1,
        TraditionalChinese = 2,
        Japanese = 3,
        Korean = 4,
        German = 5,
        Russian = 6,
        Arabic = 7,
        Portuguese = 8,
        Spanish = 9,
        French = 10,
        Indonesian = 11,
    };
    static constexpr int LanguageCount = 12;

    // Where the chooser reads the edition and the system's languages. Empty functions
    // take the defaults: "International" of ":/Configuration.plist" and the system
    // locale's preferred UI languages.
    struct Environment {
        // The "International" value; nothing when absent (the Chinese edition).
        std::function<std::optional<long long>()> international;
        // The user's preferred languages, first the most preferred ("AppleLanguages").
        std::function<QStringList()> appleLanguages;
    };

    // Chooses the language of this run in `environment` and applies it (setLanguage).
    explicit NSLanguageText(Environment environment = {});
    NSLanguageText(const NSLanguageText&) = delete;
    NSLanguageText& operator=(const NSLanguageText&) = delete;

    // The shared instance, created on first use (any thread) with the default
    // environment; it also becomes the scan's text lookup.
    static NSLanguageText* shareInstance();

    // The current language number.
    int Language() const;
    // Makes the language current and persistent: "AppLanguage" (its folder name) and
    // "Language_Key" (its number) in the settings, written at once.
    void setLanguage(int language);
    // The language the system suggests: 2 for "zh-Hant-HK", "zh-Hant-MO", "zh-Hant-TW"
    // first in the preferred languages, else 0.
    int SysLanguage() const;
    // True in the international edition.
    bool isInternational() const { return international; }

    // The "International" value of a bundle property list (a number or a boolean, as
    // 1 or 0); nothing when the file, the key or a usable value is missing.
    static std::optional<long long> InternationalOf(const QString& plistPath);

    // The folder name of a language ("en", "zh-Hans", ...); "zh-Hans" outside 0..11.
    static QString FolderName(int language);
    // The text of `key` in the table of the current language ("AppLanguage"): the key
    // itself when the table lacks it. A missing language folder falls back to "en".
    // Any thread; tables are read once per language and kept.
    static QString Text(const QString& key);
    // The same, but nothing when no table could be read at all (the scan's lookup).
    static std::optional<QString> TableText(const QString& key);
    // Makes the scan bridge take its progress texts from these tables (TableText), so
    // they follow the windows' language. The application calls it once at start.
    static void ServeScanTexts();
    // Where the tables are read from (":/" by default); clears the kept tables.
    static void SetResourceRoot(const QString& root);

  private:
    int ChooseLanguage() const;

    Environment environment;
    bool international = false;
    std::atomic<int> language{English};
};

// The one way windows look texts up: always with a string literal key, so that every
// key the sources use can be collected from them.
template <std::size_t N> inline QString LanguageText(const char (&key)[N]) {
    return NSLanguageText::Text(QString::fromUtf8(key, qsizetype(N) - 1));
}

// The one formatter of translated texts: fills each "%@" and "%d" of `pattern`, in
// order, with the next argument; everything else (other % sequences, a lone "%",
// placeholders beyond the arguments) stays as it is, and extra arguments are unused.
QString SafeFormat(const QString& pattern, const QStringList& args);
