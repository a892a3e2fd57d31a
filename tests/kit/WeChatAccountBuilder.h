#pragma once
#include "tests/kit/BackupBuilder.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kit {

// Builds the folder of one WeChat account in a backup: its name source
// ("mmsetting.archive" or a key-value settings file), "DB/MM.sqlite" (friends, chats,
// a dropped chat), "DB/WCDB_Contact.sqlite", extra message databases
// "DB/message_<n>.sqlite" (with -wal and -shm entries beside them), session and
// local-store files, "fts/fts_message.db" and "Brand/BrandMsg.db", and records what a
// scan must find: the live rows, the deleted rows, and which deleted rows' texts still
// lie in a file.
class WeChatAccountBuilder {
  public:
    // Where a message is stored.
    enum Store { MainDb, MessageDb1, MessageDb2, SessionFile, LocalStore, FtsIndex, BrandDb };

    struct Message {
        std::string peer; // user name of the chat partner
        int64_t time = 1600000000;
        int32_t type = 1;
        bool fromMe = false;
        std::string text;
        int64_t svrId = 0; // 0: one is made up (>= 2^47)
    };
    struct Truth {
        Store store = MainDb;
        Message message;
        bool deleted = false;
        bool bytesSurvive = false; // a deleted row whose text still lies in its file
    };
    struct Contact {
        std::string userName, nickName, remark;
        bool deleted = false;
    };

    // `settingsFile` names the account from a key-value settings file in place of an archive.
    WeChatAccountBuilder(std::string accountId, std::string nickName, bool settingsFile = false);

    void AddFriend(const std::string& userName, const std::string& nickName, const std::string& remark = "");
    // A friend written to the contacts database and deleted again.
    void AddDeletedFriend(const std::string& userName, const std::string& nickName,
                          const std::string& remark = "");
    // A message row; `deleteAfter` deletes it again (its text is padded so that the row
    // stays carvable). MainDb, MessageDb1/2, BrandDb and FtsIndex (layout A) only.
    void AddMessage(Store store, Message message, bool deleteAfter = false);
    // A message of the main database whose search index holds a copy of it (same local id
    // and text; a deleted row is also on the index's deletion list).
    void AddIndexedMessage(Message message, bool deleteAfter = false);
    // A whole chat of the main database whose table is dropped afterwards; `indexed`: the
    // search index holds a copy of each of its messages.
    void AddDroppedChat(const std::string& peer, std::vector<Message> messages, bool indexed = false);
    // A session file for a chat (the contact part names the peer) with its last message.
    void AddSession(const std::string& peer, const std::string& nickName, const Message& last);
    // A record of the local-store file.
    void AddLocalStore(const Message& message);
    // A row of the search index message table 1 in layout B (a plain table).
    void AddFtsLayoutB(const Message& message);

    // Uses an existing file as "DB/MM.sqlite" (a benchmark's large database); the
    // friends and messages of the main database are then not written.
    void SetChatDbSource(const std::filesystem::path& path) { chatDbSource = path; }

    // Writes every file into `scratch`, then into the backup.
    void Write(BackupBuilder& backup, const std::filesystem::path& scratch);

    const std::string& AccountId() const { return accountId; }
    const std::string& NickName() const { return nickName; }
    // Device path of the account folder.
    std::string AccountFolder() const;
    const std::vector<Truth>& Messages() const { return truth; }
    const std::vector<Contact>& Contacts() const { return contacts; }

    static std::string Domain() { return "AppDomain-com.tencent.xin"; }
    // Chat table name of a peer.
    static std::string ChatTable(const std::string& peer);
    // Text padded so that a deleted row keeps a carvable payload.
    static std::string LongText(const std::string& text);

  private:
    struct Row {
        Message message;
        int64_t localId = 0;
        bool deleteAfter = false;
    };
    std::string RelativeFolder() const;
    void WriteChatDb(const std::filesystem::path& path, Store store, bool withFriends);
    void WriteContactDb(const std::filesystem::path& path);
    void WriteFtsDb(const std::filesystem::path& path);
    std::string SessionBytes(const std::string& peer, const std::string& nickName, const Message& last) const;
    std::string LocalStoreBytes() const;
    std::string ArchiveBytes() const;
    std::string SettingsBytes() const;
    void NoteSurvivors(const std::filesystem::path& file, Store store);

    std::string accountId, nickName;
    bool settingsFile = false;
    std::filesystem::path chatDbSource;
    struct Friend {
        std::string userName, nickName, remark;
        bool deleted = false;
    };
    std::vector<Friend> friends;
    std::map<Store, std::vector<Row>> rows;
    struct DroppedChat {
        std::string peer;
        std::vector<Message> messages;
        bool indexed = false;
    };
    std::vector<DroppedChat> droppedChats;
    // Search-index copies of chat rows: the message, its local id, whether it was deleted.
    std::vector<Row> indexCopies;
    struct Session {
        std::string peer, nickName;
        Message last;
    };
    std::vector<Session> sessions;
    std::vector<Message> localStore;
    std::vector<Message> ftsLayoutB;
    std::vector<Truth> truth;
    std::vector<Contact> contacts;
    int64_t nextLocalId = 200;
    int64_t nextSvrId = (int64_t(1) << 47) + 1000;
};

} // namespace kit
