#pragma once
#include <QString>

// Qt's own texts (the buttons and labels of its file and message dialogs) in the
// interface language: the "qtbase" catalogue of that language from Qt's translations
// folder, installed in place of the one loaded before. GUI thread only.
class QtTranslations {
  public:
    // Installs the catalogue of `language` (an NSLanguageText number); English and a
    // language without a catalogue leave Qt's own English. True when one was loaded.
    static bool Apply(int language);
    // Where the catalogues are read from; empty: Qt's translations folder (tests).
    static void SetFolder(const QString& folder);
    // The catalogue name Apply looks for first ("qtbase_de"); empty for English.
    static QString CatalogueName(int language);
};
