// The messages of one second, searched by key once they are many: every look-up finds
// the message a walk in list order finds, and the duplicate test of recovered messages
// decides (and upgrades) exactly as the walk that compares one message after another.
#include "chat/WxMessageOps.h"
#include "chat/WxSecondIndex.h"
#include "core/records/WxMessageRecord.h"
#include "tests/chat/TwinSecondIndex.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// Facet 0: the text; facet 1: the title, for app messages only.
void testFacets(const WxMessageRecord& m, WxSecondIndex::Sink& sink) {
    sink.File(0, m.text);
    if (m.type == 49) sink.File(1, m.title);
}

std::unique_ptr<WxMessageRecord> message(int32_t type, std::string text, std::string title = {}) {
    auto m = std::make_unique<WxMessageRecord>();
    m->type = type;
    m->time = 1600000000;
    m->deleted = true;
    m->text = std::move(text);
    m->title = std::move(title);
    return m;
}

} // namespace

TEST(WxSecondIndex, LooksUpByKeyInListOrder) {
    std::vector<std::unique_ptr<WxMessageRecord>> owned;
    auto add = [&](int32_t type, std::string text, std::string title = {}) {
        owned.push_back(message(type, std::move(text), std::move(title)));
        return owned.back().get();
    };
    WxSecondIndex few;
    WxSecondIndex many;
    // List order: d, c (linked before the others), then a, b (read from the list).
    WxMessageRecord* a = add(1, "hello world");
    WxMessageRecord* b = add(1, "hello there");
    WxMessageRecord* c = add(49, "", "hello");
    WxMessageRecord* d = add(1, "hello world");
    for (WxSecondIndex* s : {&few, &many}) {
        s->PushBack(a);
        s->PushBack(b);
        s->PushFront(c);
        s->PushFront(d);
    }
    EXPECT_FALSE(few.Keyed(testFacets, 4));
    ASSERT_TRUE(many.Keyed(testFacets, 3));
    EXPECT_EQ(4u, many.Size());
    EXPECT_EQ(d, many.Front());
    std::vector<WxMessageRecord*> order;
    many.FirstWhere([&](WxMessageRecord& m) {
        order.push_back(&m);
        return false;
    });
    EXPECT_EQ((std::vector<WxMessageRecord*>{d, c, a, b}), order);

    EXPECT_EQ(d, many.FirstWithKey(0, "hello world"));
    EXPECT_EQ(c, many.FirstWithKey(1, "hello"));
    EXPECT_EQ(nullptr, many.FirstWithKey(0, "hello"));
    EXPECT_EQ(nullptr, many.FirstWithKey(7, "hello"));
    EXPECT_TRUE(many.AnyWithPrefix(0, "hello t"));
    EXPECT_FALSE(many.AnyWithPrefix(0, "hello x"));
    bool complete = false;
    EXPECT_EQ(d, many.FirstWithPrefix(0, "hello", 10, &complete));
    EXPECT_TRUE(complete);
    // Two keys begin with "hello"; looking at one leaves the other unseen.
    many.FirstWithPrefix(0, "hello", 1, &complete);
    EXPECT_FALSE(complete);
    // Keys that a text begins with: shorter than it and at least so long.
    WxMessageRecord* e = add(1, "hell");
    many.PushFront(e);
    EXPECT_EQ(e, many.FirstKeyBeginning(0, "hello world, and more", 4));
    EXPECT_EQ(d, many.FirstKeyBeginning(0, "hello world, and more", 5));
    EXPECT_EQ(nullptr, many.FirstKeyBeginning(0, "hello world", 5)); // not shorter
    EXPECT_EQ(nullptr, many.FirstKeyBeginning(0, "help", 1));
    EXPECT_EQ(e, many.Earlier(a, e));
    EXPECT_EQ(c, many.Earlier(c, nullptr));

    // A change between Unfile and Refile moves the message to its new keys.
    many.Unfile(d);
    d->text = "goodbye";
    many.Refile(d);
    EXPECT_EQ(a, many.FirstWithKey(0, "hello world"));
    EXPECT_EQ(d, many.FirstWithKey(0, "goodbye"));
    EXPECT_EQ(a, many.FirstKeyBeginning(0, "hello world, and more", 5));
    EXPECT_EQ(d, many.FirstKeyBeginning(0, "goodbye!", 1));
}

// Random seconds of recovered messages (texts and titles from a few letters, red-packet
// texts, NULs) and a run of new messages: the walk and the keys decide alike, upgrade
// the same message, and leave the same messages behind.
TEST(WxSecondIndex, KeyedDuplicateTestDecidesAsTheWalk) {
    const std::string packet = "\xe5\xbe\xae\xe4\xbf\xa1\xe7\xba\xa2\xe5\x8c\x85"; // the red-packet title
    std::mt19937 rng(29);
    auto word = [&](size_t most) {
        std::string w(rng() % (most + 1), 'a');
        for (char& ch : w)
            ch = "abb\0"[rng() % 4];
        return w;
    };
    auto randomMessage = [&]() {
        static const int32_t types[] = {1, 1, 1, 49, 49, 100001, 3, 64};
        auto m = message(types[rng() % 8], "");
        m->deleted = rng() % 4 != 0;
        if (m->type == 1 || m->type == 64) m->text = rng() % 6 == 0 ? packet + word(3) : word(9);
        if (m->type == 49) {
            m->title = rng() % 6 == 0 ? packet : word(4);
            m->url = word(3);
            if (rng() % 3 == 0) m->text = word(6);
        }
        return m;
    };
    int decided[3] = {0, 0, 0};
    for (int round = 0; round < 300; ++round) {
        wxtest::TwinSecondIndex twin;
        WxSecondIndex& walk = twin.walk;
        WxSecondIndex& keyed = twin.keyed;
        const int start = int(rng() % 12);
        for (int i = 0; i < start; ++i)
            twin.Link(randomMessage(), false);
        for (int i = 0; i < 30; ++i) {
            auto m = randomMessage();
            const WxSameInSecond a = wxSecondHasSameMessage(walk, *m, size_t(-1));
            const WxSameInSecond b = wxSecondHasSameMessage(keyed, *m, 0);
            ASSERT_EQ(int(a), int(b)) << "round " << round << " message " << i;
            ++decided[int(a)];
            ASSERT_EQ(twin.State(walk), twin.State(keyed)) << "round " << round << " message " << i;
            if (a == WxSameInSecond::New) twin.Link(std::move(m), true);
        }
    }
    // Both outcomes came up often; the budget of app-message titles was never reached.
    EXPECT_GT(decided[int(WxSameInSecond::New)], 1000);
    EXPECT_GT(decided[int(WxSameInSecond::Same)], 1000);
    EXPECT_EQ(0, decided[int(WxSameInSecond::LeftOut)]);
}

// An app message whose title begins more recovered texts of its second than one test
// looks at is left out: it is a copy of one of them, but which one it would upgrade is
// not known without comparing them all.
TEST(WxSecondIndex, AnAppTitleBeginningTooManyTextsIsLeftOut) {
    std::vector<std::unique_ptr<WxMessageRecord>> owned;
    WxSecondIndex second;
    for (size_t i = 0; i <= kWxTitleCandidates; ++i) {
        owned.push_back(message(1, "Shared title " + std::to_string(i)));
        second.PushBack(owned.back().get());
    }
    auto link = message(49, "", "Shared title");
    EXPECT_EQ(WxSameInSecond::LeftOut, wxSecondHasSameMessage(second, *link));
    for (const auto& m : owned)
        EXPECT_EQ(1, m->type);
    // One text fewer: the first in list order takes the link.
    WxSecondIndex fewer;
    for (size_t i = 1; i < owned.size(); ++i)
        fewer.PushBack(owned[i].get());
    EXPECT_EQ(WxSameInSecond::Same, wxSecondHasSameMessage(fewer, *link));
    EXPECT_EQ(49, owned[1]->type);
    EXPECT_EQ("Shared title", owned[1]->title);
    EXPECT_EQ(1, owned[2]->type);
    // Too many texts again, but an app message of that title is there: a copy of it, not
    // left out (and no text upgraded).
    auto copy = message(49, "", "Shared title");
    second.PushBack(copy.get());
    auto again = message(49, "", "Shared title");
    EXPECT_EQ(WxSameInSecond::Same, wxSecondHasSameMessage(second, *again));
    EXPECT_EQ(1, owned[0]->type);
}
