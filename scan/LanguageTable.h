#pragma once
#include <QHash>
#include <QString>

#include <optional>

// One per-language string table "Language" (the file "Language.strings" of a language
// folder "<name>.lproj"): lines of the form "key" = "text"; with C-style escapes
// (\" \\ \n \t) and /* */ or // comments. A key the table lacks yields the key itself.
class LanguageTable {
  public:
    LanguageTable() = default;

    // Parses table text; false (and an empty table) when it is not well-formed.
    bool Parse(const QString& text);
    // Loads a table file (at most 4 MB); false when it is missing or not well-formed.
    bool Load(const QString& path);
    // The table of the language folder `languageName` under `resourceRoot` (":/" for
    // the application's resources); nothing when the folder or its table is missing.
    static std::optional<LanguageTable> ForLanguage(const QString& languageName,
                                                    const QString& resourceRoot = QStringLiteral(":/"));

    // The text for the key, or the key itself.
    QString Text(const QString& key) const { return texts.value(key, key); }
    bool Contains(const QString& key) const { return texts.contains(key); }
    int size() const { return int(texts.size()); }

  private:
    QHash<QString, QString> texts;
};
