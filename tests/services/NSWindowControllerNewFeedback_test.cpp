// The second feedback window, offscreen, with fake picker and alerts and the loopback
// server: photo slots, the JPEG sizes, the token and form bytes, the time and order
// requests and every kind of answer.
#include "services/NSWindowControllerNewFeedback.h"

#include "gui/NSLanguageText.h"
#include "tests/kit/FakeAlertPresenter.h"
#include "tests/kit/FakeFilePicker.h"
#include "tests/kit/LoopbackHttpServer.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QNetworkAccessManager>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct NewFeedbackFixture {
    kit::ScratchFolder root{"newfeedback"};
    QNetworkAccessManager nam;
    kit::LoopbackHttpServer server;
    kit::FakeAlertPresenter alerts;
    kit::FakeFilePicker picker;
    QString host;
    std::unique_ptr<NSWindowControllerNewFeedback> window;

    NewFeedbackFixture() {
        host = server.hostAndPort();
        NSWindowControllerNewFeedback::Environment env;
        env.messageServer = [this] { return host; };
        env.manager = &nam;
        env.random = [](int, int) { return 1234; };
        env.transferTimeoutMs = 2000;
        window = std::make_unique<NSWindowControllerNewFeedback>(env);
        window->Show();
    }

    QString Image(const QString& name, QColor colour, QSize size = QSize(40, 30)) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = QString::fromStdString((root.path() / name.toStdString()).string());
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }

    void Add(const QStringList& paths) {
        picker.QueueAnswer(paths);
        window->AddPhoto1BtEvent(int(window->selectedImages().size()));
    }

    std::optional<std::pair<bool, QString>> Submit(const QString& message) {
        window->contentField()->setPlainText(message);
        QSignalSpy done(window.get(), &NSWindowControllerNewFeedback::SubmissionFinished);
        QTest::mouseClick(window->submitButton(), Qt::LeftButton);
        if (done.isEmpty() && !done.wait(5000)) return std::nullopt;
        return std::make_pair(done.first().at(0).toBool(), done.first().at(1).toString());
    }

    QList<QRgb> Colours() const {
        QList<QRgb> out;
        for (const QImage& i : window->selectedImages())
            out << i.pixel(0, 0);
        return out;
    }
};

int VisibleSlots(const NSWindowControllerNewFeedback& w) {
    int n = 0;
    for (int i = 0; i < 5; ++i)
        n += w.photoSlot(i)->isVisibleTo(&w) ? 1 : 0;
    return n;
}

QByteArray Md5(const QByteArray& text) {
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex();
}

} // namespace

TEST(NSWindowControllerNewFeedback, InitialForm) {
    NewFeedbackFixture f;
    EXPECT_EQ(f.window->selectedType(), 1);
    EXPECT_TRUE(f.window->typeButton(0)->isChecked());
    EXPECT_EQ(VisibleSlots(*f.window), 1);
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(f.window->deleteButton(i)->isVisibleTo(f.window.get()));
    EXPECT_FALSE(f.window->grab().isNull());
}

TEST(NSWindowControllerNewFeedback, KindButtonsAreExclusive) {
    NewFeedbackFixture f;
    QTest::mouseClick(f.window->typeButton(1), Qt::LeftButton);
    EXPECT_EQ(f.window->selectedType(), 3);
    EXPECT_FALSE(f.window->typeButton(0)->isChecked());
    QTest::mouseClick(f.window->typeButton(2), Qt::LeftButton);
    EXPECT_EQ(f.window->selectedType(), 4);
    EXPECT_FALSE(f.window->typeButton(1)->isChecked());
    QTest::mouseClick(f.window->typeButton(0), Qt::LeftButton);
    EXPECT_EQ(f.window->selectedType(), 1);
}

TEST(NSWindowControllerNewFeedback, PhotoSlots) {
    NewFeedbackFixture f;
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta};
    QStringList paths;
    for (int i = 0; i < 6; ++i)
        paths << f.Image(QString("p%1.png").arg(i), colours[i]);

    f.Add(paths.mid(0, 3));
    EXPECT_EQ(f.window->selectedImages().size(), 3);
    EXPECT_EQ(VisibleSlots(*f.window), 4); // three photos and the free slot
    ASSERT_EQ(f.picker.Requests().size(), 1);
    EXPECT_TRUE(f.picker.Requests()[0].multiple);
    EXPECT_TRUE(f.picker.Requests()[0].chooseFolders);
    EXPECT_TRUE(f.picker.Requests()[0].fileTypes.contains("jpeg"));

    // Three more would make six: none is added, the alert offers the 2 left.
    f.Add(paths.mid(3, 3));
    EXPECT_EQ(f.window->selectedImages().size(), 3);
    ASSERT_EQ(f.alerts.Alerts().size(), 1);
    EXPECT_EQ(f.alerts.Texts()[0], SafeFormat(LanguageText("SelectPhotoNum"), {"2"}));
    EXPECT_TRUE(f.alerts.Alerts()[0].sheet);
    EXPECT_EQ(f.alerts.Alerts()[0].alert.messageText, LanguageText("提示"));

    f.Add(paths.mid(3, 2));
    EXPECT_EQ(f.window->selectedImages().size(), 5);
    EXPECT_EQ(VisibleSlots(*f.window), 5); // no add slot remains
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(f.window->deleteButton(i)->isVisibleTo(f.window.get()));

    // Removing the middle photo moves the later ones up.
    QTest::mouseClick(f.window->deleteButton(2), Qt::LeftButton);
    EXPECT_EQ(f.Colours(), (QList<QRgb>{QColor(Qt::red).rgb(), QColor(Qt::green).rgb(),
                                        QColor(Qt::yellow).rgb(), QColor(Qt::cyan).rgb()}));
    EXPECT_EQ(VisibleSlots(*f.window), 5);
    EXPECT_FALSE(f.window->deleteButton(4)->isVisibleTo(f.window.get()));
    // Clicking a slot that shows a photo removes it.
    f.window->AddPhoto1BtEvent(0);
    EXPECT_EQ(f.Colours().first(), QColor(Qt::green).rgb());
    f.window->DeletePhotoBtEvent(4); // no photo there: nothing
    EXPECT_EQ(f.window->selectedImages().size(), 3);
}

TEST(NSWindowControllerNewFeedback, EntriesThatAreNoImagesAreSkippedAndNamed) {
    NewFeedbackFixture f;
    const QString folder = QString::fromStdString((f.root.path() / "folder.jpg").string());
    QDir().mkpath(folder);
    const QString text = QString::fromStdString((f.root.path() / "notes.png").string());
    {
        QFile t(text);
        ASSERT_TRUE(t.open(QIODevice::WriteOnly));
        t.write("not an image");
    }
    f.Add({folder, text, f.Image("ok.png", Qt::red)});
    EXPECT_EQ(f.window->selectedImages().size(), 1);
    ASSERT_EQ(f.alerts.Texts().size(), 1);
    EXPECT_TRUE(f.alerts.Texts()[0].startsWith(LanguageText("ErrPhotoLoad")));
    EXPECT_TRUE(f.alerts.Texts()[0].contains("folder.jpg"));
    EXPECT_TRUE(f.alerts.Texts()[0].contains("notes.png"));
    // A cancelled picker changes nothing.
    f.Add({});
    EXPECT_EQ(f.window->selectedImages().size(), 1);
}

TEST(NSWindowControllerNewFeedback, PhotosShrinkTo1080) {
    const std::pair<QSize, QSize> cases[] = {
        {{4000, 3000}, {1080, 810}},
        {{1000, 800}, {1000, 800}},
        {{800, 4000}, {216, 1080}},
        {{1080, 1080}, {1080, 1080}},
    };
    for (const auto& [in, out] : cases) {
        QImage image(in, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        const QByteArray jpeg = NSWindowControllerNewFeedback::imageTo1080(image);
        const QImage decoded = QImage::fromData(jpeg, "JPEG");
        EXPECT_EQ(decoded.size(), out) << in.width() << "x" << in.height();
    }
    EXPECT_TRUE(NSWindowControllerNewFeedback::imageTo1080(QImage()).isEmpty());
}

TEST(NSWindowControllerNewFeedback, TokenAndFormBytes) {
    const QString ts = "1700000000";
    const QByteArray key = NSWindowControllerNewFeedback::kFeedbackKey;
    EXPECT_EQ(NSWindowControllerNewFeedback::Token(1, ts).toLatin1(), Md5("2210" + ts.toLatin1() + key));
    EXPECT_EQ(NSWindowControllerNewFeedback::Token(4, ts).toLatin1(), Md5("2240" + ts.toLatin1() + key));

    const QByteArray jpeg("\xff\xd8 jpeg \r\n bytes", 16);
    QByteArray expected;
    auto field = [&](const QByteArray& name, const QByteArray& value) {
        expected +=
            "--BOUNDARY\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
    };
    field("appid", "22");
    field("typeid", "3");
    field("mobile", "");
    field("content", "Ünïcode text");
    field("code", "");
    field("m", "0");
    field("ts", ts.toLatin1());
    field("token", Md5("2230" + ts.toLatin1() + key));
    expected += "--BOUNDARY\r\nContent-Disposition: form-data; name=\"image\"; filename=\"" + ts.toLatin1() +
                "1.jpg\"\r\n\r\n" + jpeg + "\r\n";
    expected += "--BOUNDARY--\r\n";
    EXPECT_EQ(NSWindowControllerNewFeedback::OrderBody(3, "Ünïcode text", ts, {jpeg}), expected);
}

TEST(NSWindowControllerNewFeedback, SubmissionPostsTheSignedForm) {
    NewFeedbackFixture f;
    f.Add({f.Image("a.png", Qt::red)});
    QTest::mouseClick(f.window->typeButton(2), Qt::LeftButton);
    f.server.Enqueue(kit::CannedReply::Ok("1700000000"));
    f.server.Enqueue(kit::CannedReply::Ok(R"({"result":1,"msg":"ok"})", "application/json"));
    const auto outcome = f.Submit("Please add exports");
    ASSERT_TRUE(outcome.has_value());
    EXPECT_TRUE(outcome->first);
    EXPECT_EQ(outcome->second, LanguageText("suggestOK"));
    EXPECT_FALSE(f.window->isVisible()); // closed when the sheet ended
    const auto requests = f.server.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].path, "/time");
    EXPECT_EQ(requests[0].query, "1234");
    EXPECT_EQ(requests[1].method, "POST");
    EXPECT_EQ(requests[1].path, "/order");
    EXPECT_EQ(requests[1].query, "1234");
    EXPECT_EQ(requests[1].header("Content-Type"), "multipart/form-data; boundary=BOUNDARY");
    EXPECT_EQ(requests[1].header("Content-Length"), QByteArray::number(requests[1].body.size()));
    const QByteArray photo = NSWindowControllerNewFeedback::imageTo1080(f.window->selectedImages()[0]);
    EXPECT_EQ(requests[1].body,
              NSWindowControllerNewFeedback::OrderBody(4, "Please add exports", "1700000000", {photo}));
    EXPECT_TRUE(f.window->submitButton()->isEnabled());
}

TEST(NSWindowControllerNewFeedback, TimeFailuresPostNothing) {
    struct Case {
        const char* name;
        kit::CannedReply reply;
        const char* key;
    } cases[] = {
        {"crlf", kit::CannedReply::Ok("12\r\nContent-Type: x"), "ErrServerReply"},
        {"quote", kit::CannedReply::Ok("12\"; name=\"x"), "ErrServerReply"},
        {"letters", kit::CannedReply::Ok("abc"), "ErrServerReply"},
        {"empty", kit::CannedReply::Ok(""), "ErrServerReply"},
        {"too long", kit::CannedReply::Ok("123456789012345678901"), "ErrServerReply"},
        {"trailing newline", kit::CannedReply::Ok("1700000000\n"), "ErrServerReply"},
        {"404", kit::CannedReply::Status(404, "1700000000"), "ErrNetworkLost"},
        {"closed", kit::CannedReply::Closed(), "ErrNetworkLost"},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        NewFeedbackFixture f;
        f.server.Enqueue(tc.reply);
        const auto outcome = f.Submit("hello");
        ASSERT_TRUE(outcome.has_value());
        EXPECT_FALSE(outcome->first);
        EXPECT_EQ(f.alerts.Texts(),
                  QStringList{QString(tc.key) == "ErrServerReply" ? LanguageText("ErrServerReply")
                                                                  : LanguageText("ErrNetworkLost")});
        for (const auto& r : f.server.requests())
            EXPECT_NE(r.path, "/order");
        EXPECT_TRUE(f.window->isVisible());
        EXPECT_TRUE(f.window->submitButton()->isEnabled());
    }
}

TEST(NSWindowControllerNewFeedback, OrderAnswers) {
    struct Case {
        const char* name;
        kit::CannedReply reply;
        bool sent;
        QString text; // empty: the localised key below
        const char* key;
    } cases[] = {
        {"refused with msg", kit::CannedReply::Ok(R"({"result":0,"msg":"<b>busy</b>"})"), false,
         "<b>busy</b>", ""},
        {"result as text", kit::CannedReply::Ok(R"({"result":"1"})"), true, "", "suggestOK"},
        {"array", kit::CannedReply::Ok(R"([{"result":1}])"), false, "", "suggestFail"},
        {"no result", kit::CannedReply::Ok(R"({"msg":"x"})"), false, "", "suggestFail"},
        {"msg not text", kit::CannedReply::Ok(R"({"result":0,"msg":5})"), false, "", "suggestFail"},
        {"not json", kit::CannedReply::Ok("<html></html>"), false, "", "suggestFail"},
        {"closed", kit::CannedReply::Closed(), false, "", "ErrNetworkLost"},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        NewFeedbackFixture f;
        f.server.Enqueue(kit::CannedReply::Ok("42"));
        f.server.Enqueue(tc.reply);
        const auto outcome = f.Submit("hello");
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(outcome->first, tc.sent);
        const QString expected =
            tc.text.isEmpty() ? NSLanguageText::Text(QString::fromLatin1(tc.key)) : tc.text;
        EXPECT_EQ(outcome->second, expected);
        EXPECT_EQ(f.alerts.Texts(), QStringList{expected});
        EXPECT_EQ(f.window->isVisible(), !tc.sent);
        if (!tc.sent) {
            EXPECT_EQ(f.window->contentField()->toPlainText(), "hello");
        }
    }
}

TEST(NSWindowControllerNewFeedback, NothingWithoutMessageOrServer) {
    {
        NewFeedbackFixture f;
        const auto outcome = f.Submit("");
        EXPECT_FALSE(outcome.has_value()); // no submission at all
        EXPECT_EQ(f.alerts.Texts(), QStringList{LanguageText("inputSuggest")});
        EXPECT_EQ(f.server.requestCount(), 0);
    }
    {
        NewFeedbackFixture f;
        f.host.clear();
        const auto outcome = f.Submit("hello");
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(outcome->second, LanguageText("ErrNetworkLost"));
        EXPECT_EQ(f.server.requestCount(), 0);
    }
}

TEST(NSWindowControllerNewFeedback, SubmitIsDisabledWhileSending) {
    NewFeedbackFixture f;
    // The second press comes before the event loop runs, so the first request is still
    // on its way whatever the server does; an answer that ends the submission at once
    // (a time it cannot read) keeps the count exact. A stalled answer cut off by a reset
    // could lose its bytes on a loaded machine, and the client then sends it again.
    f.server.Enqueue(kit::CannedReply::Ok("abc"));
    f.window->contentField()->setPlainText("hello");
    QSignalSpy done(f.window.get(), &NSWindowControllerNewFeedback::SubmissionFinished);
    QTest::mouseClick(f.window->submitButton(), Qt::LeftButton);
    EXPECT_TRUE(f.window->isSending());
    EXPECT_FALSE(f.window->submitButton()->isEnabled());
    f.window->SubmitBtEvent(); // ignored while sending
    ASSERT_TRUE(done.wait(5000));
    EXPECT_EQ(f.server.requestCount(), 1);
    EXPECT_TRUE(f.window->submitButton()->isEnabled());
}

KIT_QT_TEST_MAIN(QApplication)
