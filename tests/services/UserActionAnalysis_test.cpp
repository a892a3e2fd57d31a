// The usage reporter against the loopback server: paths, bodies (decrypted with
// libcrypto), the reply verdicts, the event queue, and silence without an address.
#include "services/UserActionAnalysis.h"

#include "platform/Paths.h"
#include "platform/ProcessLog.h"
#include "tests/kit/LoopbackHttpServer.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/scan/QtGtestMain.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QUrlQuery>

#include <openssl/evp.h>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The JSON text inside a posted body: base64, then AES-128-ECB with PKCS#7.
QByteArray DecryptBody(const QByteArray& body) {
    const QByteArray cipher = QByteArray::fromBase64(body);
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        EVP_CIPHER_CTX_free);
    EVP_DecryptInit_ex(ctx.get(), EVP_aes_128_ecb(), nullptr,
                       reinterpret_cast<const unsigned char*>(UserActionAnalysis::kBodyKey), nullptr);
    QByteArray out(cipher.size() + 16, '\0');
    int len = 0;
    int fin = 0;
    if (EVP_DecryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &len,
                          reinterpret_cast<const unsigned char*>(cipher.constData()),
                          int(cipher.size())) != 1 ||
        EVP_DecryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + len, &fin) != 1) {
        return "<undecryptable>";
    }
    out.resize(len + fin);
    return out;
}

// Member names of the top-level object in the order they appear in the text.
QStringList MemberOrder(const QByteArray& json) {
    QStringList names;
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    QList<QPair<qsizetype, QString>> at;
    for (const QString& key : object.keys())
        at.append({json.indexOf("\n   \"" + key.toUtf8() + "\" :"), key});
    std::sort(at.begin(), at.end());
    for (const auto& [pos, key] : at) {
        if (pos >= 0) names << key;
    }
    return names;
}

struct Reporter {
    QNetworkAccessManager nam;
    UserActionAnalysis reporter{&nam};
    kit::LoopbackHttpServer server;
    QStringList logLines;
    ProcessLog::Sink previous;

    Reporter() {
        reporter.SetDomainName(server.hostAndPort());
        reporter.SetTransferTimeout(2000);
        previous = ProcessLog::SetSink([this](const QString& line) { logLines << line; });
    }
    ~Reporter() { ProcessLog::SetSink(previous); }

    QJsonObject LastJson() const {
        return QJsonDocument::fromJson(DecryptBody(server.requests().last().body)).object();
    }
};

} // namespace

TEST(UserActionAnalysis, EachReportPostsItsSortedJson) {
    Reporter r;
    r.reporter.SetAppId(22);
    r.reporter.SetVersion("2.1.0");
    r.reporter.SetOS("Linux");
    r.reporter.SetOSBit(64);
    r.reporter.SetChannelCode("ch");
    r.reporter.SetMachineCode("m1");
    r.reporter.SetUserName("ann");
    struct Case {
        const char* path;
        std::function<bool()> send;
        QStringList members;
        int actionType;
    } cases[] = {
        {"/action.ashx",
         [&] { return r.reporter.ProductAction(3, true); },
         {"AppId", "ChannelCode", "MachineCode", "Os", "OsBit", "TypeId", "Version"},
         3},
        {"/event.ashx",
         [&] {
             r.reporter.AddLog("Start", 1, false, "ignored");
             return r.reporter.EventAction(true);
         },
         {"AppId", "Logs", "MachineCode", "OsBit", "Username", "Version"},
         5},
        {"/error.ashx",
         [&] { return r.reporter.ErrorAction(QString("crash"), true); },
         {"AppId", "Content", "Os", "OsBit", "Version"},
         6},
        {"/suggest.ashx",
         [&] { return r.reporter.Feedback(QString("hi"), QString("me@x")); },
         {"AppId", "Contact", "Content", "Version"},
         8},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.path);
        r.server.Enqueue(kit::CannedReply::Ok("1"));
        EXPECT_TRUE(tc.send());
        const auto req = r.server.requests().last();
        EXPECT_EQ(req.method, "POST");
        EXPECT_EQ(req.path, tc.path);
        EXPECT_EQ(req.header("Content-Length"), QByteArray::number(req.body.size()));
        const QByteArray json = DecryptBody(req.body);
        EXPECT_EQ(MemberOrder(json), tc.members) << json.toStdString();
        // A JSON text of n bytes gives (n / 16 + 1) x 16 encrypted bytes.
        EXPECT_EQ(QByteArray::fromBase64(req.body).size(), (json.size() / 16 + 1) * 16);
        EXPECT_EQ(r.reporter.ActionType(), tc.actionType);
    }
    const QJsonObject product = QJsonDocument::fromJson(DecryptBody(r.server.requests()[0].body)).object();
    EXPECT_EQ(product["AppId"].toInt(), 22);
    EXPECT_EQ(product["TypeId"].toInt(), 3);
    EXPECT_EQ(product["Version"].toString(), "2.1.0");
    EXPECT_EQ(product["OsBit"].toInt(), 64);
}

TEST(UserActionAnalysis, ReplyVerdicts) {
    const std::pair<QByteArray, bool> cases[] = {
        {"1", true}, {"12", true}, {" 7abc", true}, {"0", false}, {"-1", false}, {"abc", false}, {"", false},
    };
    for (const auto& [body, accepted] : cases) {
        Reporter r;
        r.server.Enqueue(kit::CannedReply::Ok(body));
        EXPECT_EQ(r.reporter.ProductAction(1, true), accepted) << body.toStdString();
        if (!accepted) {
            EXPECT_TRUE(r.logLines.contains("【日志】[ProductAction]ProductAction - Error:" +
                                            QString::fromUtf8(body)))
                << r.logLines.join("\n").toStdString();
        }
    }
    // Transport failures: closed at once, refused, stalled past the timeout.
    {
        Reporter r;
        r.server.Enqueue(kit::CannedReply::Closed());
        EXPECT_FALSE(r.reporter.Feedback(QString("x"), std::nullopt));
        EXPECT_TRUE(r.logLines.contains("【日志】[Feedback]ProductAction - unknownError"))
            << r.logLines.join("\n").toStdString() << " requests " << r.server.requestCount();
    }
    {
        Reporter r;
        r.reporter.SetDomainName("127.0.0.1:" + QString::number(kit::LoopbackHttpServer::RefusedPort()));
        EXPECT_FALSE(r.reporter.ErrorAction(QString("x"), true));
        EXPECT_TRUE(r.logLines.contains("【日志】[ErrorAction]ProductAction - unknownError"));
    }
    {
        Reporter r;
        r.reporter.SetTransferTimeout(200);
        kit::CannedReply stall;
        stall.mode = kit::CannedReply::Mode::Stall;
        stall.contentLength = 10;
        stall.body = "1";
        r.server.Enqueue(stall);
        EXPECT_FALSE(r.reporter.ProductAction(1, true));
        EXPECT_TRUE(r.logLines.contains("【日志】[ProductAction]ProductAction - unknownError"));
    }
}

TEST(UserActionAnalysis, AsynchronousReportsReturnAtOnceAndLog) {
    Reporter r;
    QSignalSpy finished(&r.nam, &QNetworkAccessManager::finished);
    r.server.Enqueue(kit::CannedReply::Ok("0"));
    EXPECT_TRUE(r.reporter.ProductAction(4, false));
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_TRUE(r.logLines.contains("【日志】[ProductAction] ProductAction - Error:0"))
        << r.logLines.join("\n").toStdString();
}

TEST(UserActionAnalysis, EventQueue) {
    Reporter r;
    EXPECT_FALSE(r.reporter.EventAction(true)); // empty queue: nothing sent
    EXPECT_EQ(r.server.requestCount(), 0);
    r.reporter.AddLog("Open", 3, false, "unused");
    r.reporter.AddLog("Save", 1, true, "sms");
    r.server.Enqueue(kit::CannedReply::Status(500, "0"));
    EXPECT_FALSE(r.reporter.EventAction(true));
    EXPECT_EQ(r.reporter.QueuedLogCount(), 0u); // gone although the post failed
    const QJsonArray logs = r.LastJson()["Logs"].toArray();
    ASSERT_EQ(logs.size(), 2);
    EXPECT_EQ(logs[0].toObject()["Code"].toString(), "Open");
    EXPECT_EQ(logs[0].toObject()["Mode"].toInt(), 1);
    EXPECT_EQ(logs[0].toObject()["Times"].toInt(), 3);
    EXPECT_EQ(logs[1].toObject()["Code"].toString(), "Save");
    EXPECT_EQ(logs[1].toObject()["Mode"].toInt(), 2);
    EXPECT_EQ(logs[1].toObject()["Value"].toString(), "sms");
    EXPECT_EQ(QJsonDocument::fromJson(DecryptBody(r.server.requests().last().body)).object().keys(),
              QStringList({"AppId", "Logs", "MachineCode", "OsBit", "Username", "Version"}));
}

TEST(UserActionAnalysis, MissingAndEmptyContact) {
    Reporter r;
    r.server.Enqueue(kit::CannedReply::Ok("1"));
    r.server.Enqueue(kit::CannedReply::Ok("1"));
    r.server.Enqueue(kit::CannedReply::Ok("1"));
    EXPECT_TRUE(r.reporter.Feedback(QString("msg"), std::nullopt));
    EXPECT_FALSE(r.LastJson().contains("Contact"));
    EXPECT_TRUE(r.reporter.Feedback(QString("msg"), QString("")));
    ASSERT_TRUE(r.LastJson().contains("Contact"));
    EXPECT_EQ(r.LastJson()["Contact"].toString(), "");
    EXPECT_TRUE(r.reporter.Feedback(std::nullopt, QString("c")));
    EXPECT_FALSE(r.LastJson().contains("Content"));
}

TEST(UserActionAnalysis, WithoutAddressNothingIsSent) {
    Reporter r;
    r.reporter.SetDomainName("");
    r.reporter.AddLog("a", 1, false, "");
    EXPECT_FALSE(r.reporter.ProductAction(1, true));
    EXPECT_TRUE(r.reporter.ProductAction(1, false));
    EXPECT_FALSE(r.reporter.EventAction(true));
    EXPECT_FALSE(r.reporter.Feedback(QString("m"), QString("c")));
    EXPECT_TRUE(r.logLines.contains("【日志】[Feedback]ProductAction - unknownError"));
    // Plain http to a host that is not loopback is refused as well.
    r.reporter.SetDomainName("http://stats.example.org");
    EXPECT_FALSE(r.reporter.ErrorAction(QString("e"), true));
    QCoreApplication::processEvents();
    EXPECT_EQ(r.server.requestCount(), 0);
}

TEST(UserActionAnalysis, LogUploadSendsThisProcessLog) {
    Reporter r;
    kit::ScratchFolder dir("reporter");
    const QString log = QString::fromStdString((dir.path() / "DoviakIOS.log").string());
    Paths::SetApplicationSupport(QString::fromStdString((dir.path() / "support").string()));
    EXPECT_FALSE(r.reporter.UploadLogAction()); // no log file at all
    QDir().mkpath(Paths::LogFolder());
    const std::pair<const char*, int> logs[] = {{"DoviakIOS-2026-12-09 10:00:00.log", -3600},
                                                {"DoviakIOS-2026-12-10 09:00:00.log", 0}};
    for (const auto& [name, age] : logs) {
        QFile f(Paths::LogFolder() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
        f.flush();
        ASSERT_TRUE(
            f.setFileTime(QDateTime::currentDateTime().addSecs(age), QFileDevice::FileModificationTime));
    }
    EXPECT_EQ(QFileInfo(r.reporter.LogFile()).fileName(), "DoviakIOS-2026-12-10 09:00:00.log");
    Paths::ResetOverrides();
    r.reporter.SetLogFile(log);
    EXPECT_FALSE(r.reporter.UploadLogAction()); // missing
    {
        QFile f(log);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_FALSE(r.reporter.UploadLogAction()); // empty
    {
        QFile f(log);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("line one\n\xff\xfe bad bytes\n");
    }
    QSignalSpy finished(&r.nam, &QNetworkAccessManager::finished);
    r.server.Enqueue(kit::CannedReply::Ok("1"));
    EXPECT_TRUE(r.reporter.UploadLogAction());
    ASSERT_TRUE(finished.wait(5000));
    ASSERT_EQ(r.server.requestCount(), 1);
    EXPECT_EQ(r.server.requests()[0].path, "/error.ashx");
    const QString content = r.LastJson()["Content"].toString();
    EXPECT_TRUE(content.startsWith("line one\n")) << content.toStdString();
    EXPECT_TRUE(content.contains(QChar::ReplacementCharacter));
}

TEST(UserActionAnalysis, FileUploadMultipartBytes) {
    Reporter r;
    r.reporter.SetAppId(7);
    r.reporter.SetVersion("1.0 beta");
    r.reporter.SetOS("Linux&x");
    kit::ScratchFolder dir("reporter");
    const QString path = QString::fromStdString((dir.path() / "dump.bin").string());
    EXPECT_FALSE(r.reporter.DumpFileAction(path)); // unreadable
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("AB\0\r\nC", 6));
    }
    QSignalSpy finished(&r.nam, &QNetworkAccessManager::finished);
    r.server.Enqueue(kit::CannedReply::Ok("{}", "application/json"));
    EXPECT_TRUE(r.reporter.DumpFileAction(path));
    ASSERT_TRUE(finished.wait(5000));
    ASSERT_EQ(r.server.requestCount(), 1);
    const auto req = r.server.requests()[0];
    EXPECT_EQ(req.method, "POST");
    EXPECT_EQ(req.path, "/errorfile.ashx");
    const QUrlQuery query(QString::fromUtf8(req.query));
    EXPECT_EQ(query.queryItemValue("aid"), "7");
    EXPECT_EQ(query.queryItemValue("v", QUrl::FullyDecoded), "1.0 beta");
    EXPECT_EQ(query.queryItemValue("os", QUrl::FullyDecoded), "Linux&x");
    EXPECT_EQ(query.queryItemValue("b"), "64");
    const QByteArray boundary = "-RYEOL-FB3B405B7EAE495aB0C0295C54D4E096-";
    const QByteArray expected =
        "\r\n--" + boundary + "\r\n" +
        "Content-Disposition: form-data; name=\"File\"; filename=\"12312asdasd.tmp\"\r\n" +
        "Content-Type:text/plain \r\n" + "Content-Transfer-Encoding: binary\r\n\r\n" +
        QByteArray("AB\0\r\nC", 6) + "\r\n--" + boundary + "--\r\n";
    EXPECT_EQ(req.body, expected);
    EXPECT_EQ(req.header("Content-Type"), "multipart/form-data; boundary=" + boundary);
}

QT_GTEST_MAIN(QCoreApplication)
