#pragma once
#include "core/backup/BackupFileRecord.h"

#include <cstddef>
#include <string_view>
#include <vector>

// Device path -> the entry that claimed it first, for the entries of one category. An
// open-addressing table (linear probing) of the path hashes and the entries; the paths
// themselves are read from the entries, which must outlive their claims.
class DevicePathIndex {
  public:
    // Claims the entry's device path for it; false (and nothing changed) when another
    // entry holds it already.
    bool Claim(BackupFileRecord* record);
    // Hands a claimed device path over to `record` (which has that path).
    void Replace(BackupFileRecord* record);
    // The entry holding `path`, or null.
    BackupFileRecord* Find(std::string_view path) const;
    void Clear();
    size_t Size() const { return used_; }

  private:
    struct Slot {
        size_t hash;
        BackupFileRecord* record; // null: empty
    };
    size_t SlotOf(std::string_view path, size_t hash) const;
    void Grow();

    std::vector<Slot> slots_; // empty, or a power of two long and at most half full
    size_t used_ = 0;
};
