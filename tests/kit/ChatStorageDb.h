#pragma once
#include "tests/kit/FixtureDb.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace kit {

// Writes a WhatsApp message store ("ChatStorage.sqlite") with real SQLite: the Core Data
// tables of sessions, push names, group members, messages and media items, each with
// Z_PK first. Dates are seconds since 2001 (Value: an integer, a fractional double, or
// anything else for damaged rows). Deleted rows stay on the pages (secure_delete off).
class ChatStorageDb {
  public:
    struct Message {
        Value session = int64_t(0);
        Value type = int64_t(0);
        Value fromMe = int64_t(0);
        Value date = int64_t(0); // seconds since 2001
        Value groupMember = nullptr;
        Value mediaItem = nullptr;
        Value fromJid = nullptr;
        Value text = nullptr;
        Value stanzaId = nullptr;
        Value groupEventType = int64_t(0);
    };
    struct MediaItem {
        Value latitude = nullptr;
        Value longitude = nullptr;
        Value vCard = nullptr;
        Value localPath = nullptr;
        Value author = nullptr;
    };

    explicit ChatStorageDb(const std::filesystem::path& path, int pageSize = 4096);

    // Each returns the new row's Z_PK.
    int64_t AddSession(const Value& jid, const Value& partnerName, const Value& sessionType,
                       bool hidden = false);
    int64_t AddPushName(const Value& jid, const Value& name);
    int64_t AddGroupMember(const Value& session, const Value& memberJid);
    int64_t AddMediaItem(const MediaItem& item);
    int64_t AddMessage(const Message& message);
    // Deletes messages (a WHERE clause without the word WHERE).
    void DeleteMessages(const std::string& where);

    FixtureDb& db() { return db_; }
    void Close() { db_.close(); }

  private:
    FixtureDb db_;
};

} // namespace kit
