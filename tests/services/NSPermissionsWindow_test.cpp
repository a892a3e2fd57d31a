// The backups-folder access window, offscreen: illustration by language, texts, the
// button's request and the presenter's close handler.
#include "services/NSPermissionsWindow.h"

#include "gui/NSLanguageText.h"
#include "platform/Paths.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

TEST(NSPermissionsWindow, IllustrationFollowsLanguage) {
    const std::pair<int, const char*> cases[] = {
        {1, "FullDiskAccess_cn"},
        {0, "FullDiskAccess_en"},
        {2, "FullDiskAccess_en"},
        {11, "FullDiskAccess_en"},
    };
    int language = 0;
    NSPermissionsWindow window(
        nullptr, [](unsigned) {}, [&] { return language; });
    for (const auto& [lang, image] : cases) {
        language = lang;
        window.UpdateLanguage();
        EXPECT_EQ(window.instructionsImageName(), image) << lang;
    }
}

TEST(NSPermissionsWindow, TextsAndButton) {
    QList<unsigned> asked;
    NSPermissionsWindow window(
        nullptr, [&](unsigned kind) { asked << kind; }, [] { return 0; });
    window.show();
    EXPECT_EQ(window.title()->text(), LanguageText("授权“完全磁盘访问权限”"));
    for (int i = 1; i <= 3; ++i)
        EXPECT_FALSE(window.step(i)->text().isEmpty());
    EXPECT_EQ(window.openButton()->text(), LanguageText("前往设置"));
    QTest::mouseClick(window.openButton(), Qt::LeftButton);
    EXPECT_EQ(asked, QList<unsigned>{4u});
    EXPECT_TRUE(window.isVisible()); // the window stays open
    EXPECT_FALSE(window.grab().isNull());
}

// The steps name the backups folder the application reads, in every language, and the
// command of step 2 takes it as one shell word.
TEST(NSPermissionsWindow, StepsNameTheFolderRead) {
    const std::pair<QString, QString> cases[] = {
        {"/srv/elsewhere", "/srv/elsewhere/MobileSync/Backup"},
        {"/srv/my data", "'/srv/my data/MobileSync/Backup'"},
    };
    for (int language = 0; language < NSLanguageText::LanguageCount; ++language) {
        NSLanguageText::shareInstance()->setLanguage(language);
        for (const auto& [support, word] : cases) {
            Paths::SetApplicationSupport(support);
            NSPermissionsWindow window(
                nullptr, [](unsigned) {}, [&] { return language; });
            const QString folder = support + "/MobileSync/Backup";
            EXPECT_TRUE(window.step(1)->text().contains(folder))
                << language << window.step(1)->text().toStdString();
            EXPECT_TRUE(window.step(2)->text().contains("chmod -R u+rX " + word))
                << language << window.step(2)->text().toStdString();
            EXPECT_FALSE(window.step(1)->text().contains("%@"));
            EXPECT_FALSE(window.step(2)->text().contains(".local/share"));
        }
    }
    Paths::ResetOverrides();
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
}

TEST(NSPermissionsWindow, CloseHandlerKeepsTheWindow) {
    NSPermissionsWindow window(
        nullptr, [](unsigned) {}, [] { return 0; });
    int closes = 0;
    window.SetCloseHandler([&] { ++closes; });
    window.show();
    window.close();
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(window.isVisible());
    window.SetCloseHandler({});
    window.close();
    EXPECT_FALSE(window.isVisible());
}

KIT_QT_TEST_MAIN(QApplication)
