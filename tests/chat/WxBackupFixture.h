#pragma once
// A device backup holding WeChat accounts built by kit::WeChatAccountBuilder, read
// through the real manifest reader, and a scan manager over it with the account lists
// ready, for the tests of the WeChat parsers.
#include "core/backup/CMbdbFileParser.h"
#include "core/backup/WxAccountEntry.h"
#include "core/records/WxContactRecord.h"
#include "core/records/WxSessionRecord.h"
#include "scan/engine/CScanManager.h"
#include "tests/kit/BackupBuilder.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/kit/WeChatAccountBuilder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace wxtest {

namespace fs = std::filesystem;

// "Now" of the carved-date checks in these tests.
constexpr int64_t kNow = 1700000000;

class WxBackup {
  public:
    explicit WxBackup(kit::BackupBuilder::Generation generation = kit::BackupBuilder::Generation::ManifestDb)
        : dir(scratch.path()), builder(dir / "backup", generation) {
        fs::create_directories(dir / "out");
        fs::create_directories(dir / "work");
    }

    void Add(kit::WeChatAccountBuilder& account) { account.Write(builder, dir / "work"); }

    // Writes the manifest and reads it; finds the accounts.
    void Finish(const std::string& avatarPrefix = "http://avatar.test/") {
        builder.Finish();
        parser.SetWxAvatarPrefix(avatarPrefix);
        const std::string root = builder.root().string();
        ASSERT_TRUE(
            parser.Open(builder.ManifestPath().string().c_str(), root.c_str(), builder.IosMajorVersion()));
        parser.ScanWeChatAccounts();
        before = kit::FolderSnapshot::Take(builder.root());
    }

    // A scan manager with the account lists ready, as the scan sets them up.
    std::unique_ptr<CScanManager> Manager(int typeMask) {
        const std::string root = builder.root().string() + "/";
        auto m = std::make_unique<CScanManager>(typeMask, (dir / "out").string().c_str(), root.c_str(),
                                                builder.IosMajorVersion(), nullptr, &parser);
        m->now = [] { return kNow; };
        m->wxAccounts = parser.GetWeChatAccounts();
        m->wxContactLists.resize(m->wxAccounts->size());
        m->wxSessionLists.resize(m->wxAccounts->size());
        return m;
    }

    // Runs SQL on a stored file of the backup (a fixture step, before the scan); deleted
    // rows stay on their pages.
    void EditStored(const std::string& storedPath, const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open((builder.root() / storedPath).c_str(), &db));
        char* error = nullptr;
        EXPECT_EQ(SQLITE_OK,
                  sqlite3_exec(db, ("PRAGMA secure_delete=OFF;" + sql).c_str(), nullptr, nullptr, &error))
            << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
        before = kit::FolderSnapshot::Take(builder.root());
    }

    // The backup folder is as it was after Finish.
    void ExpectUnchanged() { EXPECT_EQ("", kit::FolderSnapshot::Take(builder.root()).DiffFrom(before)); }

    kit::ScratchFolder scratch{"wxtest"};
    fs::path dir;
    kit::BackupBuilder builder;
    CMbdbFileParser parser;
    kit::FolderSnapshot before;
};

// Every message of an account's sessions, with its session's peer.
struct Filed {
    const WxSessionRecord* session;
    const WxMessageRecord* message;
};
inline std::vector<Filed> allMessages(const CScanManager& m, int account) {
    std::vector<Filed> out;
    for (const WxSessionRecord* s = m.wxSessionLists[size_t(account)].first; s; s = s->next)
        for (const WxMessageRecord* msg = s->messages.first; msg; msg = msg->next)
            out.push_back({s, msg});
    return out;
}

// Messages whose text holds `needle`.
inline std::vector<Filed> find(const CScanManager& m, int account, const std::string& needle) {
    std::vector<Filed> out;
    for (const Filed& f : allMessages(m, account))
        if (f.message->text.find(needle) != std::string::npos ||
            f.message->title.find(needle) != std::string::npos)
            out.push_back(f);
    return out;
}

inline const WxContactRecord* contact(const CScanManager& m, int account, const std::string& userName) {
    for (const WxContactRecord* c = m.wxContactLists[size_t(account)].first; c; c = c->next)
        if (c->userName == userName) return c;
    return nullptr;
}

} // namespace wxtest
