#pragma once
#include <cstdint>
#include <memory>

// An owning, doubly linked list of parser records: first record, last record and a
// signed 32-bit count. Records carry their own `prev` and `next` links; the list owns
// every record linked into it and deletes them when cleared or destroyed.
template <class T> struct RecordList {
    T* first = nullptr;
    T* last = nullptr;
    int32_t count = 0;

    RecordList() = default;
    RecordList(const RecordList&) = delete;
    RecordList& operator=(const RecordList&) = delete;
    RecordList(RecordList&& o) noexcept : first(o.first), last(o.last), count(o.count) {
        o.first = o.last = nullptr;
        o.count = 0;
    }
    RecordList& operator=(RecordList&& o) noexcept {
        if (this != &o) {
            clear();
            first = o.first;
            last = o.last;
            count = o.count;
            o.first = o.last = nullptr;
            o.count = 0;
        }
        return *this;
    }
    ~RecordList() { clear(); }

    bool empty() const { return first == nullptr; }

    void clear() {
        T* r = first;
        while (r) {
            T* n = r->next;
            delete r;
            r = n;
        }
        first = last = nullptr;
        count = 0;
    }

    // Appends at the tail and returns the record (now owned by the list).
    T* append(std::unique_ptr<T> rec) {
        T* r = rec.release();
        r->prev = last;
        r->next = nullptr;
        if (last)
            last->next = r;
        else
            first = r;
        last = r;
        ++count;
        return r;
    }

    // Inserts at the head and returns the record.
    T* prepend(std::unique_ptr<T> rec) {
        T* r = rec.release();
        r->prev = nullptr;
        r->next = first;
        if (first)
            first->prev = r;
        else
            last = r;
        first = r;
        ++count;
        return r;
    }

    // Inserts before `before` (null appends) and returns the record.
    T* insertBefore(T* before, std::unique_ptr<T> rec) {
        if (!before) return append(std::move(rec));
        if (before == first) return prepend(std::move(rec));
        T* r = rec.release();
        r->prev = before->prev;
        r->next = before;
        before->prev->next = r;
        before->prev = r;
        ++count;
        return r;
    }

    // Inserts so that the record ends at zero-based position `pos` (0 = head,
    // pos >= count appends).
    T* insertAt(int32_t pos, std::unique_ptr<T> rec) {
        if (pos <= 0) return prepend(std::move(rec));
        if (pos >= count) return append(std::move(rec));
        // Walk from the nearer end.
        T* at = nullptr;
        if (pos <= count / 2) {
            at = first;
            for (int32_t i = 0; i < pos && at; ++i)
                at = at->next;
        } else {
            at = last;
            for (int32_t i = count - 1; i > pos && at; --i)
                at = at->prev;
        }
        return insertBefore(at, std::move(rec));
    }

    // Unlinks a record of this list and hands its ownership back.
    std::unique_ptr<T> remove(T* r) {
        if (r->prev)
            r->prev->next = r->next;
        else
            first = r->next;
        if (r->next)
            r->next->prev = r->prev;
        else
            last = r->prev;
        r->prev = r->next = nullptr;
        --count;
        return std::unique_ptr<T>(r);
    }
};
