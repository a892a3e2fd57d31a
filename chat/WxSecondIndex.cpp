#include "chat/WxSecondIndex.h"

#include <algorithm>
#include <map>
#include <string>
#include <unordered_map>

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// A polynomial hash modulo 2^61 - 1, taken byte by byte, so that the hash of every prefix
// of a text comes in one pass over it. Equal hashes are confirmed by comparing the bytes.
constexpr uint64_t kModulus = (uint64_t(1) << 61) - 1;
constexpr uint64_t kBase = 0x1f3d5b79a4c3e15ull;

uint64_t hashStep(uint64_t h, unsigned char c) {
    const unsigned __int128 p = static_cast<unsigned __int128>(h) * kBase;
    uint64_t r = uint64_t(p >> 61) + (uint64_t(p) & kModulus);
    if (r >= kModulus) r -= kModulus;
    r += uint64_t(c) + 1;
    if (r >= kModulus) r -= kModulus;
    return r;
}

uint64_t hashOf(std::string_view text) {
    uint64_t h = 0;
    for (char c : text)
        h = hashStep(h, static_cast<unsigned char>(c));
    return h;
}

} // namespace

struct WxSecondIndex::Keys {
    // The messages filed under one key, by their order.
    using Members = std::map<int64_t, WxMessageRecord*>;
    using Group = std::map<std::string, Members, std::less<>>::value_type;
    struct Facet {
        std::map<std::string, Members, std::less<>> byKey;
        // Built on the first FirstKeyBeginning of the facet: the keys by hash, and how
        // many keys there are of each length.
        bool hashed = false;
        std::unordered_multimap<uint64_t, Group*> byHash;
        std::map<size_t, size_t> lengths;

        void AddHash(Group* group) {
            byHash.emplace(hashOf(group->first), group);
            ++lengths[group->first.size()];
        }
        void RemoveHash(Group* group) {
            auto [a, b] = byHash.equal_range(hashOf(group->first));
            for (; a != b; ++a) {
                if (a->second == group) {
                    byHash.erase(a);
                    break;
                }
            }
            auto length = lengths.find(group->first.size());
            if (length != lengths.end() && --length->second == 0) lengths.erase(length);
        }
    };
    WxSecondIndex::Facets of = nullptr; // the rule's facets
    std::unordered_map<int, Facet> facets;
    std::unordered_map<const WxMessageRecord*, int64_t> order;

    const Facet* Find(int facet) const {
        const auto at = facets.find(facet);
        return at == facets.end() ? nullptr : &at->second;
    }
};

WxSecondIndex::More::More() = default;
WxSecondIndex::More::~More() = default;
WxSecondIndex::WxSecondIndex() = default;
WxSecondIndex::~WxSecondIndex() = default;
WxSecondIndex::WxSecondIndex(WxSecondIndex&& other) noexcept = default;
WxSecondIndex& WxSecondIndex::operator=(WxSecondIndex&& other) noexcept = default;

void WxSecondIndex::PushBack(WxMessageRecord* message) {
    if (!message) return;
    if (!first) {
        first = message;
        return;
    }
    if (!more) more = std::make_unique<More>();
    more->back.push_back(message);
    if (more->keys) File(message, int64_t(more->back.size()));
}

void WxSecondIndex::PushFront(WxMessageRecord* message) {
    if (!message) return;
    if (!first) {
        first = message;
        return;
    }
    if (!more) more = std::make_unique<More>();
    more->front.push_back(message);
    if (more->keys) File(message, -int64_t(more->front.size()));
}

bool WxSecondIndex::Keyed(Facets facets, size_t oneByOne) {
    if (KeysOf()) return true;
    if (!facets || Size() <= oneByOne || !first) return false;
    if (!more) more = std::make_unique<More>();
    more->keys = std::make_unique<Keys>();
    more->keys->of = facets;
    more->keys->order.reserve(Size());
    File(first, 0);
    for (size_t i = 0; i < more->front.size(); ++i)
        File(more->front[i], -int64_t(i) - 1);
    for (size_t i = 0; i < more->back.size(); ++i)
        File(more->back[i], int64_t(i) + 1);
    return true;
}

void WxSecondIndex::File(WxMessageRecord* message, int64_t order) {
    struct Filer : Sink {
        Keys& keys;
        WxMessageRecord* message;
        int64_t order;
        Filer(Keys& keys, WxMessageRecord* message, int64_t order)
            : keys(keys), message(message), order(order) {}
        void File(int facet, std::string_view key) override {
            Keys::Facet& f = keys.facets[facet];
            auto at = f.byKey.find(key);
            if (at == f.byKey.end()) {
                at = f.byKey.emplace(std::string(key), Keys::Members{}).first;
                if (f.hashed) f.AddHash(&*at);
            }
            at->second.emplace(order, message);
        }
    };
    Keys& keys = *more->keys;
    keys.order[message] = order;
    Filer filer(keys, message, order);
    keys.of(*message, filer);
}

void WxSecondIndex::Unfile(WxMessageRecord* message) {
    Keys* keys = KeysOf();
    if (!keys || !message) return;
    const auto known = keys->order.find(message);
    if (known == keys->order.end()) return;
    struct Unfiler : Sink {
        Keys& keys;
        int64_t order;
        Unfiler(Keys& keys, int64_t order) : keys(keys), order(order) {}
        void File(int facet, std::string_view key) override {
            const auto f = keys.facets.find(facet);
            if (f == keys.facets.end()) return;
            const auto at = f->second.byKey.find(key);
            if (at == f->second.byKey.end()) return;
            at->second.erase(order);
            if (!at->second.empty()) return;
            if (f->second.hashed) f->second.RemoveHash(&*at);
            f->second.byKey.erase(at);
        }
    };
    Unfiler unfiler(*keys, known->second);
    keys->of(*message, unfiler);
}

void WxSecondIndex::Refile(WxMessageRecord* message) {
    const Keys* keys = KeysOf();
    if (!keys || !message) return;
    const auto known = keys->order.find(message);
    if (known != keys->order.end()) File(message, known->second);
}

WxMessageRecord* WxSecondIndex::FirstWithKey(int facet, std::string_view key) const {
    const Keys* keys = KeysOf();
    const Keys::Facet* f = keys ? keys->Find(facet) : nullptr;
    if (!f) return nullptr;
    const auto at = f->byKey.find(key);
    return at == f->byKey.end() ? nullptr : at->second.begin()->second;
}

bool WxSecondIndex::AnyFuzzyKey(int facet, std::string_view text) const {
    text = text.substr(0, text.find('\0'));
    if (text.empty()) return FirstWithKey(facet, {}) || AnyWithPrefix(facet, std::string_view("\0", 1));
    return AnyWithPrefix(facet, text.substr(0, text.size() > 3 ? text.size() / 3 : 1));
}

bool WxSecondIndex::AnyWithPrefix(int facet, std::string_view prefix) const {
    const Keys* keys = KeysOf();
    const Keys::Facet* f = keys ? keys->Find(facet) : nullptr;
    if (!f) return false;
    const auto at = f->byKey.lower_bound(prefix);
    return at != f->byKey.end() && startsWith(at->first, prefix);
}

WxMessageRecord* WxSecondIndex::FirstWithPrefix(int facet, std::string_view prefix, size_t budget,
                                                bool* complete) const {
    if (complete) *complete = true;
    const Keys* keys = KeysOf();
    const Keys::Facet* f = keys ? keys->Find(facet) : nullptr;
    if (!f) return nullptr;
    WxMessageRecord* best = nullptr;
    int64_t bestOrder = 0;
    size_t seen = 0;
    for (auto at = f->byKey.lower_bound(prefix); at != f->byKey.end() && startsWith(at->first, prefix);
         ++at) {
        if (seen == budget) {
            if (complete) *complete = false;
            break;
        }
        ++seen;
        const auto& [order, message] = *at->second.begin();
        if (!best || order < bestOrder) best = message, bestOrder = order;
    }
    return best;
}

WxMessageRecord* WxSecondIndex::FirstKeyBeginning(int facet, std::string_view text, size_t minLength) {
    Keys* keys = KeysOf();
    if (!keys) return nullptr;
    const auto fit = keys->facets.find(facet);
    if (fit == keys->facets.end()) return nullptr;
    Keys::Facet& f = fit->second;
    if (!f.hashed) {
        for (Keys::Group& group : f.byKey)
            f.AddHash(&group);
        f.hashed = true;
    }
    // Every key length present below the text's: the hash of the text's prefix of that
    // length names the keys it may equal. Each key found gives its first message.
    struct Candidate {
        int64_t order;
        const Keys::Group* group;
    };
    std::vector<Candidate> found;
    uint64_t h = 0;
    size_t hashed = 0;
    for (auto length = f.lengths.lower_bound(minLength);
         length != f.lengths.end() && length->first < text.size(); ++length) {
        for (; hashed < length->first; ++hashed)
            h = hashStep(h, static_cast<unsigned char>(text[hashed]));
        auto [a, b] = f.byHash.equal_range(h);
        for (; a != b; ++a)
            if (a->second->first.size() == length->first)
                found.push_back({a->second->second.begin()->first, a->second});
    }
    std::sort(found.begin(), found.end(),
              [](const Candidate& x, const Candidate& y) { return x.order < y.order; });
    for (const Candidate& c : found)
        if (startsWith(text, c.group->first)) return c.group->second.begin()->second;
    return nullptr;
}

WxMessageRecord* WxSecondIndex::Earlier(WxMessageRecord* a, WxMessageRecord* b) const {
    if (!a) return b;
    if (!b || a == b) return a;
    if (const Keys* keys = KeysOf()) {
        const auto x = keys->order.find(a), y = keys->order.find(b);
        if (x != keys->order.end() && y != keys->order.end()) return x->second < y->second ? a : b;
    }
    return FirstWhere([&](const WxMessageRecord& m) { return &m == a || &m == b; });
}
