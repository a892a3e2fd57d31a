// The companion package window with scratch folders and the loopback server: the
// installed check, the download's outcomes and paths, and clicks while busy.
#include "services/NSDownloadPackageView.h"

#include "gui/NSLanguageText.h"
#include "services/GRProgressIndicator.h"
#include "services/NSDownloadPackageViewDelegate.h"
#include "tests/kit/FakeOpener.h"
#include "tests/kit/LoopbackHttpServer.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct CloseCounter : NSDownloadPackageViewDelegate {
    int closes = 0;
    void NSDownloadPackageView_CloseEvent() override { ++closes; }
};

void Touch(const QString& path, const QByteArray& bytes = {}) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

struct DownloadFixture {
    kit::ScratchFolder root{"package"};
    QNetworkAccessManager nam;
    kit::LoopbackHttpServer server;
    kit::FakeOpener opener;
    QString appName = "Companion.app";
    QString address;
    std::unique_ptr<NSDownloadPackageView> view;

    QString apps() const { return QString::fromStdString((root.path() / "applications").string()); }
    QString downloads() const { return QString::fromStdString((root.path() / "Downloads").string()); }
    QString packagePath() const { return downloads() + "/Diriza-IOS/Companion.dmg"; }

    explicit DownloadFixture(int stallTimeoutMs = 3000) {
        address = server.url("/package.dmg");
        QDir().mkpath(apps());
        NSDownloadPackageView::Environment env;
        env.applicationsFolder = [this] { return apps(); };
        env.downloadsFolder = [this] { return downloads(); };
        env.appName = [this] { return appName; };
        env.downloadAddress = [this] { return address; };
        env.manager = &nam;
        env.stallTimeoutMs = stallTimeoutMs;
        view = std::make_unique<NSDownloadPackageView>(env);
    }

    // Clicks the button and waits for the download's end; its outcome.
    std::optional<bool> Download() {
        QSignalSpy done(view.get(), &NSDownloadPackageView::DownloadFinished);
        QTest::mouseClick(view->runButton(), Qt::LeftButton);
        if (done.isEmpty() && !done.wait(10000)) return std::nullopt;
        return done.takeFirst().at(0).toBool();
    }
};

} // namespace

TEST(NSDownloadPackageView, InstalledApplicationStarts) {
    DownloadFixture f;
    Touch(f.apps() + "/Companion.app");
    Touch(f.apps() + "/.zzz-hidden-last");
    CloseCounter delegate;
    f.view->setDelegate(&delegate);
    QObject sender;
    f.view->DownloadPackage(&sender);
    EXPECT_TRUE(f.view->isVisible());
    EXPECT_EQ(f.view->state(), NSDownloadPackageView::PackageStateInstalled);
    EXPECT_EQ(f.view->buttonTitle(), LanguageText("Run"));
    EXPECT_FALSE(f.view->isBusy());
    EXPECT_FALSE(f.view->grab().isNull());
    QTest::mouseClick(f.view->runButton(), Qt::LeftButton);
    ASSERT_EQ(f.opener.Opened().size(), 1);
    EXPECT_EQ(f.opener.Opened()[0], QUrl::fromLocalFile(f.apps() + "/Companion.app"));
    EXPECT_FALSE(f.view->isVisible());
    EXPECT_EQ(delegate.closes, 1);
    EXPECT_EQ(f.server.requestCount(), 0);
}

TEST(NSDownloadPackageView, FailedStartFallsBackToDownload) {
    DownloadFixture f;
    Touch(f.apps() + "/Companion.app");
    f.opener.result = false;
    f.view->DownloadPackage(nullptr);
    QTest::mouseClick(f.view->runButton(), Qt::LeftButton);
    EXPECT_EQ(f.view->state(), NSDownloadPackageView::PackageStateAbsent);
    EXPECT_EQ(f.view->buttonTitle(), LanguageText("UpLoading"));
}

TEST(NSDownloadPackageView, HiddenNamesNeverMatch) {
    DownloadFixture f;
    f.appName = ".hidden";
    Touch(f.apps() + "/.hidden");
    f.view->DownloadPackage(nullptr);
    EXPECT_EQ(f.view->state(), NSDownloadPackageView::PackageStateAbsent);
    EXPECT_EQ(f.view->buttonTitle(), LanguageText("UpLoading"));
    f.view->Check();
    EXPECT_EQ(f.view->state(), NSDownloadPackageView::PackageStateAbsent);
}

TEST(NSDownloadPackageView, LookOutFindsTheInstalledApplication) {
    DownloadFixture f;
    f.view->DownloadPackage(nullptr);
    EXPECT_EQ(f.view->buttonTitle(), LanguageText("UpLoading"));
    Touch(f.apps() + "/Companion.app");
    f.view->Check();
    EXPECT_EQ(f.view->state(), NSDownloadPackageView::PackageStateInstalled);
    EXPECT_EQ(f.view->buttonTitle(), LanguageText("Run"));
}

TEST(NSDownloadPackageView, SuccessfulDownloadWritesThePackage) {
    DownloadFixture f;
    f.view->DownloadPackage(nullptr);
    const QByteArray payload(300000, 'p');
    f.server.Enqueue(kit::CannedReply::Ok(payload, "application/octet-stream"));
    EXPECT_EQ(f.Download(), std::optional<bool>(true));
    EXPECT_EQ(f.view->state(), NSDownloadPackageView::PackageStateDownloaded);
    EXPECT_EQ(f.view->buttonTitle(), LanguageText("OpenInstall"));
    EXPECT_EQ(f.view->packagePath(), f.packagePath());
    QFile written(f.packagePath());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), payload);
    EXPECT_TRUE(f.view->runButton()->isVisibleTo(f.view.get()));
    QTest::mouseClick(f.view->runButton(), Qt::LeftButton);
    ASSERT_EQ(f.opener.Opened().size(), 1);
    EXPECT_EQ(f.opener.Opened()[0], QUrl::fromLocalFile(f.packagePath()));
    EXPECT_EQ(f.server.requests()[0].path, "/package.dmg");
}

TEST(NSDownloadPackageView, FailuresLeaveNoPackage) {
    struct Case {
        const char* name;
        std::function<void(DownloadFixture&)> arrange;
    } cases[] = {
        {"404",
         [](DownloadFixture& f) { f.server.Enqueue(kit::CannedReply::Status(404, "<html>missing</html>")); }},
        {"500", [](DownloadFixture& f) { f.server.Enqueue(kit::CannedReply::Status(500, "oops")); }},
        {"closed", [](DownloadFixture& f) { f.server.Enqueue(kit::CannedReply::Closed()); }},
        {"refused",
         [](DownloadFixture& f) {
             f.address =
                 "http://127.0.0.1:" + QString::number(kit::LoopbackHttpServer::RefusedPort()) + "/p.dmg";
         }},
        {"length lies",
         [](DownloadFixture& f) {
             kit::CannedReply r = kit::CannedReply::Ok("short", "application/octet-stream");
             r.contentLength = 100;
             r.mode = kit::CannedReply::Mode::Stall;
             r.stallMs = 50;
             f.server.Enqueue(r);
         }},
        {"no address", [](DownloadFixture& f) { f.address.clear(); }},
        {"plain http elsewhere", [](DownloadFixture& f) { f.address = "http://example.org/p.dmg"; }},
        {"downloads folder is a file", [](DownloadFixture& f) { Touch(f.downloads(), "file in the way"); }},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        DownloadFixture f;
        tc.arrange(f);
        f.view->DownloadPackage(nullptr);
        EXPECT_EQ(f.Download(), std::optional<bool>(false));
        EXPECT_EQ(f.view->state(), NSDownloadPackageView::PackageStateFailed);
        EXPECT_EQ(f.view->buttonTitle(), LanguageText("Downloadfailed"));
        EXPECT_FALSE(QFileInfo::exists(f.packagePath()));
        EXPECT_FALSE(f.view->isBusy());
        EXPECT_TRUE(f.view->runButton()->isVisibleTo(f.view.get()));
    }
}

TEST(NSDownloadPackageView, StalledDownloadTimesOut) {
    DownloadFixture f(300);
    kit::CannedReply r = kit::CannedReply::Ok("part", "application/octet-stream");
    r.contentLength = -2; // no length
    r.mode = kit::CannedReply::Mode::Stall;
    r.stallMs = 5000;
    f.server.Enqueue(r);
    f.view->DownloadPackage(nullptr);
    QSignalSpy progress(f.view.get(), &NSDownloadPackageView::ProgressChanged);
    QSignalSpy done(f.view.get(), &NSDownloadPackageView::DownloadFinished);
    QTest::mouseClick(f.view->runButton(), Qt::LeftButton);
    ASSERT_TRUE(progress.wait(5000));
    // Unknown length: the bar runs indeterminate, never with a made-up fraction.
    EXPECT_TRUE(progress.first().at(1).toBool());
    EXPECT_TRUE(f.view->progress()->isIndeterminate());
    ASSERT_TRUE(done.wait(10000));
    EXPECT_FALSE(done.first().at(0).toBool());
    EXPECT_FALSE(QFileInfo::exists(f.packagePath()));
}

TEST(NSDownloadPackageView, BusyClicksAndLanguageChangeSendNothing) {
    // The download ends by the view's own stall timeout while the server still holds the
    // connection: a connection the server closed before a loaded machine's client read the
    // answer would make Qt send the request again by itself.
    DownloadFixture f(1500);
    kit::CannedReply r = kit::CannedReply::Ok(QByteArray(10, 'x'), "application/octet-stream");
    r.contentLength = 20;
    r.mode = kit::CannedReply::Mode::Stall;
    r.stallMs = 10000;
    f.server.Enqueue(r);
    f.view->DownloadPackage(nullptr);
    QSignalSpy progress(f.view.get(), &NSDownloadPackageView::ProgressChanged);
    QSignalSpy done(f.view.get(), &NSDownloadPackageView::DownloadFinished);
    QTest::mouseClick(f.view->runButton(), Qt::LeftButton);
    EXPECT_EQ(f.view->state(), NSDownloadPackageView::PackageStateDownloading);
    EXPECT_FALSE(f.view->runButton()->isVisibleTo(f.view.get()));
    EXPECT_TRUE(f.view->progress()->isVisibleTo(f.view.get()));
    ASSERT_TRUE(progress.wait(5000));
    f.view->setLanguage(0);
    EXPECT_EQ(f.view->state(), NSDownloadPackageView::PackageStateDownloading);
    EXPECT_EQ(f.view->buttonTitle(), LanguageText("Downlaoding"));
    f.view->RunButtonEvent(); // busy: nothing
    f.view->DownloadPackage(nullptr);
    f.view->RunButtonEvent();
    ASSERT_TRUE(done.wait(10000));
    EXPECT_EQ(f.server.requestCount(), 1);
}

TEST(NSDownloadPackageView, LanguageBeforeFirstUseDoesNothing) {
    DownloadFixture f;
    Touch(f.apps() + "/Companion.app");
    f.view->setLanguage(2);
    EXPECT_EQ(f.view->state(), NSDownloadPackageView::PackageStateAbsent);
    EXPECT_TRUE(f.view->isBusy());
    EXPECT_TRUE(f.view->runButton()->text().isEmpty());
}

TEST(NSDownloadPackageView, LanguageChangePutsADownloadedPackageBack) {
    DownloadFixture f;
    f.view->DownloadPackage(nullptr);
    f.server.Enqueue(kit::CannedReply::Ok("pkg", "application/octet-stream"));
    ASSERT_EQ(f.Download(), std::optional<bool>(true));
    f.view->setLanguage(0);
    EXPECT_EQ(f.view->state(), NSDownloadPackageView::PackageStateAbsent);
    EXPECT_EQ(f.view->buttonTitle(), LanguageText("UpLoading"));
}

KIT_QT_TEST_MAIN(QApplication)
