#include "app/common/PlaceholderResultView.h"

#include "app/common/MainQueue.h"
#include "app/common/NSLanguageText.h"

#include <QFile>
#include <QVBoxLayout>

namespace {

constexpr qint64 CopyChunk = 1 << 20;

QString Csv(const QString& field) {
    QString f = field;
    f.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + f + QLatin1Char('"');
}

QString Time(qint64 t) {
    return QString::number(t);
}

PlaceholderResultView::Record FileRecord(const NSDeletedFile& f) {
    PlaceholderResultView::Record r;
    r.deleted = f.DeleteMark();
    r.name = f.FileName();
    r.texts = {f.FileName(), f.Suffix()};
    r.source = f.BackUpPath() + f.SHA1();
    return r;
}

// The file name of a type's CSV file (our own name, not backup text).
QString CsvName(int type) {
    switch (type) {
    case DirizaResultView::SMS: return QStringLiteral("SMS.csv");
    case DirizaResultView::CallLog: return QStringLiteral("CallHistory.csv");
    case DirizaResultView::Contact: return QStringLiteral("Contacts.csv");
    case DirizaResultView::Bookmarks: return QStringLiteral("SafariBookmarks.csv");
    case DirizaResultView::Reminders: return QStringLiteral("Reminders.csv");
    case DirizaResultView::Notes: return QStringLiteral("Notes.csv");
    case DirizaResultView::Calendar: return QStringLiteral("Calendar.csv");
    case DirizaResultView::WXAddressBook: return QStringLiteral("WeChatContacts.csv");
    case DirizaResultView::WXChat: return QStringLiteral("WeChatChats.csv");
    default: return QStringLiteral("Records.csv");
    }
}

} // namespace

PlaceholderResultView::PlaceholderResultView(int type, QWidget* parent, int pollMs) : DirizaResultView(parent) {
    SetDirizaType(type);
    timer.setInterval(pollMs);
    connect(&timer, &QTimer::timeout, this, [this] { OnTimer(); });

    auto* layout = new QVBoxLayout(this);
    stack = new QStackedWidget(this);
    status = new QLabel(stack);
    status->setAlignment(Qt::AlignCenter);
    auto* content = new QWidget(stack);
    auto* contentLayout = new QVBoxLayout(content);
    selectAll = new QCheckBox(content);
    list = new QListView(content);
    list->setModel(&model);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    contentLayout->addWidget(selectAll);
    contentLayout->addWidget(list);
    stack->addWidget(status);
    stack->addWidget(content);
    layout->addWidget(stack);
    connect(selectAll, &QCheckBox::clicked, this, [this](bool on) {
        SetAllTicks(on);
        if (auto* d = delegate()) d->ViewisAllSelect(DirizaType(), on);
    });
    connect(&model, &QStandardItemModel::itemChanged, this, [this](QStandardItem* item) { OnItemChanged(item); });
    UpdateTexts();
}

PlaceholderResultView::~PlaceholderResultView() = default;

bool PlaceholderResultView::IsFileType() const {
    const int t = DirizaType();
    return t == Photo || t == Video || t == SMSAttachment || t == MemoAttachment || t == VoiceMemo || t == WXAttachment;
}

void PlaceholderResultView::setLanguage(int) {
    UpdateTexts();
}

void PlaceholderResultView::UpdateTexts() {
    selectAll->setText(LanguageText("DirizaSelectAll"));
    switch (state) {
    case State::Loading: status->setText(LanguageText("ScanLoading")); break;
    case State::NoData: status->setText(LanguageText("ScanNotData")); break;
    default: status->setText(QString()); break;
    }
    stack->setCurrentIndex(state == State::Data ? 1 : 0);
}

void PlaceholderResultView::StartUpdateUI() {
    {
        std::lock_guard<std::mutex> lock(dataMutex);
        std::fill(ticked.begin(), ticked.end(), 0);
    }
    searchKey.clear();
    selectAll->setChecked(false);
    state = State::Loading;
    UpdateTexts();
    if (!timer.isActive()) timer.start();
}

void PlaceholderResultView::Deliver(std::vector<Record> delivered) {
    {
        std::lock_guard<std::mutex> lock(pendingMutex);
        pending = std::move(delivered);
    }
    arrived.store(true);
    // A later delivery (one per WeChat account) after the timer stopped starts it again.
    MainQueue::Post(this, [this] {
        if (!timer.isActive()) timer.start();
    });
}

void PlaceholderResultView::OnTimer() {
    if (!arrived.exchange(false)) return;
    timer.stop();
    std::vector<Record> taken;
    {
        std::lock_guard<std::mutex> lock(pendingMutex);
        taken = std::move(pending);
        pending.clear();
    }
    const qint64 count = qint64(taken.size());
    {
        std::lock_guard<std::mutex> lock(dataMutex);
        records = std::move(taken);
        ticked.assign(records.size(), 0);
    }
    onlyDeleted = false;
    searchKey.clear();
    selectAll->setChecked(false);
    Rebuild();
    state = count == 0 ? State::NoData : State::Data;
    UpdateTexts();
    if (auto* d = delegate()) d->UpdateDirizaFileNum(DirizaType(), count);
}

void PlaceholderResultView::Rebuild() {
    rebuilding = true;
    model.clear();
    std::lock_guard<std::mutex> lock(dataMutex);
    for (size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        if (onlyDeleted && !r.deleted) continue;
        const QString line = r.texts.join(QLatin1String(" | "));
        if (!searchKey.isEmpty() && !line.contains(searchKey, Qt::CaseInsensitive)) continue;
        auto* item = new QStandardItem(line);
        item->setCheckable(true);
        item->setCheckState(ticked[i] ? Qt::Checked : Qt::Unchecked);
        item->setData(qulonglong(i), Qt::UserRole);
        model.appendRow(item); // owned by the model
    }
    rebuilding = false;
}

void PlaceholderResultView::OnItemChanged(QStandardItem* item) {
    if (rebuilding) return;
    bool all = false;
    {
        std::lock_guard<std::mutex> lock(dataMutex);
        const size_t i = item->data(Qt::UserRole).toULongLong();
        if (i >= ticked.size()) return;
        ticked[i] = item->checkState() == Qt::Checked;
        all = !ticked.empty() && std::all_of(ticked.begin(), ticked.end(), [](char c) { return c != 0; });
    }
    selectAll->setChecked(all);
    if (auto* d = delegate()) d->ViewisAllSelect(DirizaType(), all);
}

void PlaceholderResultView::SetAllTicks(bool on) {
    {
        std::lock_guard<std::mutex> lock(dataMutex);
        std::fill(ticked.begin(), ticked.end(), on ? 1 : 0);
    }
    selectAll->setChecked(on);
    Rebuild();
}

void PlaceholderResultView::SearchKey(const QString& key) {
    searchKey = key;
    Rebuild();
}

QString PlaceholderResultView::GetSearchKey() const {
    return searchKey;
}

void PlaceholderResultView::AllSelect() {
    SetAllTicks(true);
}

void PlaceholderResultView::ClearSelect() {
    SetAllTicks(false);
}

bool PlaceholderResultView::isSelectData() const {
    std::lock_guard<std::mutex> lock(dataMutex);
    return std::any_of(ticked.begin(), ticked.end(), [](char c) { return c != 0; });
}

void PlaceholderResultView::SetShowDeleteFile(bool on) {
    if (!HasShowDeletePair(DirizaType())) return;
    onlyDeleted = on;
    Rebuild();
}

bool PlaceholderResultView::GetShowDeleteFile() const {
    return onlyDeleted;
}

void PlaceholderResultView::ClearData() {
    timer.stop();
    arrived.store(false);
    {
        std::lock_guard<std::mutex> lock(pendingMutex);
        pending.clear();
    }
    {
        std::lock_guard<std::mutex> lock(dataMutex);
        records.clear();
        ticked.clear();
    }
    selectAll->setChecked(false);
    Rebuild();
    state = State::Empty;
    UpdateTexts();
}

int PlaceholderResultView::ShownCount() const {
    return model.rowCount();
}

bool PlaceholderResultView::ShowsNoData() const {
    return state == State::NoData;
}

DirizaSaveResult PlaceholderResultView::DirizaData(const QString& folder) {
    std::vector<Record> items;
    {
        std::lock_guard<std::mutex> lock(dataMutex);
        for (size_t i = 0; i < records.size(); ++i)
            if (ticked[i]) items.push_back(records[i]);
    }
    if (items.empty()) return {};
    const SaveFolder out(folder);
    if (!out.isValid()) return {0, int(items.size())};
    return IsFileType() ? SaveFiles(items, out) : SaveCsv(items, out);
}

DirizaSaveResult PlaceholderResultView::SaveFiles(const std::vector<Record>& items, const SaveFolder& out) {
    DirizaSaveResult result;
    const int total = int(items.size());
    for (int i = 0; i < total; ++i) {
        if (StopRequested()) break;
        ReportSaveProgress(total, i + 1);
        const auto path = out.UniqueFileFor(items[i].name);
        QFile src(items[i].source);
        if (!path || !src.open(QIODevice::ReadOnly)) {
            ++result.failed;
            continue;
        }
        QFile dst(*path);
        if (!dst.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            ++result.failed;
            continue;
        }
        bool ok = true;
        while (ok && !src.atEnd()) {
            const QByteArray chunk = src.read(CopyChunk);
            ok = !chunk.isEmpty() && dst.write(chunk) == chunk.size();
        }
        ok = ok && dst.flush();
        dst.close();
        if (ok) {
            ++result.written;
        } else {
            dst.remove();
            ++result.failed;
        }
    }
    return result;
}

DirizaSaveResult PlaceholderResultView::SaveCsv(const std::vector<Record>& items, const SaveFolder& out) {
    const int total = int(items.size());
    const auto path = out.UniqueFileFor(CsvName(DirizaType()));
    if (!path) return {0, total};
    QFile file(*path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return {0, total};
    DirizaSaveResult result;
    for (int i = 0; i < total; ++i) {
        if (StopRequested()) break;
        ReportSaveProgress(total, i + 1);
        QStringList fields{items[i].deleted ? QStringLiteral("1") : QStringLiteral("0")};
        for (const QString& t : items[i].texts) fields << Csv(t);
        const QByteArray line = fields.join(QLatin1Char(',')).toUtf8() + "\r\n";
        if (file.write(line) == line.size())
            ++result.written;
        else
            ++result.failed;
    }
    if (!file.flush()) return {0, total};
    return result;
}

void PlaceholderResultView::AddDirizaFile(const QList<NSDeletedFile>& files) {
    const int t = DirizaType();
    if (t != Photo && t != Video && t != VoiceMemo) return;
    std::vector<Record> r;
    for (const auto& f : files) r.push_back(FileRecord(f));
    Deliver(std::move(r));
}

void PlaceholderResultView::AddDirizaFile(const QList<NSDeletedFile>& photos, const QList<NSDeletedFile>& media) {
    const int t = DirizaType();
    if (t != SMSAttachment && t != MemoAttachment && t != WXAttachment) return;
    std::vector<Record> r;
    for (const auto& f : photos) r.push_back(FileRecord(f));
    for (const auto& f : media) r.push_back(FileRecord(f));
    Deliver(std::move(r));
}

void PlaceholderResultView::AddDirizaFile(const QMap<QString, NSSMSHeadData>& conversations) {
    if (DirizaType() != SMS) return;
    std::vector<Record> r;
    for (const auto& c : conversations)
        for (const auto& m : c.SMSDataList())
            r.push_back({m.bDelete(), c.Phone(), {c.Phone(), c.Name(), m.Time(), m.Content()}, {}});
    Deliver(std::move(r));
}

void PlaceholderResultView::AddDirizaFile(const QList<NSCallLogData>& calls) {
    if (DirizaType() != CallLog) return;
    std::vector<Record> r;
    for (const auto& c : calls)
        r.push_back({c.bDelete(), c.Name(), {c.Name(), c.Phone(), Time(c.lDataTime()), Time(c.lDuration())}, {}});
    Deliver(std::move(r));
}

void PlaceholderResultView::AddDirizaFile(const QList<NSContactData>& contacts) {
    if (DirizaType() != Contact) return;
    std::vector<Record> r;
    for (const auto& c : contacts) r.push_back({c.bDelete(), c.Name(), {c.Name(), c.Phone(), c.Email()}, {}});
    Deliver(std::move(r));
}

void PlaceholderResultView::AddDirizaFile(const QList<NSBookmarksData>& bookmarks) {
    if (DirizaType() != Bookmarks) return;
    std::vector<Record> r;
    for (const auto& b : bookmarks) r.push_back({b.bDelete(), b.BookMarks(), {b.BookMarks(), b.Address()}, {}});
    Deliver(std::move(r));
}

void PlaceholderResultView::AddDirizaFile(const QList<NSMemoData>& reminders) {
    if (DirizaType() != Reminders) return;
    std::vector<Record> r;
    for (const auto& m : reminders)
        r.push_back({m.bDelete(), m.Title(), {m.Title(), m.Content(), m.Location(), Time(m.lDataTime())}, {}});
    Deliver(std::move(r));
}

void PlaceholderResultView::AddDirizaFile(const QList<NSRemindersData>& notes) {
    if (DirizaType() != Notes) return;
    std::vector<Record> r;
    for (const auto& n : notes) r.push_back({n.bDelete(), n.Title(), {n.Title(), n.Content(), Time(n.lDataTime())}, {}});
    Deliver(std::move(r));
}

void PlaceholderResultView::AddDirizaFile(const QList<NSCalendarData>& events) {
    if (DirizaType() != Calendar) return;
    std::vector<Record> r;
    for (const auto& e : events)
        r.push_back({e.bDelete(), e.Title(),
                     {e.Title(), e.addres(), e.Content(), Time(e.lStartTime()), Time(e.lEndTime())}, {}});
    Deliver(std::move(r));
}

// The WeChat records are not defined yet: their deliveries show as no data.
void PlaceholderResultView::AddDirizaFile(const QList<NSWXChatAccount>*) {
    if (DirizaType() != WXAddressBook) return;
    Deliver({});
}

void PlaceholderResultView::AddDirizaFile(const QMap<QString, NSWXChatRecordData>&) {
    if (DirizaType() != WXChat) return;
    Deliver({});
}
