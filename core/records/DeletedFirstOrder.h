#pragma once
#include "core/records/RecordList.h"

#include <cstdint>
#include <map>

// Where a new record goes in a list that holds the deleted records first, then the live
// ones, each group newest first, a new record going before the records of the same group
// and date already there. The plain way counts, walking the whole list, the records that
// must precede the new one; this index finds the same place without the walk: it keeps,
// per group and date present, the record nearest the head, and the new record goes before
// the first of those that must not precede it.
//
// `Date` names the record's date member; every record has a `deleted` flag.
template <class T, int64_t T::*Date> class DeletedFirstOrder {
  public:
    // Takes the records already in `list`. False (and an empty index) when they are not
    // in the order above: the place counted by the walk is then not a place found by key,
    // and the caller must walk.
    bool Load(const RecordList<T>& list) {
        heads.clear();
        const T* prev = nullptr;
        for (T* r = list.first; r; r = r->next) {
            if (prev && Less()(KeyOf(*r), KeyOf(*prev))) {
                heads.clear();
                return false;
            }
            heads.emplace(KeyOf(*r), r); // keeps the first record of each key
            prev = r;
        }
        return true;
    }

    // The record a new (deleted, date) record is linked before; null: at the tail.
    T* Before(bool deleted, int64_t date) const {
        auto it = heads.lower_bound(Key{deleted, date});
        return it == heads.end() ? nullptr : it->second;
    }

    // Notes a record just linked before Before(its deleted flag, its date).
    void Added(T* record) { heads[KeyOf(*record)] = record; }

    void Clear() { heads.clear(); }

  private:
    struct Key {
        bool deleted;
        int64_t date;
    };
    // a must precede b: deleted before live; within a group, the later date first.
    struct Less {
        bool operator()(const Key& a, const Key& b) const {
            if (a.deleted != b.deleted) return a.deleted;
            return a.date > b.date;
        }
    };
    static Key KeyOf(const T& r) { return Key{r.deleted, r.*Date}; }

    std::map<Key, T*, Less> heads;
};
