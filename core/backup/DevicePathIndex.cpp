#include "core/backup/DevicePathIndex.h"

#include <functional>

namespace {

size_t hashOf(std::string_view path) {
    return std::hash<std::string_view>{}(path);
}

} // namespace

size_t DevicePathIndex::SlotOf(std::string_view path, size_t hash) const {
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& s = slots_[i];
        if (!s.record || (s.hash == hash && s.record->devicePath == path)) return i;
    }
}

void DevicePathIndex::Grow() {
    std::vector<Slot> old(slots_.empty() ? 16 : 2 * slots_.size(), Slot{0, nullptr});
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (const Slot& s : old) {
        if (!s.record) continue;
        size_t i = s.hash & mask;
        while (slots_[i].record)
            i = (i + 1) & mask;
        slots_[i] = s;
    }
}

bool DevicePathIndex::Claim(BackupFileRecord* record) {
    if (2 * (used_ + 1) > slots_.size()) Grow();
    const size_t hash = hashOf(record->devicePath);
    Slot& s = slots_[SlotOf(record->devicePath, hash)];
    if (s.record) return false;
    s = {hash, record};
    ++used_;
    return true;
}

void DevicePathIndex::Replace(BackupFileRecord* record) {
    if (slots_.empty()) return;
    Slot& s = slots_[SlotOf(record->devicePath, hashOf(record->devicePath))];
    if (s.record) s.record = record;
}

BackupFileRecord* DevicePathIndex::Find(std::string_view path) const {
    if (slots_.empty()) return nullptr;
    return slots_[SlotOf(path, hashOf(path))].record;
}

void DevicePathIndex::Clear() {
    std::vector<Slot>().swap(slots_);
    used_ = 0;
}
