// Saving WeChat chats: the columns by kind, media copies with their millisecond numbers,
// safe and distinct file names, a second save into files of its own, and failures counted.
#include "views/chat/WXChatExport.h"

#include "gui/NSLanguageText.h"
#include "gui/SaveFolder.h"
#include "tests/kit/CsvReader.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/QtWeChatRecords.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/views/media/ChatTestMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <iterator>
#include <sys/stat.h>

using kit::QtWeChatRecords;

namespace {

QString Q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

QStringList Lines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {"<missing " + path + ">"};
    QByteArray bytes = f.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
    QStringList lines = QString::fromUtf8(bytes).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

// The records of a saved CSV file, read with a strict RFC 4180 parser (empty when the
// file is missing or not well-formed).
std::vector<kit::CsvRecord> Records(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return kit::ParseCsv(f.readAll().toStdString()).value_or(std::vector<kit::CsvRecord>{});
}

TEST(WXChatExportRow, ColumnsByKind) {
    struct Case {
        qint64 kind;
        qint64 callTime;
        QString label;
        QString content;
    } cases[] = {
        {1, 0, LanguageText("WXChatRecordText"), "text"},
        {3, 0, LanguageText("WXChatRecordPhoto"), "copy 3"},
        {34, 0, LanguageText("WXChatRecordAudio"), "copy 34"},
        {43, 0, LanguageText("WXChatRecordVideo"), "copy 43"},
        {62, 0, LanguageText("WXChatRecordVideo"), "copy 43"},
        {42, 0, LanguageText("WXChatRecordMP"),
         LanguageText("WXChatRecordMPName") + ":Dana " + QString::fromUtf8("，") +
             LanguageText("WXChatRecordMPWX") + ":dana_wx"},
        {47, 0, LanguageText("WXChatRecordBQ"), "[" + LanguageText("WXChatRecordBQ") + "]"},
        {48, 0, LanguageText("WXChatRecordPos"), "text"},
        {49, 0, LanguageText("WXChatRecordUrl"), "https://example.invalid/"},
        {50, 0, LanguageText("WXChatRecordYuYin"), LanguageText("WXChatRecordCancelChat")},
        {50, 125, LanguageText("WXChatRecordYuYin"), LanguageText("WXChatRecordTimeLength") + ":2:5"},
        {10000, 0, LanguageText("WXChatRecordSys"), "text"},
        {10001, 0, LanguageText("WXChatRecordHongBao"), LanguageText("WXChatRecordHongBao")},
        {777, 0, LanguageText("WXChatRecordSys"), "text"},
    };
    for (const Case& c : cases) {
        auto m = QtWeChatRecords::Message(c.kind, 1, "text", 0);
        m.setBcardNickName("Dana");
        m.setBcardPhone("dana_wx");
        m.setURL("https://example.invalid/");
        m.setCallTime(c.callTime);
        m.setBIsVoice(true);
        m.setImageUrl("http://h/1.png");
        const QStringList row = WXChatExport::Row(m, [](int kind) { return QString("copy %1").arg(kind); });
        ASSERT_EQ(7, row.size());
        EXPECT_EQ("Bob", row[0]);
        EXPECT_EQ("", row[1]); // a time of 0 is no time known
        EXPECT_EQ(LanguageText("WXChatRecordReceiveState1"), row[2]);
        EXPECT_EQ(c.label, row[3]) << c.kind;
        EXPECT_EQ(c.content, row[4]) << c.kind << " " << c.callTime;
        EXPECT_EQ(LanguageText("NotDelete"), row[5]);
        EXPECT_EQ("http://h/1.png", row[6]);
    }
    // A video call, a sent and deleted message, no sender, no content.
    auto m = QtWeChatRecords::Message(50, 2, QString(), 0, true);
    m.setCsWxId(QString());
    const QStringList row = WXChatExport::Row(m, {});
    EXPECT_EQ("", row[0]); // never the text "null"
    EXPECT_EQ(LanguageText("WXChatRecordReceiveState2"), row[2]);
    EXPECT_EQ(LanguageText("WXChatRecordShiPin"), row[3]);
    EXPECT_EQ(LanguageText("Delete"), row[5]);
    for (qint64 kind : {1, 48, 49, 10000}) {
        auto none = QtWeChatRecords::Message(kind, 1, QString());
        none.setURL(QString());
        EXPECT_EQ("", WXChatExport::Row(none, {})[4]) << kind;
    }
    EXPECT_EQ("", WXChatExport::Row(QtWeChatRecords::Message(10000, 1, QString()), {})[4]);
}

struct ExportFixture : ::testing::Test {
    kit::ScratchFolder scratch{"wxexport"};
    QString backup, out;
    qint64 now = 1700000000000;
    std::vector<std::pair<int, int>> progress;
    int stopAfter = -1;
    void SetUp() override {
        backup = Q(scratch.path() / "backup");
        out = Q(scratch.path() / "out");
        QDir().mkpath(backup);
        QDir().mkpath(out);
    }
    DirizaSaveResult Save(const QList<WXChatExport::Item>& items) {
        WXChatExport exporter([this] { return now; },
                              [this] { return stopAfter >= 0 && int(progress.size()) >= stopAfter; },
                              [this](int total, int current) { progress.emplace_back(total, current); });
        return exporter.Save(out, items);
    }
    QString AccountFolder(const QString& account) const {
        return out + "/" + SaveFolder::SafeName(LanguageText("WXChatRecord")) + "/" + account;
    }
    QString MediaFolder(const QString& account, const char* kindKey) const {
        return AccountFolder(account) + "/" + SaveFolder::SafeName(LanguageText("WXChatRecordRes")) + "/" +
               SaveFolder::SafeName(NSLanguageText::Text(kindKey));
    }
};

TEST_F(ExportFixture, PicturesInOneMillisecondGetTheirOwnFiles) {
    ASSERT_TRUE(QtWeChatRecords::WritePicture(backup + "/a.png", 10, 10));
    ASSERT_TRUE(QtWeChatRecords::WritePicture(backup + "/b.png", 20, 20));
    auto p1 = QtWeChatRecords::Message(3, 1, "", 0);
    p1.setResourcesFile(backup + "/a.png");
    auto p2 = p1;
    p2.setResourcesFile(backup + "/b.png");
    auto missing = p1;
    missing.setResourcesFile(backup + "/gone.jpg");
    auto video = QtWeChatRecords::Message(43, 1, "", 0);
    video.setResourcesFile(backup + "/gone.mp4");
    auto text = QtWeChatRecords::Message(1, 1, "one, two\nthree", 0);
    // A copy from an earlier save already holds the first number.
    const QString photos = MediaFolder("me", "WXChatRecordPhoto");
    QDir().mkpath(photos);
    {
        QFile earlier(photos + "/1700000000000.jpg");
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier");
    }
    const auto backupBefore = kit::FolderSnapshot::Take(scratch.path() / "backup");
    const auto result =
        Save({{"me", "wxid_bob", QtWeChatRecords::Chat("me", "Bob", {p1, p2, missing, video, text})}});
    EXPECT_EQ("", kit::FolderSnapshot::Take(scratch.path() / "backup").DiffFrom(backupBefore));
    // The picture and the video the backup does not hold are counted apart, not failed.
    EXPECT_EQ((DirizaSaveResult{1, 0, 2}), result);

    const auto records = Records(AccountFolder("me") + "/Bob.csv");
    ASSERT_EQ(6u, records.size());
    kit::CsvRecord header;
    for (const QString& name : LanguageText("WXChatRecordDataStruct").split(','))
        header.push_back(name.toStdString());
    EXPECT_EQ(header, records[0]);
    for (const auto& r : records)
        ASSERT_EQ(7u, r.size());
    const std::string prefix = (SaveFolder::SafeName(LanguageText("WXChatRecordRes")) + "/" +
                                SaveFolder::SafeName(LanguageText("WXChatRecordPhoto")) + "/")
                                   .toStdString();
    EXPECT_EQ(prefix + "1700000000001.jpg", records[1][4]);
    EXPECT_EQ(prefix + "1700000000002.jpg", records[2][4]);
    EXPECT_EQ(LanguageText("WXChatRecordNotInBackup").toStdString(), records[3][4]);
    EXPECT_EQ(LanguageText("WXChatRecordNotInBackup").toStdString(), records[4][4]);
    EXPECT_EQ("one, two\nthree", records[5][4]); // the text as recovered
    // Each copy holds its own picture; the earlier file is untouched.
    QFile a(backup + "/a.png"), b(backup + "/b.png"), c1(photos + "/1700000000001.jpg"),
        c2(photos + "/1700000000002.jpg"), e(photos + "/1700000000000.jpg");
    for (QFile* f : {&a, &b, &c1, &c2, &e})
        ASSERT_TRUE(f->open(QIODevice::ReadOnly)) << f->fileName().toStdString();
    EXPECT_EQ(a.readAll(), c1.readAll());
    EXPECT_EQ(b.readAll(), c2.readAll());
    EXPECT_EQ("earlier", e.readAll());
}

TEST_F(ExportFixture, NamesAreSafeDistinctAndNeverReused) {
    const auto msg = QtWeChatRecords::Message(1, 1, "hi", 0);
    QList<WXChatExport::Item> items = {
        {"me", "k1", QtWeChatRecords::Chat("me", "a/b", {msg})},
        {"me", "k2", QtWeChatRecords::Chat("me", "Bob", {msg})},
        {"me", "k3", QtWeChatRecords::Chat("me", "Bob", {msg, msg})},
        {"me", "k4", QtWeChatRecords::Chat("me", "", {msg})},
        {"me", "k5", QtWeChatRecords::Chat("me", "Quiet", {})},
        {"../up", "k6", QtWeChatRecords::Chat("../up", "..", {msg})},
        {"me", "k7", QtWeChatRecords::Chat("me", QString::fromUtf8("x\0y", 3), {msg})},
    };
    const auto before = kit::FolderSnapshot::Take(scratch.path());
    auto result = Save(items);
    EXPECT_EQ((DirizaSaveResult{7, 0}), result);
    EXPECT_EQ(7u, progress.size());
    EXPECT_EQ(std::make_pair(7, 7), progress.back());
    EXPECT_EQ(2, Lines(AccountFolder("me") + "/x_y.csv").size());
    EXPECT_EQ(2, Lines(AccountFolder("me") + "/a_b.csv").size());
    EXPECT_EQ(2, Lines(AccountFolder("me") + "/Bob.csv").size());
    EXPECT_EQ(3, Lines(AccountFolder("me") + "/Bob (2).csv").size());
    EXPECT_EQ(2, Lines(AccountFolder("me") + "/k4.csv").size()); // no name: its stored key
    EXPECT_FALSE(QFile::exists(AccountFolder("me") + "/Quiet.csv"));
    EXPECT_TRUE(QDir(MediaFolder("me", "WXChatRecordVideo")).exists());
    EXPECT_TRUE(QFile::exists(AccountFolder(SaveFolder::SafeName("../up")) + "/_.csv"));
    // Nothing outside the chosen folder.
    for (const auto& [name, entry] : kit::FolderSnapshot::Take(scratch.path()).entries)
        if (!before.entries.count(name)) EXPECT_EQ(0u, name.rfind("out", 0)) << name;

    // Saving again writes files of its own next to the first save's, which stay as they
    // were; each new file has one mark and one header.
    const QStringList first = QDir(AccountFolder("me")).entryList({"*.csv"}, QDir::Files, QDir::Name);
    QMap<QString, QByteArray> firstBytes;
    for (const QString& name : first) {
        QFile f(AccountFolder("me") + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        firstBytes[name] = f.readAll();
    }
    progress.clear();
    EXPECT_EQ((DirizaSaveResult{7, 0}), Save(items));
    const QStringList both = QDir(AccountFolder("me")).entryList({"*.csv"}, QDir::Files, QDir::Name);
    EXPECT_EQ(2 * first.size(), both.size());
    for (const QString& name : both) {
        QFile f(AccountFolder("me") + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        if (firstBytes.contains(name)) EXPECT_EQ(firstBytes[name], bytes) << name.toStdString();
        EXPECT_EQ(1, bytes.count("\xEF\xBB\xBF")) << name.toStdString();
        EXPECT_EQ(1, bytes.count(LanguageText("WXChatRecordDataStruct").toUtf8())) << name.toStdString();
    }
}

// Media the backup does not hold (no stored file found, or none at the path) are said so
// in the row and counted apart; a stored file that is a link (to a file outside the
// backup, or even inside it), a folder or a pipe is a damaged entry: never copied,
// counted failed. No cell of the file reads "null".
TEST_F(ExportFixture, MissingAndDamagedMediaAreToldApart) {
    const QString outside = Q(scratch.path() / "outside.jpg");
    ASSERT_TRUE(QtWeChatRecords::WritePicture(outside, 8, 8));
    ASSERT_TRUE(QtWeChatRecords::WritePicture(backup + "/ok.jpg", 9, 9));
    ASSERT_TRUE(QFile::link(outside, backup + "/link.jpg"));
    ASSERT_TRUE(QFile::link(backup + "/ok.jpg", backup + "/inside.jpg"));
    ASSERT_TRUE(QDir().mkpath(backup + "/dir.jpg"));
    // The pipe stands beside the backup: the folder snapshot would wait on it.
    const QString pipe = Q(scratch.path() / "pipe.aud");
    ASSERT_EQ(0, ::mkfifo(pipe.toLocal8Bit().constData(), 0600));
    struct Case {
        qint64 kind;
        QString resource;
        bool damaged;
    } cases[] = {
        {3, "", false}, // the scan found no stored file
        {34, "", false},
        {43, "", false},
        {3, backup + "/gone.jpg", false}, // a stored file name, nothing there
        {3, backup + "/link.jpg", true},
        {43, backup + "/inside.jpg", true},
        {3, backup + "/dir.jpg", true},
        {34, pipe, true},
    };
    QList<NSWXChatSMSData> messages;
    for (const Case& c : cases) {
        auto m = QtWeChatRecords::Message(c.kind, 1, QString(), 0);
        m.setCsWxId(QString());
        m.setResourcesFile(c.resource);
        messages << m;
    }
    auto good = QtWeChatRecords::Message(3, 1, QString(), 0);
    good.setResourcesFile(backup + "/ok.jpg");
    messages << good;
    const auto backupBefore = kit::FolderSnapshot::Take(scratch.path() / "backup");
    const auto result = Save({{"me", "wxid_x", QtWeChatRecords::Chat("me", "X", messages)}});
    EXPECT_EQ((DirizaSaveResult{1, 4, 4}), result);
    EXPECT_EQ("", kit::FolderSnapshot::Take(scratch.path() / "backup").DiffFrom(backupBefore));

    const QStringList lines = Lines(AccountFolder("me") + "/X.csv");
    ASSERT_EQ(int(std::size(cases)) + 2, lines.size());
    for (int i = 0; i < int(std::size(cases)); ++i)
        EXPECT_EQ(cases[i].damaged ? QString("") : LanguageText("WXChatRecordNotInBackup"),
                  lines[i + 1].split(',')[4])
            << i;
    QFile csv(AccountFolder("me") + "/X.csv");
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_FALSE(csv.readAll().contains("null"));
    // Only the regular file was copied, and its copy is the backup's bytes.
    const QStringList copies = QDir(MediaFolder("me", "WXChatRecordPhoto")).entryList(QDir::Files) +
                               QDir(MediaFolder("me", "WXChatRecordAudio")).entryList(QDir::Files) +
                               QDir(MediaFolder("me", "WXChatRecordVideo")).entryList(QDir::Files);
    ASSERT_EQ(1, copies.size());
    QFile a(backup + "/ok.jpg"), b(MediaFolder("me", "WXChatRecordPhoto") + "/" + copies[0]);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
}

TEST_F(ExportFixture, StopAndUnusableFolders) {
    const auto msg = QtWeChatRecords::Message(1, 1, "hi", 0);
    // A stop after the first friend's report: its file has the header only.
    stopAfter = 1;
    auto result = Save({{"me", "k1", QtWeChatRecords::Chat("me", "Bob", {msg})},
                        {"me", "k2", QtWeChatRecords::Chat("me", "Ann", {msg})}});
    EXPECT_EQ(1u, progress.size());
    EXPECT_EQ(QStringList{LanguageText("WXChatRecordDataStruct")}, Lines(AccountFolder("me") + "/Bob.csv"));
    EXPECT_FALSE(QFile::exists(AccountFolder("me") + "/Ann.csv"));
    EXPECT_EQ(0, result.written);

    // A file where the account folder goes: every friend failed, nothing written.
    stopAfter = -1;
    progress.clear();
    {
        QFile blocker(AccountFolder("blocked"));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    result = Save({{"blocked", "k", QtWeChatRecords::Chat("blocked", "X", {msg})}});
    EXPECT_EQ((DirizaSaveResult{0, 1}), result);
    // A destination that is a file.
    out = backup + "/file";
    QFile(out).open(QIODevice::WriteOnly);
    result = Save({{"me", "k", QtWeChatRecords::Chat("me", "X", {msg})}});
    EXPECT_EQ((DirizaSaveResult{0, 1}), result);
    // Nothing at all to save.
    EXPECT_EQ(DirizaSaveResult{}, Save({}));
}

} // namespace

CHAT_TEST_MAIN(QCoreApplication)
