// The scan status pane: the model names, the end of a scan reported from the scan
// thread, and the completion line per language.
#include "gui/NSLanguageText.h"
#include "app/pages/NSDirizaNull.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QLabel>
#include <QSet>
#include <QTest>
#include <QTextDocumentFragment>

#include <gtest/gtest.h>

#include <thread>

namespace {

QString Plain(const QString& html) {
    return QTextDocumentFragment::fromHtml(html).toPlainText();
}

TEST(ModelNames, AllIdentifiers) {
    const QStringList types = NSDirizaNull::KnownProductTypes();
    EXPECT_EQ(types.size(), 109);
    for (const QString& t : types) {
        EXPECT_FALSE(NSDirizaNull::deviceVersion(t).isEmpty());
        EXPECT_NE(NSDirizaNull::deviceVersion(t), t) << t.toStdString();
    }
    struct Case {
        const char* type;
        const char* name;
    } cases[] = {
        {"iPhone12,1", "iPhone 11"},
        {"iPad8,10", "iPad Pro 11-inch 2nd gen"},
        {"x86_64", "Simulator"},
        {"i386", "Simulator"},
        {"iPhone1,1", "iPhone 1G"},
        {"iPad5,2", "iPad mini 4"},
        {"iPod7,1", "iPod Touch 6G"},
        {"iPhone13,4", "iPhone 12 Pro Max"},
        {"iPad13,2", "iPad Air 4"},
        // Names the table once had wrong.
        {"iPhone8,3", "iPhone SE"},
        {"iPhone8,4", "iPhone SE"},
        {"iPhone10,4", "iPhone 8"},
        {"iPhone3,2", "iPhone 4"},
        // Not in the table: unchanged.
        {"iPhone14,2", "iPhone14,2"},
        {"", ""},
        {"iphone12,1", "iphone12,1"},
        {"IPHONE12,1", "IPHONE12,1"},
        {" iPhone12,1", " iPhone12,1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NSDirizaNull::deviceVersion(QString::fromLatin1(c.type)), QString::fromLatin1(c.name))
            << c.type;
}

TEST(StatusPane, ScanEndFromAWorkerShowsAtTheNextStep) {
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
    NSDirizaNull pane;
    pane.show();
    pane.SetDeviceInfo("Phone", "iPhone12,1", "14.2", "SER");
    EXPECT_EQ(pane.ProductTypeText()->text(), "iPhone 11");
    EXPECT_TRUE(pane.isWaiting());
    EXPECT_EQ(pane.TitleImageName(), "default_title");
    EXPECT_EQ(Plain(pane.OperationHtml()), LanguageText("OperationText"));
    EXPECT_TRUE(pane.OperationHtml().contains("color:#ff0000"));
    pane.UpdateScanCompleteTimer();
    EXPECT_TRUE(pane.isWaiting());
    std::thread scan([&] { pane.ScanEndText(); });
    scan.join();
    EXPECT_TRUE(pane.isScanComplete());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !pane.isWaiting(); }, 3000));
    EXPECT_EQ(pane.TitleImageName(), "default_title2");
    EXPECT_EQ(Plain(pane.OperationHtml()), "1. " + LanguageText("CompleteScanText"));
    EXPECT_FALSE(pane.OperationHtml().contains("color:#ff0000"));
    // A new scan returns to the running state.
    pane.SetDeviceInfo("Phone", "iPhone12,1", "14.2", "SER");
    EXPECT_FALSE(pane.isScanComplete());
    EXPECT_TRUE(pane.isWaiting());
}

TEST(StatusPane, ArabicCompletionOrder) {
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::Arabic);
    NSDirizaNull pane;
    pane.SetDeviceInfo("Phone", "x", "1", "S");
    pane.ScanEndText();
    pane.UpdateScanCompleteTimer();
    const QString done = LanguageText("CompleteScanText");
    EXPECT_EQ(Plain(pane.OperationHtml()), done + ".1");
    pane.setLanguage(NSLanguageText::Arabic);
    EXPECT_EQ(Plain(pane.OperationHtml()), "1. " + done);
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
