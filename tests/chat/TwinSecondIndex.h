#pragma once
// Two indexes of one second holding equal copies of the same messages, in the same
// order: one walked message by message (no keys), one looked up by its keys. The
// randomised tests ask both the same questions and require the same answers and the
// same contents after every change.
#include "chat/WxSecondIndex.h"
#include "core/records/WxMessageRecord.h"

#include <memory>
#include <string>
#include <vector>

namespace wxtest {

struct TwinSecondIndex {
    WxSecondIndex walk;
    WxSecondIndex keyed;
    std::vector<std::unique_ptr<WxMessageRecord>> owned;

    // Puts the message into both indexes (a copy into the keyed one), at the front or
    // the back.
    void Link(std::unique_ptr<WxMessageRecord> m, bool front) {
        auto copy = std::make_unique<WxMessageRecord>(*m);
        for (auto [s, p] : {std::pair{&walk, m.get()}, std::pair{&keyed, copy.get()}}) {
            if (front)
                s->PushFront(p);
            else
                s->PushBack(p);
        }
        owned.push_back(std::move(m));
        owned.push_back(std::move(copy));
    }

    // An index's messages in list order, one line each: what the two must agree on.
    static std::string State(const WxSecondIndex& s) {
        std::string out;
        s.FirstWhere([&](const WxMessageRecord& m) {
            out += std::to_string(m.type) + "|" + m.text + "|" + m.title + "|" + m.url + "\n";
            return false;
        });
        return out;
    }
};

} // namespace wxtest
