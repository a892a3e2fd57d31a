// The indexes that stand in for the parsers' list walks give the walks' answers:
// the place of a record in a deleted-first, newest-first list, the first text that
// contains a needle, and the body each note title takes.
#include "core/apps/CMemo.h"
#include "core/records/DeletedFirstOrder.h"
#include "core/util/SubstringSearch.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

struct Item {
    bool deleted = false;
    int64_t date = 0;
    int id = 0;
    Item* prev = nullptr;
    Item* next = nullptr;
};

std::vector<int> idsOf(const RecordList<Item>& list) {
    std::vector<int> ids;
    for (const Item* r = list.first; r; r = r->next)
        ids.push_back(r->id);
    return ids;
}

// The walk: the new item goes at the number of items that must precede it.
void insertByCount(RecordList<Item>& list, bool deleted, int64_t date, int id) {
    int32_t position = 0;
    for (const Item* r = list.first; r; r = r->next) {
        if (deleted) {
            if (r->deleted && r->date > date) ++position;
        } else if (r->deleted || r->date > date) {
            ++position;
        }
    }
    auto item = std::make_unique<Item>();
    item->deleted = deleted;
    item->date = date;
    item->id = id;
    list.insertAt(position, std::move(item));
}

} // namespace

TEST(DeletedFirstOrder, PlacesEveryRecordWhereTheCountingWalkDoes) {
    using Order = DeletedFirstOrder<Item, &Item::date>;
    std::mt19937 rng(20261210);
    for (int round = 0; round < 200; ++round) {
        RecordList<Item> walked, indexed;
        // Some rounds start from records already listed (in order).
        const int seeded = round % 3 == 0 ? static_cast<int>(rng() % 6) : 0;
        int id = 0;
        for (int i = 0; i < seeded; ++i, ++id) {
            const bool deleted = rng() % 2;
            const int64_t date = static_cast<int64_t>(rng() % 5) - 2;
            insertByCount(walked, deleted, date, id);
            insertByCount(indexed, deleted, date, id);
        }
        Order order;
        ASSERT_TRUE(order.Load(indexed));
        // Few dates, so most records meet others of their group and date; extreme dates too.
        const int n = 1 + static_cast<int>(rng() % 40);
        for (int i = 0; i < n; ++i, ++id) {
            const bool deleted = rng() % 3 == 0;
            int64_t date = static_cast<int64_t>(rng() % 6) * 1000 - 2000;
            if (rng() % 17 == 0) date = (rng() % 2) ? INT64_MAX : INT64_MIN;
            insertByCount(walked, deleted, date, id);
            auto item = std::make_unique<Item>();
            item->deleted = deleted;
            item->date = date;
            item->id = id;
            Item* before = order.Before(deleted, date);
            order.Added(indexed.insertBefore(before, std::move(item)));
        }
        ASSERT_EQ(idsOf(walked), idsOf(indexed)) << "round " << round;
    }
}

TEST(DeletedFirstOrder, RefusesAListOutOfOrder) {
    using Order = DeletedFirstOrder<Item, &Item::date>;
    const std::vector<std::vector<std::pair<bool, int64_t>>> cases = {
        {{false, 5}, {true, 9}},  // a deleted record after a live one
        {{true, 1}, {true, 2}},   // older before newer
        {{false, 1}, {false, 2}}, //
    };
    for (const auto& c : cases) {
        RecordList<Item> list;
        for (auto [deleted, date] : c) {
            auto item = std::make_unique<Item>();
            item->deleted = deleted;
            item->date = date;
            list.append(std::move(item));
        }
        Order order;
        EXPECT_FALSE(order.Load(list));
        EXPECT_EQ(nullptr, order.Before(true, 0)); // nothing indexed
    }
    RecordList<Item> empty;
    Order order;
    EXPECT_TRUE(order.Load(empty));
    EXPECT_EQ(nullptr, order.Before(false, 0));
}

TEST(SubstringSearch, FindsTheFirstTextOfEveryNeedleAsAPlainSearchDoes) {
    std::mt19937 rng(7);
    auto randomText = [&rng](size_t maxLength, const std::string& alphabet) {
        std::string s(rng() % (maxLength + 1), ' ');
        for (char& c : s)
            c = alphabet[rng() % alphabet.size()];
        return s;
    };
    for (int round = 0; round < 300; ++round) {
        // A small alphabet makes needles that are prefixes, suffixes and parts of others.
        const std::string alphabet = round % 2 ? std::string("ab") : std::string("ab\0\xE2\x80\xA6", 6);
        std::vector<std::string> needles;
        const int needleCount = 1 + static_cast<int>(rng() % 12);
        for (int i = 0; i < needleCount; ++i) {
            std::string n = randomText(round % 5 == 0 ? 12 : 5, alphabet);
            if (n.empty()) n = "a";
            needles.push_back(n);
        }
        std::vector<std::string> texts;
        const int textCount = static_cast<int>(rng() % 10);
        for (int i = 0; i < textCount; ++i)
            texts.push_back(randomText(30, alphabet));

        SubstringSearch search;
        std::vector<size_t> ids;
        for (const std::string& n : needles)
            ids.push_back(search.Add(n));
        search.Build();
        for (const std::string& t : texts)
            search.Feed(t);
        for (size_t i = 0; i < needles.size(); ++i) {
            size_t expected = SubstringSearch::npos;
            for (size_t t = 0; t < texts.size() && expected == SubstringSearch::npos; ++t)
                if (texts[t].find(needles[i]) != std::string::npos) expected = t;
            ASSERT_EQ(expected, search.FirstText(ids[i])) << "round " << round << " needle " << i;
        }
    }
}

TEST(SubstringSearch, EqualNeedlesShareAnIdAndEmptyOrLateNeedlesAreRefused) {
    SubstringSearch search;
    const size_t a = search.Add("note");
    EXPECT_EQ(a, search.Add("note"));
    EXPECT_NE(a, search.Add("not"));
    EXPECT_EQ(SubstringSearch::npos, search.Add(""));
    search.Feed("a notebook");
    EXPECT_EQ(SubstringSearch::npos, search.Add("book"));
    EXPECT_EQ(0u, search.FirstText(a));
    EXPECT_EQ(SubstringSearch::npos, search.FirstText(SubstringSearch::npos));
}

namespace {

constexpr const char kEllipsis[] = "\xE2\x80\xA6";

// The walk of the body list for one title row.
const NoteBodyEntry* matchByWalk(const NoteTitleRow& row, const RecordList<NoteBodyEntry>& bodies) {
    std::string title = row.title;
    if (title.size() > 3 && title.compare(title.size() - 3, 3, kEllipsis) == 0)
        title.resize(title.size() - 3);
    for (const NoteBodyEntry* b = bodies.first; b; b = b->next) {
        if (b->deleted) {
            if (!title.empty() && b->text.find(title) != std::string::npos) return b;
        } else if (b->id == row.noteId) {
            return b->text.find(title) != std::string::npos ? b : nullptr;
        }
    }
    return nullptr;
}

} // namespace

TEST(NoteBodyMatch, TakesTheBodyTheWalkTakes) {
    std::mt19937 rng(42);
    const std::vector<std::string> words = {"buy", "milk", "bu", "ilk", "list", "", std::string(kEllipsis)};
    auto phrase = [&](int maxWords) {
        std::string s;
        const int n = static_cast<int>(rng() % (maxWords + 1));
        for (int i = 0; i < n; ++i)
            s += words[rng() % words.size()];
        return s;
    };
    for (int round = 0; round < 300; ++round) {
        RecordList<NoteBodyEntry> bodies;
        const int bodyCount = static_cast<int>(rng() % 10);
        // Live bodies usually come first, but not always: both orders must match the walk.
        const bool liveFirst = round % 3 != 0;
        for (int pass = 0; pass < 2; ++pass) {
            for (int i = 0; i < bodyCount; ++i) {
                const bool deleted = liveFirst ? pass == 1 : rng() % 2;
                if (liveFirst && (rng() % 2) != static_cast<unsigned>(deleted)) continue;
                if (!liveFirst && pass == 1) continue;
                auto b = std::make_unique<NoteBodyEntry>();
                b->deleted = deleted;
                b->id = deleted ? 0 : 1 + static_cast<int64_t>(rng() % 4);
                b->ownerId = b->id;
                b->text = phrase(4);
                bodies.append(std::move(b));
            }
        }
        RecordList<NoteTitleRow> titles;
        const int titleCount = static_cast<int>(rng() % 10);
        for (int i = 0; i < titleCount; ++i) {
            auto t = std::make_unique<NoteTitleRow>();
            t->deleted = rng() % 2;
            t->noteId = static_cast<int64_t>(rng() % 5);
            t->title = phrase(2);
            if (rng() % 4 == 0) t->title += kEllipsis;
            titles.append(std::move(t));
        }
        const std::vector<const NoteBodyEntry*> matches = matchNoteBodies(titles, bodies);
        ASSERT_EQ(static_cast<size_t>(titles.count), matches.size());
        size_t i = 0;
        for (const NoteTitleRow* t = titles.first; t; t = t->next, ++i)
            ASSERT_EQ(matchByWalk(*t, bodies), matches[i])
                << "round " << round << " title '" << t->title << "'";
    }
}

TEST(NoteBodyMatch, StopsWhenCancelled) {
    RecordList<NoteBodyEntry> bodies;
    auto b = std::make_unique<NoteBodyEntry>();
    b->deleted = true;
    b->text = "milk";
    bodies.append(std::move(b));
    RecordList<NoteTitleRow> titles;
    auto t = std::make_unique<NoteTitleRow>();
    t->title = "milk";
    titles.append(std::move(t));
    std::atomic<bool> cancelled{true};
    EXPECT_TRUE(matchNoteBodies(titles, bodies, &cancelled).empty());
    cancelled = false;
    EXPECT_EQ(bodies.first, matchNoteBodies(titles, bodies, &cancelled).at(0));
}
