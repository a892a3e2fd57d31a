#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

struct WxMessageRecord;

// The messages of one second of one session, in list order, for the duplicate tests of
// the parsers that file recovered messages. A second of few messages is compared one
// message after another. Once it holds more than a few, every message is also filed
// under the keys its facets give (a facet number and a key text, chosen by the caller's
// rule), so that a test finds its candidates by key instead of comparing the new message
// with every other of that second: a store or an index whose records all carry one
// second would otherwise take time growing with the square of their number.
//
// Messages come in list order while the second is read from a session (PushBack), and
// later only ever before the others of their second (PushFront).
class WxSecondIndex {
  public:
    // Receives the (facet, key) pairs a message is filed under.
    class Sink {
      public:
        virtual void File(int facet, std::string_view key) = 0;

      protected:
        ~Sink() = default;
    };
    // Hands every (facet, key) of a message to the sink; the same message must give the
    // same pairs until the caller changes it (see Unfile).
    using Facets = void (*)(const WxMessageRecord& message, Sink& sink);
    // Messages of a second compared one by one before the keys are used.
    static constexpr size_t kOneByOne = 16;

    WxSecondIndex();
    ~WxSecondIndex();
    WxSecondIndex(WxSecondIndex&& other) noexcept;
    WxSecondIndex& operator=(WxSecondIndex&& other) noexcept;
    WxSecondIndex(const WxSecondIndex&) = delete;
    WxSecondIndex& operator=(const WxSecondIndex&) = delete;

    // A message after the others of the second (reading a session in list order).
    void PushBack(WxMessageRecord* message);
    // A message linked before the others of the second.
    void PushFront(WxMessageRecord* message);
    size_t Size() const { return (first ? 1 : 0) + (more ? more->front.size() + more->back.size() : 0); }
    // The first message of the second in list order, or null.
    WxMessageRecord* Front() const { return more && !more->front.empty() ? more->front.back() : first; }

    // Visits the messages in list order until `visit` returns true; returns that message.
    template <class F> WxMessageRecord* FirstWhere(F&& visit) const {
        if (more)
            for (auto at = more->front.rbegin(); at != more->front.rend(); ++at)
                if (visit(**at)) return *at;
        if (first && visit(*first)) return first;
        if (more)
            for (WxMessageRecord* m : more->back)
                if (visit(*m)) return m;
        return nullptr;
    }

    // True when the keys are in use: the second holds more than `oneByOne` messages. The
    // keys of `facets` are built on the first call that finds so; a second is only ever
    // keyed by one rule's facets.
    bool Keyed(Facets facets, size_t oneByOne = kOneByOne);

    // While keyed, a change to what a message's facets give goes between these two.
    void Unfile(WxMessageRecord* message);
    void Refile(WxMessageRecord* message);

    // Look-ups while keyed; "first" is the first in list order.
    // The first message filed under `facet` with exactly `key`.
    WxMessageRecord* FirstWithKey(int facet, std::string_view key) const;
    // True when a message is filed under `facet` with a key that begins with `prefix`.
    bool AnyWithPrefix(int facet, std::string_view prefix) const;
    // Whether a key of `facet` is one that fuzzyMatch(text, key, 3) holds for: the key
    // begins with the text's first third (at least one byte) or, for an empty text, is
    // empty itself (as read up to its first NUL). `text` is read up to its first NUL.
    bool AnyFuzzyKey(int facet, std::string_view text) const;
    // The first message filed under `facet` with a key that begins with `prefix`, looking
    // at no more than `budget` different keys; `complete` is false when more keys were
    // left unseen (the answer may then not be the first).
    WxMessageRecord* FirstWithPrefix(int facet, std::string_view prefix, size_t budget, bool* complete) const;
    // The first message filed under `facet` with a key that `text` begins with, at least
    // `minLength` bytes long and shorter than `text`.
    WxMessageRecord* FirstKeyBeginning(int facet, std::string_view text, size_t minLength);
    // The earlier in list order of two messages of the second (either may be null).
    WxMessageRecord* Earlier(WxMessageRecord* a, WxMessageRecord* b) const;

  private:
    struct Keys;
    // The messages after the first one pushed, and the keys: held only by a second of
    // more than one message (most seconds hold one).
    struct More {
        More();
        ~More();
        std::vector<WxMessageRecord*> front; // linked before `first`, the last one first
        std::vector<WxMessageRecord*> back;  // after `first`, in list order
        std::unique_ptr<Keys> keys;
    };
    Keys* KeysOf() const { return more ? more->keys.get() : nullptr; }
    void File(WxMessageRecord* message, int64_t order);

    // List order: `front` from its end to its start, `first`, then `back`. A message's
    // order (its key in list order) is 0 for `first`, one more than its place in `back`,
    // or minus one less its place in `front`; it never changes.
    WxMessageRecord* first = nullptr;
    std::unique_ptr<More> more;
};
