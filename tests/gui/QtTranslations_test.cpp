// Qt's own dialog texts follow the interface language when Qt's catalogue of that
// language is installed, and go back to English with English.
#include "gui/NSLanguageText.h"
#include "gui/QtTranslations.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>

#include <gtest/gtest.h>

namespace {

bool haveCatalogue(const char* name) {
    return QFileInfo::exists(QDir(QLibraryInfo::path(QLibraryInfo::TranslationsPath)).filePath(name));
}

QString lookIn() {
    return QCoreApplication::translate("QFileDialog", "Look in:");
}

TEST(QtTranslations, CatalogueNames) {
    const struct {
        int language;
        const char* name;
    } cases[] = {
        {NSLanguageText::English, ""},
        {NSLanguageText::SimplifiedChinese, "qtbase_zh_CN"},
        {NSLanguageText::German, "qtbase_de"},
        {NSLanguageText::Arabic, "qtbase_ar"},
        {NSLanguageText::Portuguese, "qtbase_pt_PT"},
        {99, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QtTranslations::CatalogueName(c.language), c.name) << c.language;
}

TEST(QtTranslations, GermanFileDialogThenEnglishAgain) {
    if (!haveCatalogue("qtbase_de.qm")) GTEST_SKIP() << "Qt's German catalogue is not installed";
    ASSERT_TRUE(QtTranslations::Apply(NSLanguageText::German));
    EXPECT_EQ(lookIn(), "Suchen in:");
    // A file dialog made now shows the German label.
    QFileDialog dialog(nullptr, QString(), QDir::tempPath());
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    auto* label = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Suchen in:");
    // English removes the catalogue; a language without one leaves English too.
    EXPECT_FALSE(QtTranslations::Apply(NSLanguageText::English));
    EXPECT_EQ(lookIn(), "Look in:");
    EXPECT_FALSE(QtTranslations::Apply(NSLanguageText::Indonesian));
    EXPECT_EQ(lookIn(), "Look in:");
}

TEST(QtTranslations, MissingFolderLoadsNothing) {
    QtTranslations::SetFolder(QStringLiteral("/nonexistent/translations"));
    EXPECT_FALSE(QtTranslations::Apply(NSLanguageText::German));
    EXPECT_EQ(lookIn(), "Look in:");
    QtTranslations::SetFolder(QString());
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
