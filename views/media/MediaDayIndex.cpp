#include "views/media/MediaDayIndex.h"

#include <algorithm>

namespace {

qlonglong DayNumber(const QString& day) {
    QString digits = day;
    digits.remove(QLatin1Char('-'));
    bool ok = false;
    const qlonglong n = digits.toLongLong(&ok);
    return ok ? n : 0;
}

} // namespace

MediaDayIndex::MediaDayIndex(const QList<NSDeletedFile>& files) {
    files_.reserve(size_t(files.size()));
    dayOf_.reserve(size_t(files.size()));
    for (const NSDeletedFile& f : files) {
        const int n = int(files_.size());
        files_.emplace_back(f);
        const QString day = DayKey(f.mtime());
        dayOf_.push_back(day);
        auto it = byDay_.find(day);
        if (it == byDay_.end()) {
            allDays_.append(day);
            it = byDay_.insert(day, {});
        }
        it->push_back(n);
    }
    std::stable_sort(allDays_.begin(), allDays_.end(), &MediaDayIndex::DayBefore);
    ticked_.assign(files_.size(), 0);
    RebuildShown();
}

QString MediaDayIndex::DayKey(const QDateTime& time) {
    if (!time.isValid()) return QString();
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd"));
}

bool MediaDayIndex::DayBefore(const QString& a, const QString& b) {
    return DayNumber(a) > DayNumber(b);
}

QString MediaDayIndex::HeaderText(const QString& day, int count) {
    return QStringLiteral("         %1 (%2)").arg(day).arg(count);
}

bool MediaDayIndex::SetSearchKey(const QString& key) {
    key_ = key.toLower();
    if (!key_.isEmpty()) {
        searching_ = true;
        RebuildShown();
        return true;
    }
    if (!searching_) return false;
    searching_ = false;
    RebuildShown();
    return true;
}

void MediaDayIndex::RebuildShown() {
    if (!searching_) {
        days_ = allDays_;
        shownByDay_ = byDay_;
        return;
    }
    days_.clear();
    shownByDay_.clear();
    for (const QString& day : allDays_) {
        std::vector<int> hits;
        for (int f : byDay_.value(day))
            if (files_[size_t(f)].FileName().toLower().contains(key_)) hits.push_back(f);
        if (hits.empty()) continue;
        days_.append(day);
        shownByDay_.insert(day, std::move(hits));
    }
}

std::vector<int> MediaDayIndex::FilesOfDay(const QString& day) const {
    return shownByDay_.value(day);
}

int MediaDayIndex::ShownCount() const {
    int n = 0;
    for (const auto& files : shownByDay_)
        n += int(files.size());
    return n;
}

bool MediaDayIndex::Tick(int file) {
    if (file < 0 || file >= FileCount() || ticked_[size_t(file)]) return false;
    ticked_[size_t(file)] = 1;
    ++tickedCount_;
    return true;
}

bool MediaDayIndex::Untick(int file) {
    if (file < 0 || file >= FileCount() || !ticked_[size_t(file)]) return false;
    ticked_[size_t(file)] = 0;
    --tickedCount_;
    return true;
}

void MediaDayIndex::TickDay(const QString& day) {
    for (int f : FilesOfDay(day))
        Tick(f);
}

void MediaDayIndex::UntickDay(const QString& day) {
    for (int f : FilesOfDay(day))
        Untick(f);
}

bool MediaDayIndex::IsDayTicked(const QString& day) const {
    for (int f : FilesOfDay(day))
        if (!ticked_[size_t(f)]) return false;
    return true;
}

void MediaDayIndex::SelectAll() {
    std::fill(ticked_.begin(), ticked_.end(), 1);
    tickedCount_ = FileCount();
}

void MediaDayIndex::ClearSelection() {
    std::fill(ticked_.begin(), ticked_.end(), 0);
    tickedCount_ = 0;
}

std::vector<int> MediaDayIndex::FilesToSave() const {
    std::vector<int> out;
    if (tickedCount_ == 0) return out;
    const bool all = AllTicked();
    for (const QString& day : allDays_)
        for (int f : byDay_.value(day))
            if (all || ticked_[size_t(f)]) out.push_back(f);
    return out;
}
