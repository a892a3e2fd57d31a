#include "tests/kit/ChatStorageDb.h"

namespace kit {

namespace {

constexpr const char* kSchema = R"(
CREATE TABLE ZWACHATSESSION ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZARCHIVED INTEGER,
  ZHIDDEN INTEGER, ZSESSIONTYPE INTEGER, ZUNREADCOUNT INTEGER, ZLASTMESSAGEDATE TIMESTAMP, ZCONTACTJID VARCHAR,
  ZPARTNERNAME VARCHAR, ZLASTMESSAGETEXT VARCHAR );
CREATE TABLE ZWAPROFILEPUSHNAME ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZJID VARCHAR,
  ZPUSHNAME VARCHAR );
CREATE TABLE ZWAGROUPMEMBER ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZISACTIVE INTEGER,
  ZCHATSESSION INTEGER, ZCONTACTNAME VARCHAR, ZMEMBERJID VARCHAR );
CREATE TABLE ZWAMESSAGE ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZISFROMME INTEGER,
  ZMESSAGESTATUS INTEGER, ZMESSAGETYPE INTEGER, ZGROUPEVENTTYPE INTEGER, ZCHATSESSION INTEGER,
  ZGROUPMEMBER INTEGER, ZMEDIAITEM INTEGER, ZMESSAGEDATE TIMESTAMP, ZSENTDATE TIMESTAMP, ZFROMJID VARCHAR,
  ZSTANZAID VARCHAR, ZTEXT VARCHAR, ZTOJID VARCHAR );
CREATE TABLE ZWAMEDIAITEM ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZFILESIZE INTEGER,
  ZMESSAGE INTEGER, ZLATITUDE FLOAT, ZLONGITUDE FLOAT, ZAUTHORNAME VARCHAR, ZMEDIALOCALPATH VARCHAR,
  ZVCARDSTRING VARCHAR );
CREATE INDEX ZWAMESSAGE_ZCHATSESSION_INDEX ON ZWAMESSAGE (ZCHATSESSION);
)";

} // namespace

ChatStorageDb::ChatStorageDb(const std::filesystem::path& path, int pageSize) : db_(path, pageSize) {
    db_.exec(kSchema);
}

int64_t ChatStorageDb::AddSession(const Value& jid, const Value& partnerName, const Value& sessionType,
                                  bool hidden) {
    return db_.insert("ZWACHATSESSION",
                      {"Z_ENT", "Z_OPT", "ZARCHIVED", "ZHIDDEN", "ZSESSIONTYPE", "ZUNREADCOUNT",
                       "ZCONTACTJID", "ZPARTNERNAME"},
                      {int64_t(4), int64_t(1), int64_t(0), int64_t(hidden ? 1 : 0), sessionType, int64_t(0),
                       jid, partnerName});
}

int64_t ChatStorageDb::AddPushName(const Value& jid, const Value& name) {
    return db_.insert("ZWAPROFILEPUSHNAME", {"Z_ENT", "Z_OPT", "ZJID", "ZPUSHNAME"},
                      {int64_t(12), int64_t(1), jid, name});
}

int64_t ChatStorageDb::AddGroupMember(const Value& session, const Value& memberJid) {
    return db_.insert("ZWAGROUPMEMBER", {"Z_ENT", "Z_OPT", "ZISACTIVE", "ZCHATSESSION", "ZMEMBERJID"},
                      {int64_t(6), int64_t(1), int64_t(1), session, memberJid});
}

int64_t ChatStorageDb::AddMediaItem(const MediaItem& item) {
    return db_.insert("ZWAMEDIAITEM",
                      {"Z_ENT", "Z_OPT", "ZFILESIZE", "ZLATITUDE", "ZLONGITUDE", "ZAUTHORNAME",
                       "ZMEDIALOCALPATH", "ZVCARDSTRING"},
                      {int64_t(8), int64_t(1), int64_t(0), item.latitude, item.longitude, item.author,
                       item.localPath, item.vCard});
}

int64_t ChatStorageDb::AddMessage(const Message& m) {
    return db_.insert("ZWAMESSAGE",
                      {"Z_ENT", "Z_OPT", "ZISFROMME", "ZMESSAGESTATUS", "ZMESSAGETYPE", "ZGROUPEVENTTYPE",
                       "ZCHATSESSION", "ZGROUPMEMBER", "ZMEDIAITEM", "ZMESSAGEDATE", "ZSENTDATE", "ZFROMJID",
                       "ZSTANZAID", "ZTEXT", "ZTOJID"},
                      {int64_t(9), int64_t(1), m.fromMe, int64_t(8), m.type, m.groupEventType, m.session,
                       m.groupMember, m.mediaItem, m.date, m.date, m.fromJid, m.stanzaId, m.text, nullptr});
}

void ChatStorageDb::DeleteMessages(const std::string& where) {
    db_.deleteWhere("ZWAMESSAGE", where);
}

} // namespace kit
