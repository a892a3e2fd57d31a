#include "views/frame/ResultFrame.h"

#include <utility>

void ResultFrame::SetRecords(std::vector<char> deleted, std::vector<QStringList> searchTexts,
                             std::vector<QString> tickKeys) {
    texts_ = std::move(searchTexts);
    texts_.resize(deleted.size());
    SetRecords(std::move(deleted), Matcher{}, std::move(tickKeys));
}

void ResultFrame::SetRecords(std::vector<char> deleted, Matcher matcher, std::vector<QString> tickKeys) {
    deleted_ = std::move(deleted);
    matcher_ = std::move(matcher);
    if (matcher_) texts_.clear();
    tickKeys_ = std::move(tickKeys);
    if (!tickKeys_.empty()) tickKeys_.resize(deleted_.size());
    byKey_.clear();
    for (int i = 0; i < int(tickKeys_.size()); ++i)
        byKey_[tickKeys_[size_t(i)]].push_back(i);
    selected_.assign(deleted_.size(), 0);
    selectedCount_ = 0;
    onlyDeleted_ = false;
    searching_ = false;
    key_.clear();
    Rebuild();
}

void ResultFrame::Clear() {
    SetRecords({}, std::vector<QStringList>{});
}

bool ResultFrame::IsDeleted(int record) const {
    return record >= 0 && record < RecordCount() && deleted_[size_t(record)] != 0;
}

void ResultFrame::SetShowDeleteFile(bool onlyDeleted) {
    onlyDeleted_ = onlyDeleted;
    Rebuild();
}

bool ResultFrame::SetSearchKey(const QString& key) {
    const QString lower = key.toLower();
    key_ = lower;
    if (lower.isEmpty()) {
        if (!searching_) return false;
        searching_ = false;
        Rebuild();
        return true;
    }
    searching_ = true;
    Rebuild();
    return true;
}

void ResultFrame::ResetFilter() {
    onlyDeleted_ = false;
    searching_ = false;
    key_.clear();
    Rebuild();
}

void ResultFrame::Rebuild() {
    shown_.clear();
    shownFlag_.assign(deleted_.size(), 0);
    for (int i = 0; i < RecordCount(); ++i) {
        if (onlyDeleted_ && !deleted_[size_t(i)]) continue;
        if (searching_) {
            bool hit = false;
            if (matcher_) {
                hit = matcher_(i, key_);
            } else {
                for (const QString& field : texts_[size_t(i)]) {
                    if (!field.isEmpty() && field.contains(key_)) {
                        hit = true;
                        break;
                    }
                }
            }
            if (!hit) continue;
        }
        shown_.push_back(i);
        shownFlag_[size_t(i)] = 1;
    }
}

int ResultFrame::RecordAt(int shownRow) const {
    if (shownRow < 0 || shownRow >= ShownCount()) return -1;
    return shown_[size_t(shownRow)];
}

bool ResultFrame::IsShown(int record) const {
    return record >= 0 && record < RecordCount() && shownFlag_[size_t(record)] != 0;
}

bool ResultFrame::IsSelected(int record) const {
    return record >= 0 && record < RecordCount() && selected_[size_t(record)] != 0;
}

std::vector<int> ResultFrame::Peers(int record) const {
    if (!IsShown(record)) return {};
    if (tickKeys_.empty()) return {record};
    std::vector<int> out;
    for (int r : byKey_.value(tickKeys_[size_t(record)]))
        if (IsShown(r)) out.push_back(r);
    return out;
}

std::vector<int> ResultFrame::Select(int record) {
    std::vector<int> changed;
    for (int r : Peers(record)) {
        if (selected_[size_t(r)]) continue;
        selected_[size_t(r)] = 1;
        ++selectedCount_;
        changed.push_back(r);
    }
    return changed;
}

std::vector<int> ResultFrame::Remove(int record) {
    std::vector<int> changed;
    for (int r : Peers(record)) {
        if (!selected_[size_t(r)]) continue;
        selected_[size_t(r)] = 0;
        --selectedCount_;
        changed.push_back(r);
    }
    return changed;
}

void ResultFrame::SelectAll() {
    selected_.assign(deleted_.size(), 1);
    selectedCount_ = RecordCount();
}

void ResultFrame::ClearSelection() {
    selected_.assign(deleted_.size(), 0);
    selectedCount_ = 0;
}

void ResultFrame::SetShownTicked(bool on, bool keepOthers) {
    if (!on) {
        ClearSelection();
        return;
    }
    if (!keepOthers) ClearSelection();
    for (int r : shown_) {
        if (selected_[size_t(r)]) continue;
        selected_[size_t(r)] = 1;
        ++selectedCount_;
    }
}

bool ResultFrame::HeaderTicked(bool noRowsTicked) const {
    if (shown_.empty()) return noRowsTicked;
    if (selectedCount_ == 0) return false;
    for (int r : shown_)
        if (!selected_[size_t(r)]) return false;
    return true;
}

bool ResultFrame::AllTicked() const {
    return RecordCount() > 0 && selectedCount_ == RecordCount();
}

std::vector<int> ResultFrame::SelectedRecords() const {
    std::vector<int> out;
    out.reserve(size_t(selectedCount_));
    for (int i = 0; i < RecordCount(); ++i)
        if (selected_[size_t(i)]) out.push_back(i);
    return out;
}
