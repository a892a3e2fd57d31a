// The update window against the loopback server: the table of answers, superseded
// checks, no address, and the download button's address rules.
#include "services/NSWindowControllerCheckUpdateApp.h"

#include "gui/NSLanguageText.h"
#include "tests/kit/FakeOpener.h"
#include "tests/kit/LoopbackHttpServer.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct UpdateFixture {
    QNetworkAccessManager nam;
    kit::LoopbackHttpServer server;
    kit::FakeOpener opener;
    NSWindowControllerCheckUpdateApp window{&nam};
    QString address;

    UpdateFixture() {
        address = server.url("/update.json");
        window.SetAddressSource([this] { return address; });
        window.SetCurrentVersion("1.2");
        window.SetPollInterval(20);
        window.SetTransferTimeout(2000);
    }

    // Shows the window and waits for the check to settle; the outcome.
    std::optional<bool> Check() {
        QSignalSpy done(&window, &NSWindowControllerCheckUpdateApp::CheckFinished);
        window.Show();
        if (!done.wait(5000)) return std::nullopt;
        return done.takeFirst().at(0).toBool();
    }
};

} // namespace

TEST(NSWindowControllerCheckUpdateApp, AnswerTable) {
    struct Case {
        const char* name;
        kit::CannedReply reply;
        bool update;
        QString info;
        QString download;
    } cases[] = {
        {"newer",
         kit::CannedReply::Ok(R"({"version":"1.3","info":"Fixes","download":"https://example.org/get"})"),
         true, "Fixes", "https://example.org/get"},
        {"equal", kit::CannedReply::Ok(R"({"version":"1.2.0"})"), false, "", ""},
        {"older", kit::CannedReply::Ok(R"({"version":"1.1.9"})"), false, "", ""},
        {"no version", kit::CannedReply::Ok(R"({"info":"x"})"), false, "", ""},
        {"version a number", kit::CannedReply::Ok(R"({"version":2})"), false, "", ""},
        {"array", kit::CannedReply::Ok(R"([{"version":"9"}])"), false, "", ""},
        {"fragment", kit::CannedReply::Ok(R"("9.0")"), false, "", ""},
        {"not json", kit::CannedReply::Ok("<html>9.0</html>"), false, "", ""},
        {"info not text", kit::CannedReply::Ok(R"({"version":"9","info":{"a":1}})"), false, "", ""},
        {"404", kit::CannedReply::Status(404, R"({"version":"9.0"})"), false, "", ""},
        {"500", kit::CannedReply::Status(500, ""), false, "", ""},
        {"closed", kit::CannedReply::Closed(), false, "", ""},
        {"no download", kit::CannedReply::Ok(R"({"version":"2"})"), true, "", ""},
        {"html info", kit::CannedReply::Ok(R"({"version":"2","info":"<b>bold</b> &amp;"})"), true,
         "<b>bold</b> &amp;", ""},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        UpdateFixture f;
        f.server.Enqueue(tc.reply);
        const auto outcome = f.Check();
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(*outcome, tc.update);
        EXPECT_EQ(f.window.isShowingUpdate(), tc.update);
        EXPECT_FALSE(f.window.isChecking());
        // Only a readable answer without a newer version is "latest version"; a failed
        // request or an unreadable answer says the check could not be made.
        const bool readable = QString(tc.name) == "equal" || QString(tc.name) == "older";
        EXPECT_EQ(f.window.titleText(), tc.update  ? LanguageText("HasUpdate")
                                        : readable ? LanguageText("NotUpdate")
                                                   : LanguageText("UpdateCheckFailed"));
        EXPECT_EQ(f.window.infoText(), tc.info);
        EXPECT_EQ(f.window.downloadAddress(), tc.download);
        EXPECT_EQ(f.server.requests().value(0).method, "GET");
        EXPECT_EQ(f.server.requests().value(0).path, "/update.json");
        EXPECT_FALSE(f.window.grab().isNull());
    }
}

TEST(NSWindowControllerCheckUpdateApp, RefusedAndWithoutAddress) {
    {
        UpdateFixture f;
        f.address = "http://127.0.0.1:" + QString::number(kit::LoopbackHttpServer::RefusedPort()) + "/u.json";
        EXPECT_EQ(f.Check(), std::optional<bool>(false));
        EXPECT_EQ(f.window.titleText(), LanguageText("UpdateCheckFailed"));
    }
    for (const QString& address : {QString(), QString("ftp://example.org/u.json"),
                                   QString("http://example.org/u.json"), QString("not an address")}) {
        UpdateFixture f;
        f.address = address;
        EXPECT_EQ(f.Check(), std::optional<bool>(false)) << address.toStdString();
        EXPECT_EQ(f.server.requestCount(), 0);
        // Nothing was checked: never "You are using the latest version".
        EXPECT_EQ(f.window.titleText(), LanguageText("UpdateCheckFailed"));
    }
}

TEST(NSWindowControllerCheckUpdateApp, DownloadButtonOpensOnlyWebAddresses) {
    const std::pair<const char*, bool> cases[] = {
        {"https://example.org/get", true}, {"http://example.org/get", true}, {"file:///etc/passwd", false},
        {"javascript:alert(1)", false},    {"diriza://open", false},
    };
    for (const auto& [download, opens] : cases) {
        UpdateFixture f;
        f.server.Enqueue(
            kit::CannedReply::Ok(QByteArray(R"({"version":"5","download":")") + download + "\"}"));
        ASSERT_EQ(f.Check(), std::optional<bool>(true));
        QTest::mouseClick(f.window.updateButton(), Qt::LeftButton);
        EXPECT_EQ(f.opener.Opened().size(), opens ? 1 : 0) << download;
        if (opens) {
            EXPECT_EQ(f.opener.Opened()[0], QUrl(download));
        }
        EXPECT_TRUE(f.window.isVisible()); // the window stays open
    }
}

TEST(NSWindowControllerCheckUpdateApp, NewCheckSupersedesTheOpenOne) {
    UpdateFixture f;
    kit::CannedReply stall = kit::CannedReply::Ok(R"({"version":"9"})");
    stall.mode = kit::CannedReply::Mode::Stall;
    stall.contentLength = 1000; // the first answer never completes
    stall.stallMs = 1500;
    f.server.Enqueue(stall);
    f.server.Enqueue(kit::CannedReply::Ok(R"({"version":"1.0"})"));
    QSignalSpy done(&f.window, &NSWindowControllerCheckUpdateApp::CheckFinished);
    f.window.Show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.server.requestCount() == 1; }, 5000));
    f.window.setLanguage(0); // a language change runs a new check
    ASSERT_TRUE(done.wait(5000));
    EXPECT_EQ(done.takeFirst().at(0).toBool(), false);
    // The superseded reply never reports.
    EXPECT_FALSE(done.wait(300));
    EXPECT_EQ(f.server.requestCount(), 2);
}

TEST(NSWindowControllerCheckUpdateApp, LanguageBeforeShowDoesNothing) {
    UpdateFixture f;
    f.window.setLanguage(3);
    QApplication::processEvents();
    EXPECT_EQ(f.server.requestCount(), 0);
    EXPECT_EQ(f.window.backgroundImageName(), "bottom_background");
}

KIT_QT_TEST_MAIN(QApplication)
