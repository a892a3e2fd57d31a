#include "chat/CWxAddressBook.h"
#include "chat/WxContactBlob.h"
#include "tests/chat/WxBackupFixture.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/ProtoWriter.h"

#include <gtest/gtest.h>

namespace {

using kit::ProtoWriter;
using kit::WeChatAccountBuilder;

TEST(CWxAddressBook, LiveDeletedAndCarvedContacts) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddFriend("wxid_alice01", "Alice", "Ali");
    a.AddDeletedFriend("wxid_gone001", "Gone Friend");
    backup.Add(a);
    backup.Finish();
    auto m = backup.Manager(0x1000);
    EXPECT_TRUE(CWxAddressBook(m.get(), 0).Scan());

    const WxContactRecord* owner = wxtest::contact(*m, 0, "wxid_owner01");
    ASSERT_NE(nullptr, owner);
    EXPECT_EQ(3, owner->kind);
    EXPECT_FALSE(owner->deleted);
    const WxContactRecord* alice = wxtest::contact(*m, 0, "wxid_alice01");
    ASSERT_NE(nullptr, alice);
    EXPECT_FALSE(alice->deleted);
    EXPECT_EQ(0, alice->kind);
    EXPECT_EQ("Alice", alice->nickName);
    EXPECT_EQ("Ali", alice->remark);
    EXPECT_EQ("Country/Province/City", alice->address);
    EXPECT_EQ("Signature", alice->signature);
    EXPECT_NE(std::string::npos, alice->headImageUrl.find("http://head.test/wxid_alice01"));
    // The deleted friend is carved from the contacts database.
    const WxContactRecord* gone = wxtest::contact(*m, 0, "wxid_gone001");
    ASSERT_NE(nullptr, gone);
    EXPECT_TRUE(gone->deleted);
    EXPECT_EQ("Gone Friend", gone->nickName);
    backup.ExpectUnchanged();
}

TEST(CWxAddressBook, ChatDatabaseTypesAndNonFriends) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    backup.Add(a);
    backup.Finish();
    // Rewrite the chat database's friend tables with the cases.
    const auto* account = (*backup.parser.GetWeChatAccounts())[0].get();
    {
        kit::FixtureDb db(backup.builder.root() / account->chatDbPath);
        db.exec(
            "CREATE TABLE Friend(UsrName TEXT, NickName TEXT, Type INTEGER);"
            "CREATE TABLE Friend_Ext(UsrName TEXT, ConRemark TEXT, ConStrRes2 TEXT, ConChatRoomMem TEXT);");
        struct {
            const char* user;
            int64_t type;
        } rows[] = {{"wxid_type2x", 2}, {"wxid_type3x", 3},  {"wxid_member", 4},
                    {"strangerx", 4},   {"wxid_noalias", 4}, {"room9@chatroom", 2}};
        for (const auto& r : rows)
            db.insert("Friend", {"UsrName", "NickName", "Type"}, {r.user, "N", r.type});
        db.insert("Friend_Ext", {"UsrName", "ConRemark", "ConStrRes2", "ConChatRoomMem"},
                  {"room9@chatroom", "Room", "", "wxid_member;;x"});
        db.insert("Friend_Ext", {"UsrName", "ConRemark", "ConStrRes2", "ConChatRoomMem"},
                  {"wxid_type3x", "R3",
                   "<alias>al3</alias><sign>s3</sign><province>P</province>"
                   "<phone><n><![CDATA[111]]></n></phone><phone><n><![CDATA[222]]></n></phone>",
                   ""});
        db.close();
        backup.before = kit::FolderSnapshot::Take(backup.builder.root());
    }
    auto m = backup.Manager(0x1000);
    CWxAddressBook(m.get(), 0).Scan();
    struct {
        const char* user;
        bool deleted;
        int kind;
    } expected[] = {{"wxid_type2x", true, 0}, {"wxid_type3x", false, 0},  {"wxid_member", false, 3},
                    {"strangerx", true, 0},   {"wxid_noalias", false, 3}, {"room9@chatroom", false, 2}};
    for (const auto& e : expected) {
        const WxContactRecord* c = wxtest::contact(*m, 0, e.user);
        ASSERT_NE(nullptr, c) << e.user;
        EXPECT_EQ(e.deleted, c->deleted) << e.user;
        EXPECT_EQ(e.kind, c->kind) << e.user;
    }
    const WxContactRecord* t3 = wxtest::contact(*m, 0, "wxid_type3x");
    EXPECT_EQ("al3", t3->alias);
    EXPECT_EQ("R3", t3->remark);
    EXPECT_EQ("/P", t3->address);
    EXPECT_EQ("111 222", t3->phone);
    const WxContactRecord* room = wxtest::contact(*m, 0, "room9@chatroom");
    ASSERT_EQ(3, room->members.count);
    EXPECT_EQ("wxid_member", room->members.first->userName);
    EXPECT_EQ("", room->members.first->next->userName);
    EXPECT_EQ(3, room->members.first->kind);
    backup.ExpectUnchanged();
}

// A group's member that the account holds a record of is that record: a live friend in
// a deleted group is not offered again as deleted, nor a deleted friend in a live group as
// live. Members known only by name take the group's state.
TEST(CWxAddressBook, GroupMembersKeepTheStateOfTheirOwnRecord) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddFriend("wxid_alice01", "Alice");
    backup.Add(a);
    backup.Finish();
    const auto* account = (*backup.parser.GetWeChatAccounts())[0].get();
    auto hex = [](const std::string& bytes) {
        std::string out = "X'";
        for (unsigned char c : bytes) {
            const char digits[] = "0123456789abcdef";
            out += digits[c >> 4];
            out += digits[c & 15];
        }
        return out + "'";
    };
    // A contacts-database row: user name, type, nickname, member list.
    auto row = [&](int rowid, const std::string& user, int type, const std::string& nick,
                   const std::string& members) {
        return "INSERT INTO Friend(rowid,userName,type,certificationFlag,imgStatus,dbContactLocal,"
               "dbContactOther,dbContactRemark,dbContactHeadImage,dbContactProfile,dbContactSocial,"
               "dbContactChatRoom) VALUES(" +
               std::to_string(rowid) + ",'" + user + "'," + std::to_string(type) + ",0,1," +
               hex("\x0a\x02local") + "," + hex("\x0a\x02other") + "," +
               hex(ProtoWriter().Bytes(1, nick).str()) + "," +
               hex(ProtoWriter().VarintField(1, 1).Bytes(2, "http://h.test/" + user).str()) + "," +
               hex(ProtoWriter().VarintField(1, 1).Bytes(2, "C").str()) + ",NULL," +
               (members.empty() ? std::string("NULL") : hex(ProtoWriter().Bytes(1, members).str())) + ");";
    };
    // A group chat and a friend deleted from the contacts database (a live row between
    // them keeps their cells apart), and a group chat still in the chat database's friend
    // tables; both groups list a live friend, the deleted friend, the owner and someone
    // the account holds no record of.
    const std::string members = "wxid_alice01;wxid_gone001;wxid_owner01;wxid_stranger1";
    backup.EditStored(account->contactDbPath, row(900, "old1@chatroom", 2, "Old Room", members) +
                                                  row(901, "wxid_spacer1", 3, "Spacer", "") +
                                                  row(902, "wxid_gone001", 3, "Gone Friend", "") +
                                                  "DELETE FROM Friend WHERE rowid IN (900, 902);");
    backup.EditStored(account->chatDbPath,
                      "INSERT INTO Friend(UsrName,NickName,Type) VALUES('live1@chatroom','Live Room',3);"
                      "INSERT INTO Friend_Ext(UsrName,ConRemark,ConStrRes2,ConChatRoomMem) VALUES("
                      "'live1@chatroom','','','" +
                          members + "');");
    auto m = backup.Manager(0x1000);
    ASSERT_TRUE(CWxAddressBook(m.get(), 0).Scan());
    const WxContactRecord* old = wxtest::contact(*m, 0, "old1@chatroom");
    const WxContactRecord* live = wxtest::contact(*m, 0, "live1@chatroom");
    ASSERT_NE(nullptr, old);
    ASSERT_NE(nullptr, live);
    EXPECT_TRUE(old->deleted);
    EXPECT_FALSE(live->deleted);
    for (const WxContactRecord* group : {old, live}) {
        SCOPED_TRACE(group->userName);
        ASSERT_EQ(4, group->members.count);
        for (const WxContactRecord* member = group->members.first; member; member = member->next) {
            SCOPED_TRACE(member->userName);
            const WxContactRecord* own = wxtest::contact(*m, 0, member->userName);
            // Known: the member's state is its record's; unknown: the group's.
            EXPECT_EQ(own ? own->deleted : group->deleted, member->deleted);
            if (own) EXPECT_EQ(own->nickName, member->nickName);
        }
    }
    const WxContactRecord* alice = wxtest::contact(*m, 0, "wxid_alice01");
    const WxContactRecord* gone = wxtest::contact(*m, 0, "wxid_gone001");
    ASSERT_NE(nullptr, alice);
    ASSERT_NE(nullptr, gone);
    EXPECT_FALSE(alice->deleted);
    EXPECT_TRUE(gone->deleted);
    backup.ExpectUnchanged();
}

TEST(CWxAddressBook, WithoutContactsDatabaseTheOwnerStays) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddFriend("wxid_alice01", "Alice");
    backup.Add(a);
    backup.Finish();
    auto m = backup.Manager(0x1000);
    const_cast<WxAccountEntry&>(*m->FindAccount(0)).contactDbPath.clear();
    EXPECT_FALSE(CWxAddressBook(m.get(), 0).Scan());
    EXPECT_NE(nullptr, wxtest::contact(*m, 0, "wxid_owner01"));
    EXPECT_NE(nullptr, wxtest::contact(*m, 0, "wxid_alice01")); // from the chat database
}

TEST(WxContactBlob, Decoders) {
    WxContactRow row;
    const std::string remark = ProtoWriter().Bytes(1, "Nick").Bytes(2, "Alias").Bytes(3, "Remark").str();
    wxParseRemarkBlob(reinterpret_cast<const uint8_t*>(remark.data()), remark.size(), row);
    EXPECT_EQ("Nick", row.nickName);
    EXPECT_EQ("Alias", row.alias);
    EXPECT_EQ("Remark", row.remark);
    const std::string social = ProtoWriter()
                                   .Nested(1, ProtoWriter().VarintField(7, 3).Nested(
                                                  11, ProtoWriter().Varint(3).Raw("123").Varint(2).Raw("45")))
                                   .str();
    wxParseSocialBlob(reinterpret_cast<const uint8_t*>(social.data()), social.size(), row);
    EXPECT_EQ("123 45", row.phone);
    const std::string room = ProtoWriter().Bytes(6, "x").Bytes(2, "y").Bytes(1, "a;b").str();
    wxParseChatRoomBlob(reinterpret_cast<const uint8_t*>(room.data()), room.size(), row);
    ASSERT_EQ(2u, row.memberNames.size());
    EXPECT_EQ("b", row.memberNames[1]);
}

// Every prefix of every blob, and 0- and 1-byte blobs: nothing read past the end.
TEST(WxContactBlob, TruncationSweep) {
    const std::string blobs[] = {
        ProtoWriter().Bytes(1, "Nick").Bytes(2, "Alias").Bytes(3, "Remark").str(),
        ProtoWriter().VarintField(1, 1).Bytes(2, "http://h.test/x").str(),
        ProtoWriter().VarintField(1, 1).Bytes(2, "C").Bytes(3, "P").Bytes(4, "T").Bytes(5, "Sig").str(),
        ProtoWriter()
            .Nested(1, ProtoWriter().VarintField(7, 3).Nested(11, ProtoWriter().Varint(3).Raw("123")))
            .str(),
        ProtoWriter().Bytes(6, "x").Bytes(2, "y").Bytes(1, "a;b").str(),
    };
    using Decoder = void (*)(const uint8_t*, size_t, WxContactRow&);
    const Decoder decoders[] = {wxParseRemarkBlob, wxParseHeadImageBlob, wxParseProfileBlob,
                                wxParseSocialBlob, wxParseChatRoomBlob};
    for (int i = 0; i < 5; ++i) {
        for (size_t n = 0; n <= blobs[i].size(); ++n) {
            // A copy of exactly n bytes, so that the sanitizer sees any read past it.
            std::vector<uint8_t> bytes(blobs[i].begin(), blobs[i].begin() + long(n));
            WxContactRow row;
            for (Decoder d : decoders)
                d(bytes.empty() ? nullptr : bytes.data(), bytes.size(), row);
        }
        for (uint8_t b : {0x00, 0x08, 0x0A, 0x12, 0x32, 0xFF}) {
            std::vector<uint8_t> one{b};
            WxContactRow row;
            for (Decoder d : decoders)
                d(one.data(), one.size(), row);
        }
    }
    SUCCEED();
}

} // namespace
