#include "tests/kit/WeChatAccountBuilder.h"

#include "core/util/MD5_CTX.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/ProtoWriter.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

namespace kit {

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out) ADD_FAILURE() << "cannot write " << path;
}

const char kChatColumns[] =
    "(TableVer INTEGER DEFAULT 1, MesLocalID INTEGER PRIMARY KEY AUTOINCREMENT, MesSvrID INTEGER DEFAULT 0, "
    "CreateTime INTEGER DEFAULT 0, Message TEXT, Status INTEGER DEFAULT 0, ImgStatus INTEGER DEFAULT 0, "
    "Type INTEGER, Des INTEGER)";

// A WCDB remark blob: nickname (field 1), alias (2), remark (3).
std::string remarkBlob(const std::string& nick, const std::string& remark) {
    ProtoWriter w;
    w.Bytes(1, nick).Bytes(2, "").Bytes(3, remark);
    return w.str();
}

} // namespace

WeChatAccountBuilder::WeChatAccountBuilder(std::string accountId, std::string nickName, bool settingsFile)
    : accountId(std::move(accountId)), nickName(std::move(nickName)), settingsFile(settingsFile) {}

std::string WeChatAccountBuilder::ChatTable(const std::string& peer) {
    return "Chat_" + getMd5String(peer);
}

std::string WeChatAccountBuilder::LongText(const std::string& text) {
    std::string out = text;
    while (out.size() < 140)
        out += " padding";
    return out;
}

std::string WeChatAccountBuilder::RelativeFolder() const {
    return "Documents/" + getMd5String(accountId);
}

std::string WeChatAccountBuilder::AccountFolder() const {
    return "/var/mobile/Applications/com.tencent.xin/" + RelativeFolder();
}

void WeChatAccountBuilder::AddFriend(const std::string& userName, const std::string& nick,
                                     const std::string& remark) {
    friends.push_back({userName, nick, remark, false});
    contacts.push_back({userName, nick, remark, false});
}

void WeChatAccountBuilder::AddDeletedFriend(const std::string& userName, const std::string& nick,
                                            const std::string& remark) {
    friends.push_back({userName, nick, remark, true});
    contacts.push_back({userName, nick, remark, true});
}

void WeChatAccountBuilder::AddMessage(Store store, Message message, bool deleteAfter) {
    if (deleteAfter) message.text = LongText(message.text);
    if (message.svrId == 0) message.svrId = nextSvrId++;
    Row row{message, nextLocalId++, deleteAfter};
    rows[store].push_back(row);
    Truth t;
    t.store = store;
    t.message = message;
    // A row only in the search index or read from the official-account database as
    // recovered counts as deleted.
    t.deleted = deleteAfter || store == FtsIndex;
    t.bytesSurvive = store == FtsIndex;
    truth.push_back(t);
}

void WeChatAccountBuilder::AddIndexedMessage(Message message, bool deleteAfter) {
    AddMessage(MainDb, std::move(message), deleteAfter);
    indexCopies.push_back(rows[MainDb].back());
}

void WeChatAccountBuilder::AddDroppedChat(const std::string& peer, std::vector<Message> messages,
                                          bool indexed) {
    for (Message& m : messages) {
        m.peer = peer;
        m.text = LongText(m.text);
        if (m.svrId == 0) m.svrId = nextSvrId++;
        Truth t;
        t.store = MainDb;
        t.message = m;
        t.deleted = true;
        truth.push_back(t);
    }
    droppedChats.push_back({peer, std::move(messages), indexed});
}

void WeChatAccountBuilder::AddSession(const std::string& peer, const std::string& nick, const Message& last) {
    Message m = last;
    m.peer = peer;
    sessions.push_back({peer, nick, m});
    Truth t;
    t.store = SessionFile;
    t.message = m;
    t.deleted = true;
    t.bytesSurvive = true;
    truth.push_back(t);
}

void WeChatAccountBuilder::AddLocalStore(const Message& message) {
    localStore.push_back(message);
    Truth t;
    t.store = LocalStore;
    t.message = message;
    t.deleted = true;
    t.bytesSurvive = true;
    truth.push_back(t);
}

void WeChatAccountBuilder::AddFtsLayoutB(const Message& message) {
    ftsLayoutB.push_back(message);
    Truth t;
    t.store = FtsIndex;
    t.message = message;
    t.deleted = true;
    t.bytesSurvive = true;
    truth.push_back(t);
}

void WeChatAccountBuilder::WriteChatDb(const fs::path& path, Store store, bool withFriends) {
    FixtureDb db(path);
    db.exec("BEGIN");
    if (withFriends) {
        db.exec(
            "CREATE TABLE Friend(UsrName TEXT, NickName TEXT, Type INTEGER);"
            "CREATE TABLE Friend_Ext(UsrName TEXT, ConRemark TEXT, ConStrRes2 TEXT, ConChatRoomMem TEXT);");
        for (const Friend& f : friends) {
            if (f.deleted) continue;
            db.insert("Friend", {"UsrName", "NickName", "Type"}, {f.userName, f.nickName, int64_t(3)});
            if (!f.remark.empty()) db.insert("Friend_Ext", {"UsrName", "ConRemark"}, {f.userName, f.remark});
        }
    }
    std::set<std::string> made;
    auto table = [&](const std::string& peer) {
        const std::string name = ChatTable(peer);
        if (made.insert(name).second) db.exec("CREATE TABLE " + name + kChatColumns + ";");
        return name;
    };
    auto insert = [&](const std::string& name, const Message& m, int64_t localId) {
        db.insert(name,
                  {"MesLocalID", "MesSvrID", "CreateTime", "Message", "Status", "ImgStatus", "Type", "Des"},
                  {localId, m.svrId, m.time, m.text, int64_t(2), int64_t(0), int64_t(m.type),
                   int64_t(m.fromMe ? 0 : 1)});
    };
    if (store == MainDb) {
        for (const DroppedChat& chat : droppedChats) {
            const std::string name = table(chat.peer);
            for (const Message& m : chat.messages) {
                if (chat.indexed) indexCopies.push_back({m, nextLocalId, true});
                insert(name, m, nextLocalId++);
            }
        }
    }
    for (const Row& r : rows[store])
        insert(table(r.message.peer), r.message, r.localId);
    for (const Row& r : rows[store])
        if (r.deleteAfter)
            db.deleteWhere(ChatTable(r.message.peer), "MesLocalID=" + std::to_string(r.localId));
    if (store == MainDb)
        for (const DroppedChat& chat : droppedChats)
            db.exec("DROP TABLE " + ChatTable(chat.peer) + ";");
    db.exec("COMMIT");
    db.close();
}

void WeChatAccountBuilder::WriteContactDb(const fs::path& path) {
    FixtureDb db(path);
    db.exec("BEGIN");
    db.exec("CREATE TABLE Friend(userName TEXT, type INTEGER, certificationFlag INTEGER, imgStatus INTEGER, "
            "dbContactLocal BLOB, dbContactOther BLOB, dbContactRemark BLOB, dbContactHeadImage BLOB, "
            "dbContactProfile BLOB, dbContactSocial BLOB, dbContactChatRoom BLOB)");
    int64_t rowid = 300;
    for (const Friend& f : friends) {
        ProtoWriter head;
        head.VarintField(1, 1).Bytes(2, "http://head.test/" + f.userName + std::string(60, 'h'));
        ProtoWriter profile;
        profile.VarintField(1, 1)
            .Bytes(2, "Country")
            .Bytes(3, "Province")
            .Bytes(4, "City")
            .Bytes(5, "Signature");
        db.run("INSERT INTO "
               "Friend(rowid,userName,type,certificationFlag,imgStatus,dbContactLocal,dbContactOther,"
               "dbContactRemark,dbContactHeadImage,dbContactProfile,dbContactSocial,dbContactChatRoom) "
               "VALUES(?1,?2,?3,0,1,?4,?5,?6,?7,?8,NULL,NULL)",
               {rowid++, f.userName, int64_t(3), Blob{"\x0a\x02local"}, Blob{"\x0a\x02other"},
                Blob{remarkBlob(f.nickName, f.remark)}, Blob{head.str()}, Blob{profile.str()}});
    }
    for (const Friend& f : friends)
        if (f.deleted) db.deleteWhere("Friend", "userName='" + f.userName + "'");
    db.exec("COMMIT");
    db.close();
}

void WeChatAccountBuilder::WriteFtsDb(const fs::path& path) {
    FixtureDb db(path);
    db.exec(
        "CREATE TABLE fts_username_id(usernameid INTEGER PRIMARY KEY, UsrName TEXT, validfalg INTEGER, "
        "preCursorMesId INTEGER, tableid INTEGER, nextCursorMesId INTEGER);"
        "CREATE TABLE fts_msg_delete_table(userNameId INTEGER, localId INTEGER);"
        "CREATE VIRTUAL TABLE fts_message_table_0 USING fts4(usernameid, MesLocalID, CreateTime, Message);"
        "CREATE TABLE fts_message_table_1_content(docid INTEGER PRIMARY KEY, c0CreateTime, c1MesLocalID, "
        "c2Message, c3Reserved, c4Reserved, c5usernameid);");
    std::map<std::string, int64_t> ids;
    auto idOf = [&](const std::string& peer) {
        auto it = ids.find(peer);
        if (it != ids.end()) return it->second;
        const int64_t id = int64_t(ids.size()) + 1;
        ids[peer] = id;
        db.insert("fts_username_id",
                  {"usernameid", "UsrName", "validfalg", "preCursorMesId", "tableid", "nextCursorMesId"},
                  {id, peer, int64_t(1), int64_t(0), int64_t(0), int64_t(0)});
        return id;
    };
    for (const Row& r : rows[FtsIndex])
        db.run("INSERT INTO fts_message_table_0(usernameid, MesLocalID, CreateTime, Message) "
               "VALUES(?1,?2,?3,?4)",
               {idOf(r.message.peer), r.localId, r.message.time, r.message.text});
    for (const Row& r : indexCopies) {
        db.run("INSERT INTO fts_message_table_0(usernameid, MesLocalID, CreateTime, Message) "
               "VALUES(?1,?2,?3,?4)",
               {idOf(r.message.peer), r.localId, r.message.time, r.message.text});
        if (r.deleteAfter)
            db.run("INSERT INTO fts_msg_delete_table(userNameId, localId) VALUES(?1,?2)",
                   {idOf(r.message.peer), r.localId});
    }
    int64_t localId = 5000;
    for (const Message& m : ftsLayoutB)
        db.run("INSERT INTO fts_message_table_1_content(c0CreateTime,c1MesLocalID,c2Message,c5usernameid) "
               "VALUES(?1,?2,?3,?4)",
               {m.time, localId++, m.text, idOf(m.peer)});
    db.close();
}

std::string WeChatAccountBuilder::SessionBytes(const std::string& peer, const std::string& nick,
                                               const Message& last) const {
    ProtoWriter block;
    block.VarintField(10, 1).Bytes(4, nick).Bytes(1, peer).Bytes(6, "").Bytes(2, "").Bytes(
        14, "http://head.test/" + peer);
    ProtoWriter contact;
    contact.Bytes(9, "a signature").Nested(1, block);
    ProtoWriter message;
    message.Tag(7, 0).VarintWidth(uint64_t(last.time), 5);
    message.Bytes(11, last.text);
    message.VarintField(12, 1); // the bytes before the sender are passed over
    message.Bytes(8, last.fromMe ? accountId : peer).Bytes(9, "extra");
    ProtoWriter file;
    file.Nested(1, contact).Nested(2, message);
    return file.str();
}

std::string WeChatAccountBuilder::LocalStoreBytes() const {
    ProtoWriter out;
    out.Raw(std::string(32, '\0'));
    for (const Message& m : localStore) {
        out.VarintWidth(uint64_t(m.time), 5);
        out.Bytes(11, m.text)
            .VarintField(5, 1)
            .VarintField(1, 1)
            .VarintField(2, 1)
            .VarintField(3, uint64_t(m.type));
        out.VarintField(4, 0).VarintField(6, 0);
        out.Bytes(8, m.fromMe ? accountId : m.peer).Bytes(9, m.fromMe ? m.peer : accountId).Bytes(10, "");
        out.Raw(std::string(8, '\0'));
    }
    return out.str();
}

std::string WeChatAccountBuilder::ArchiveBytes() const {
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "$archiver", plist_new_string("NSKeyedArchiver"));
    plist_t objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    plist_array_append_item(objects, plist_new_dict());
    plist_array_append_item(objects, plist_new_string(accountId.c_str()));
    plist_array_append_item(objects, plist_new_string(nickName.c_str()));
    plist_array_append_item(objects, plist_new_string(("http://avatar.test/" + accountId + "/0").c_str()));
    plist_array_append_item(objects, plist_new_string(("http://avatar.test/" + accountId + "/132").c_str()));
    plist_array_append_item(objects, plist_new_string("http://avatar.test/after-the-end"));
    plist_dict_set_item(root, "$objects", objects);
    char* data = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &data, &length);
    std::string out = data ? std::string(data, length) : std::string();
    free(data);
    plist_free(root);
    return out;
}

std::string WeChatAccountBuilder::SettingsBytes() const {
    ProtoWriter w;
    w.Raw("header").Raw(accountId).Raw("pad");
    auto value = [&w](const std::string& key, const std::string& v) {
        ProtoWriter inner;
        inner.Varint(v.size()).Raw(v);
        w.Byte(uint8_t(key.size())).Raw(key).Varint(inner.size()).Raw(inner.str());
    };
    value("87", accountId);
    value("88", nickName);
    w.Raw("xxxxheadimgurl");
    ProtoWriter head;
    const std::string url = "http://avatar.test/" + accountId + "/132";
    head.Varint(url.size()).Raw(url);
    w.Varint(head.size()).Raw(head.str());
    return w.str();
}

void WeChatAccountBuilder::NoteSurvivors(const fs::path& file, Store store) {
    const std::string bytes = readFile(file);
    for (Truth& t : truth)
        if (t.store == store && t.deleted && !t.message.text.empty())
            t.bytesSurvive = bytes.find(t.message.text) != std::string::npos;
}

void WeChatAccountBuilder::Write(BackupBuilder& backup, const fs::path& scratch) {
    const fs::path dir = scratch / getMd5String(accountId);
    fs::create_directories(dir);
    const std::string folder = RelativeFolder();
    const std::string domain = Domain();

    if (chatDbSource.empty()) {
        WriteChatDb(dir / "MM.sqlite", MainDb, true);
        NoteSurvivors(dir / "MM.sqlite", MainDb);
        backup.AddFileFrom(domain, folder + "/DB/MM.sqlite", dir / "MM.sqlite");
    } else {
        backup.AddFileFrom(domain, folder + "/DB/MM.sqlite", chatDbSource);
    }
    WriteContactDb(dir / "WCDB_Contact.sqlite");
    backup.AddFileFrom(domain, folder + "/DB/WCDB_Contact.sqlite", dir / "WCDB_Contact.sqlite");
    for (Store s : {MessageDb1, MessageDb2}) {
        if (rows[s].empty()) continue;
        const std::string name = s == MessageDb1 ? "message_1.sqlite" : "message_2.sqlite";
        WriteChatDb(dir / name, s, false);
        NoteSurvivors(dir / name, s);
        backup.AddFileFrom(domain, folder + "/DB/" + name, dir / name);
        backup.AddFile(domain, folder + "/DB/" + name + "-wal", "");
        backup.AddFile(domain, folder + "/DB/" + name + "-shm", std::string(32, '\0'));
    }
    if (!rows[BrandDb].empty()) {
        WriteChatDb(dir / "BrandMsg.db", BrandDb, false);
        NoteSurvivors(dir / "BrandMsg.db", BrandDb);
        backup.AddFileFrom(domain, folder + "/Brand/BrandMsg.db", dir / "BrandMsg.db");
    }
    if (!rows[FtsIndex].empty() || !ftsLayoutB.empty() || !indexCopies.empty()) {
        WriteFtsDb(dir / "fts_message.db");
        backup.AddFileFrom(domain, folder + "/fts/fts_message.db", dir / "fts_message.db");
    }
    for (size_t i = 0; i < sessions.size(); ++i)
        backup.AddFile(domain, folder + "/session/data/" + getMd5String(sessions[i].peer),
                       SessionBytes(sessions[i].peer, sessions[i].nickName, sessions[i].last));
    if (!localStore.empty()) backup.AddFile(domain, folder + "/session/lsm_data/store0", LocalStoreBytes());
    if (settingsFile)
        backup.AddFile(domain, "Documents/MMappedKV/mmsetting.archive." + accountId, SettingsBytes());
    else
        backup.AddFile(domain, folder + "/mmsetting.archive", ArchiveBytes());
}

} // namespace kit
