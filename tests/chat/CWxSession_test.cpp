#include "chat/CWxSession.h"
#include "tests/chat/WxBackupFixture.h"
#include "tests/kit/ProtoWriter.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using kit::ProtoWriter;
using kit::WeChatAccountBuilder;

struct SessionFixture {
    wxtest::WxBackup backup;
    WeChatAccountBuilder account{"wxid_owner01", "Owner"};
    std::unique_ptr<CScanManager> m;
    explicit SessionFixture(int mask = 0x3000) {
        backup.Add(account);
        backup.Finish();
        m = backup.Manager(mask);
    }
    bool Parse(CWxSession& s, const std::string& bytes) {
        return s.ParseFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                           (m->typeMask & 0x2000) != 0);
    }
};

// First reading: flat fields with the contact block.
std::string firstReading(const std::string& user, const std::string& nick, const ProtoWriter& before = {},
                         const ProtoWriter& after = {}) {
    ProtoWriter block;
    block.VarintField(10, 1)
        .Bytes(4, nick)
        .Bytes(1, user)
        .Bytes(6, "Remark")
        .Bytes(2, "alias1")
        .Bytes(14, "http://h.test/1");
    ProtoWriter contact;
    contact.Raw(before.str()).Nested(1, block).Raw(after.str());
    ProtoWriter file;
    file.Nested(1, contact);
    return file.str();
}

std::string lastMessage(uint64_t time, const std::string& content, const std::string& sender,
                        const std::string& groupSender = "") {
    ProtoWriter m;
    m.Tag(7, 0).VarintWidth(time, 5).Bytes(11, content).VarintField(12, 1).Bytes(8, sender).Bytes(9, "extra");
    if (!groupSender.empty()) m.Bytes(10, groupSender);
    ProtoWriter part;
    part.Nested(2, m);
    return part.str();
}

TEST(CWxSession, FirstReadingAddsADeletedContactWithAddress) {
    SessionFixture f;
    CWxSession s(f.m.get(), 0);
    ProtoWriter before;
    before.Bytes(6, "Country").Bytes(7, "Province").Bytes(8, "City").Bytes(9, "Signature text");
    ASSERT_TRUE(f.Parse(s, firstReading("wxid_peer001", "Peer", before) +
                               lastMessage(1600000000, "hello", "wxid_peer001")));
    const WxContactRecord* c = wxtest::contact(*f.m, 0, "wxid_peer001");
    ASSERT_NE(nullptr, c);
    EXPECT_TRUE(c->deleted);
    EXPECT_EQ("Peer", c->nickName);
    EXPECT_EQ("Remark", c->remark);
    EXPECT_EQ("alias1", c->alias);
    EXPECT_EQ("Country/Province/City", c->address);
    EXPECT_EQ("Signature text", c->signature);
    ASSERT_EQ(1, s.Summaries().count());
    EXPECT_EQ(1600000000u, s.Summaries().first()->time);
    EXPECT_EQ("hello", s.Summaries().first()->content);
    EXPECT_EQ(c, s.Summaries().first()->peer);
}

TEST(CWxSession, AddressJoin) {
    struct {
        const char *a, *b, *c, *out;
    } cases[] = {{"x", "y", "z", "x/y/z"}, {"x", "", "z", "x/z"}, {"x", "y", "", "x/y/"},
                 {"", "y", "z", "/y/z"},   {"", "", "", "/"},     {"x", "", "", "x"}};
    for (const auto& c : cases)
        EXPECT_EQ(c.out, CWxSession::JoinAddress(c.a, c.b, c.c));
}

TEST(CWxSession, SecondReadingAndGroupMembers) {
    SessionFixture f;
    CWxSession s(f.m.get(), 0);
    ProtoWriter nested;
    nested.Bytes(1, "room1@chatroom")
        .Bytes(2, "roomalias")
        .Bytes(4, "Room Nick")
        .Bytes(14, "http://h.test/r");
    ProtoWriter contact;
    contact.Nested(1, nested)
        .Bytes(3, "wxid_m1;;wxid_m2;")
        .VarintField(4, 1)
        .Bytes(6, "A")
        .Bytes(7, "B")
        .Bytes(8, "C")
        .Bytes(9, "group sign");
    ProtoWriter file;
    file.Nested(1, contact);
    ASSERT_TRUE(f.Parse(s, file.str() + lastMessage(1600000001, "in the group", "wxid_m1", "wxid_real1")));
    const WxContactRecord* g = wxtest::contact(*f.m, 0, "room1@chatroom");
    ASSERT_NE(nullptr, g);
    EXPECT_EQ(2, g->kind);
    EXPECT_EQ("roomalias", g->alias);
    EXPECT_EQ("Room Nick", g->nickName);
    EXPECT_EQ("A/B/C", g->address);
    EXPECT_EQ("group sign", g->signature);
    ASSERT_EQ(3, g->members.count); // an empty name between two separators
    EXPECT_EQ("wxid_m2", g->members.first->userName);
    EXPECT_EQ("", g->members.first->next->userName);
    EXPECT_EQ(g, g->members.first->parent);
    ASSERT_EQ(1, s.Summaries().count());
    EXPECT_EQ("wxid_real1", s.Summaries().first()->sender); // the group sender replaces 0x42
}

// A member of a group found only in a session file is deleted like its group, unless the
// account holds a record of that member: then the member keeps that record's state.
TEST(CWxSession, GroupMembersTheAccountKnowsKeepTheirState) {
    SessionFixture f;
    auto live = std::make_unique<WxContactRecord>();
    live->userName = "wxid_m1";
    live->nickName = "Member One";
    f.m->AddWxContact(0, std::move(live), false);
    CWxSession s(f.m.get(), 0);
    ProtoWriter nested;
    nested.Bytes(1, "room2@chatroom").Bytes(2, "").Bytes(4, "Room Two").Bytes(14, "http://h.test/r");
    ProtoWriter contact;
    contact.Nested(1, nested).Bytes(3, "wxid_m1;wxid_m2");
    ProtoWriter file;
    file.Nested(1, contact);
    ASSERT_TRUE(f.Parse(s, file.str()));
    const WxContactRecord* g = wxtest::contact(*f.m, 0, "room2@chatroom");
    ASSERT_NE(nullptr, g);
    EXPECT_TRUE(g->deleted);
    ASSERT_EQ(2, g->members.count);
    for (const WxContactRecord* member = g->members.first; member; member = member->next) {
        SCOPED_TRACE(member->userName);
        EXPECT_EQ(member->userName == "wxid_m2", member->deleted);
    }
    EXPECT_EQ("Member One", g->members.last->nickName); // members are read in reverse
}

TEST(CWxSession, LiveContactUnchangedOwnerBecomesFriend) {
    SessionFixture f;
    auto live = std::make_unique<WxContactRecord>();
    live->userName = "wxid_live001";
    live->nickName = "Live";
    WxContactRecord* liveRec = f.m->AddWxContact(0, std::move(live), false);
    auto self = std::make_unique<WxContactRecord>();
    self->userName = "wxid_self001";
    self->kind = 3;
    WxContactRecord* selfRec = f.m->AddWxContact(0, std::move(self), false);
    CWxSession s(f.m.get(), 0);
    ASSERT_TRUE(f.Parse(s, firstReading("wxid_live001", "Other Nick") +
                               lastMessage(1600000000, "x", "wxid_live001")));
    EXPECT_EQ("Live", liveRec->nickName);
    EXPECT_FALSE(liveRec->deleted);
    EXPECT_EQ(liveRec, s.Summaries().first()->peer);
    ASSERT_TRUE(f.Parse(s, firstReading("wxid_self001", "Self Nick")));
    EXPECT_EQ(0, selfRec->kind);
    EXPECT_TRUE(selfRec->deleted);
    EXPECT_EQ("Self Nick", selfRec->nickName);
    EXPECT_EQ(selfRec, f.m->wxContactLists[0].first);
}

TEST(CWxSession, ShortOrOpenLastPartsGiveNoSummary) {
    SessionFixture f;
    CWxSession s(f.m.get(), 0);
    ProtoWriter tiny;
    tiny.Byte(0x12).Varint(11).Raw(std::string(11, '\x38'));
    EXPECT_TRUE(f.Parse(s, firstReading("wxid_peer002", "P") + tiny.str()));
    EXPECT_EQ(0, s.Summaries().count());
    // A "msgLocalID" text in 0x52 leaves the sender.
    ProtoWriter group;
    group.Nested(1, ProtoWriter()
                        .VarintField(10, 1)
                        .Bytes(4, "G")
                        .Bytes(1, "room2@chatroom")
                        .Bytes(6, "")
                        .Bytes(2, "")
                        .Bytes(14, ""));
    ProtoWriter file;
    file.Nested(1, group);
    ASSERT_TRUE(
        f.Parse(s, file.str() + lastMessage(1600000002, "x", "wxid_m9", "<msgLocalID>1</msgLocalID>")));
    ASSERT_EQ(1, s.Summaries().count());
    EXPECT_EQ("wxid_m9", s.Summaries().first()->sender);
}

TEST(CWxSession, ContactsOnlyKeepNoSummaries) {
    SessionFixture f(0x1000);
    CWxSession s(f.m.get(), 0);
    ASSERT_TRUE(f.Parse(s, firstReading("wxid_peer003", "P") + lastMessage(1600000000, "x", "wxid_peer003")));
    EXPECT_EQ(0, s.Summaries().count());
    EXPECT_NE(nullptr, wxtest::contact(*f.m, 0, "wxid_peer003"));
}

// Every prefix and random bytes: soft failures only.
TEST(CWxSession, TruncatedAndRandomFiles) {
    SessionFixture f;
    CWxSession s(f.m.get(), 0);
    ProtoWriter before;
    before.Bytes(6, "Country")
        .Bytes(7, "Province")
        .Bytes(8, "City")
        .VarintField(9, 5)
        .Byte(0x48)
        .Varint(1)
        .Byte(0x58)
        .Varint(1);
    const std::string whole =
        firstReading("wxid_peer004", "P", before) + lastMessage(1600000000, "hello there", "wxid_peer004");
    for (size_t n = 0; n < whole.size(); ++n)
        f.Parse(s, whole.substr(0, n));
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        std::string noise = whole;
        for (int k = 0; k < 4; ++k)
            noise[rng() % noise.size()] = char(rng());
        f.Parse(s, noise);
        std::string random(size_t(rng() % 200), '\0');
        for (char& c : random)
            c = char(rng());
        f.Parse(s, random);
    }
    SUCCEED();
}

} // namespace
