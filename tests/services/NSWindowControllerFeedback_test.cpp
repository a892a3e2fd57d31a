// The first feedback window, offscreen, with a fake alert presenter: empty message,
// sending through the reporter, and no address.
#include "services/NSWindowControllerFeedback.h"

#include "gui/NSLanguageText.h"
#include "services/UserActionAnalysis.h"
#include "tests/kit/FakeAlertPresenter.h"
#include "tests/kit/LoopbackHttpServer.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct FeedbackFixture {
    QNetworkAccessManager nam;
    UserActionAnalysis reporter{&nam};
    kit::LoopbackHttpServer server;
    kit::FakeAlertPresenter alerts;
    NSWindowControllerFeedback window{&reporter};

    FeedbackFixture() {
        reporter.SetDomainName(server.hostAndPort());
        reporter.SetTransferTimeout(2000);
        window.Show();
    }
};

} // namespace

TEST(NSWindowControllerFeedback, EmptyMessageSendsNothing) {
    FeedbackFixture f;
    QTest::mouseClick(f.window.submitButton(), Qt::LeftButton);
    EXPECT_EQ(f.alerts.Texts(), QStringList{LanguageText("inputSuggest")});
    EXPECT_EQ(f.server.requestCount(), 0);
    EXPECT_TRUE(f.window.isVisible());
}

TEST(NSWindowControllerFeedback, AcceptedFeedbackClosesTheWindow) {
    FeedbackFixture f;
    f.server.Enqueue(kit::CannedReply::Ok("1"));
    f.window.content()->setPlainText("It works");
    QTest::mouseClick(f.window.submitButton(), Qt::LeftButton);
    EXPECT_EQ(f.alerts.Texts(), QStringList{LanguageText("suggestOK")});
    ASSERT_EQ(f.alerts.Alerts().size(), 1);
    EXPECT_EQ(f.alerts.Alerts()[0].alert.buttons, QStringList{LanguageText("CloesBt")});
    EXPECT_FALSE(f.alerts.Alerts()[0].sheet);
    EXPECT_FALSE(f.window.isVisible());
    ASSERT_EQ(f.server.requestCount(), 1);
    EXPECT_EQ(f.server.requests()[0].path, "/suggest.ashx");
    EXPECT_TRUE(f.window.submitButton()->isEnabled());
}

TEST(NSWindowControllerFeedback, RefusedOrUnaddressedFeedbackKeepsTheTexts) {
    for (bool withAddress : {true, false}) {
        FeedbackFixture f;
        if (withAddress) {
            f.server.Enqueue(kit::CannedReply::Ok("0"));
        } else {
            f.reporter.SetDomainName("");
        }
        f.window.content()->setPlainText("Hello");
        f.window.contact()->setText("me@example.org");
        QTest::mouseClick(f.window.submitButton(), Qt::LeftButton);
        EXPECT_EQ(f.alerts.Texts(), QStringList{LanguageText("suggestFail")});
        EXPECT_TRUE(f.window.isVisible());
        EXPECT_EQ(f.window.content()->toPlainText(), "Hello");
        EXPECT_EQ(f.server.requestCount(), withAddress ? 1 : 0);
    }
}

TEST(NSWindowControllerFeedback, LanguagesAndAppearance) {
    FeedbackFixture f;
    for (int language : {0, 1, 11}) {
        f.window.setLanguage(language);
        EXPECT_EQ(f.window.submitButton()->text(), LanguageText("SubmitBt"));
        EXPECT_EQ(f.window.contact()->placeholderText(), LanguageText("Contact"));
        EXPECT_FALSE(f.window.grab().isNull());
    }
    EXPECT_EQ(f.window.backgroundImageName(), "bottom_background");
}

KIT_QT_TEST_MAIN(QApplication)
