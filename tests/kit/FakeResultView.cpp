#include "tests/kit/FakeResultView.h"

#include "gui/MainQueue.h"
#include "gui/SaveFolder.h"

namespace kit {

FakeResultView::FakeResultView(int type, QWidget* parent) : DirizaResultView(parent) {
    SetDirizaType(type);
}

void FakeResultView::Note(const QString& call) {
    std::lock_guard<std::mutex> lock(mutex);
    calls << call;
}

QStringList FakeResultView::Calls() const {
    std::lock_guard<std::mutex> lock(mutex);
    return calls;
}

QStringList FakeResultView::Names() const {
    std::lock_guard<std::mutex> lock(mutex);
    return names;
}

void FakeResultView::setLanguage(int language) {
    Note(QStringLiteral("setLanguage %1").arg(language));
}

void FakeResultView::StartUpdateUI() {
    Note(QStringLiteral("StartUpdateUI"));
    std::lock_guard<std::mutex> lock(mutex);
    ticked = false;
    searchKey.clear();
}

void FakeResultView::SearchKey(const QString& key) {
    std::lock_guard<std::mutex> lock(mutex);
    searchKey = key;
}

QString FakeResultView::GetSearchKey() const {
    std::lock_guard<std::mutex> lock(mutex);
    return searchKey;
}

void FakeResultView::AllSelect() {
    std::lock_guard<std::mutex> lock(mutex);
    ticked = true;
}

void FakeResultView::ClearSelect() {
    std::lock_guard<std::mutex> lock(mutex);
    ticked = false;
}

bool FakeResultView::isSelectData() const {
    std::lock_guard<std::mutex> lock(mutex);
    return ticked && !names.isEmpty();
}

void FakeResultView::SetShowDeleteFile(bool on) {
    std::lock_guard<std::mutex> lock(mutex);
    onlyDeleted = on && HasShowDeletePair(DirizaType());
}

bool FakeResultView::GetShowDeleteFile() const {
    std::lock_guard<std::mutex> lock(mutex);
    return onlyDeleted;
}

void FakeResultView::ClearData() {
    Note(QStringLiteral("ClearData"));
    std::lock_guard<std::mutex> lock(mutex);
    names.clear();
    ticked = false;
}

DirizaSaveResult FakeResultView::DirizaData(const QString& folder) {
    Note(QStringLiteral("DirizaData"));
    QStringList items;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!ticked) return {};
        items = names;
    }
    if (items.isEmpty()) return {};
    const SaveFolder out(folder);
    DirizaSaveResult result;
    const int total = int(items.size());
    for (int i = 0; i < total; ++i) {
        if (StopRequested()) break;
        ReportSaveProgress(total, i + 1);
        if (beforeItem) beforeItem(i + 1);
        if (missingEveryItem.load()) {
            ++result.missing;
            continue;
        }
        const auto path = out.UniqueFileFor(items[i] + QStringLiteral(".txt"));
        if (failEveryItem.load() || !path || !SaveFolder::WriteNewFile(*path, items[i].toUtf8()))
            ++result.failed;
        else
            ++result.written;
    }
    return result;
}

void FakeResultView::Deliver(QStringList delivered) {
    const qint64 count = delivered.size();
    {
        std::lock_guard<std::mutex> lock(mutex);
        names = std::move(delivered);
        calls << QStringLiteral("AddDirizaFile %1").arg(count);
    }
    const int type = DirizaType();
    MainQueue::Post(this, [this, type, count] {
        if (auto* d = delegate()) d->UpdateDirizaFileNum(type, count);
    });
}

void FakeResultView::AddDirizaFile(const QList<NSDeletedFile>& files) {
    QStringList n;
    for (const auto& f : files)
        n << f.FileName();
    Deliver(n);
}

void FakeResultView::AddDirizaFile(const QList<NSDeletedFile>& photos, const QList<NSDeletedFile>& media) {
    QStringList n;
    for (const auto& f : photos)
        n << f.FileName();
    for (const auto& f : media)
        n << f.FileName();
    Deliver(n);
}

void FakeResultView::AddDirizaFile(const QMap<QString, NSSMSHeadData>& conversations) {
    QStringList n;
    for (const auto& c : conversations)
        for (qsizetype i = 0; i < c.SMSDataList().size(); ++i)
            n << c.Phone();
    Deliver(n);
}

void FakeResultView::AddDirizaFile(const QList<NSCallLogData>& calls) {
    QStringList n;
    for (const auto& c : calls)
        n << c.Name();
    Deliver(n);
}

void FakeResultView::AddDirizaFile(const QList<NSContactData>& contacts) {
    QStringList n;
    for (const auto& c : contacts)
        n << c.Name();
    Deliver(n);
}

void FakeResultView::AddDirizaFile(const QList<NSBookmarksData>& bookmarks) {
    QStringList n;
    for (const auto& b : bookmarks)
        n << b.BookMarks();
    Deliver(n);
}

void FakeResultView::AddDirizaFile(const QList<NSMemoData>& reminders) {
    QStringList n;
    for (const auto& r : reminders)
        n << r.Title();
    Deliver(n);
}

void FakeResultView::AddDirizaFile(const QList<NSRemindersData>& notes) {
    QStringList n;
    for (const auto& r : notes)
        n << r.Title();
    Deliver(n);
}

void FakeResultView::AddDirizaFile(const QList<NSCalendarData>& events) {
    QStringList n;
    for (const auto& e : events)
        n << e.Title();
    Deliver(n);
}

void FakeResultView::AddDirizaFile(const QList<NSWXChatAccount>*) {
    Deliver({});
}

void FakeResultView::AddDirizaFile(const QMap<QString, NSWXChatRecordData>&) {
    Deliver({});
}

} // namespace kit
