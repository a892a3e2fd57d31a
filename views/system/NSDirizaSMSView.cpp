#include "views/system/NSDirizaSMSView.h"

#include "gui/BDTableRowView.h"
#include "gui/NSLanguageText.h"
#include "gui/SaveFolder.h"
#include "gui/TableHeadrView.h"
#include "gui/TableViewEvent.h"
#include "views/system/NSSMSListCell.h"
#include "views/frame/SystemViewLook.h"
#include "views/frame/CsvWriter.h"
#include "views/frame/SaveNames.h"
#include "views/frame/SaveSnapshot.h"

#include <QDebug>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QMouseEvent>
#include <QStackedWidget>

namespace {

constexpr int PhoneRowHeight = 22;

// What one save writes: the conversations (shared copies) and the texts of the moment.
struct SmsRecords {
    QStringList keys;
    QList<NSSMSHeadData> heads;
};
struct SmsTexts {
    QString folder, header, received, sent, deleted, kept, unknown;
};

} // namespace

NSDirizaSMSView::NSDirizaSMSView(QWidget* parent)
    : DirizaResultView(parent),
      delivery_(this, 1000, ResultDelivery::AfterClear::Drop, [this] { UpdataUiFinish(); }) {
    SetDirizaType(SMS);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    stack_ = new QStackedWidget(this);
    layout->addWidget(stack_);

    LoadingInfo_ = new QLabel(stack_);
    LoadingInfo_->setAlignment(Qt::AlignCenter);
    stack_->addWidget(LoadingInfo_);

    DirizaView_ = new QWidget(stack_);
    auto* content = new QHBoxLayout(DirizaView_);
    content->setContentsMargins(0, 0, 0, 0);
    content->setSpacing(1);
    stack_->addWidget(DirizaView_);

    phoneModel_ = new SmsConversationModel(
        data_,
        [this](const QString& key, bool on) {
            if (on)
                SelectSMSData(key);
            else
                RemoveSMSData(key);
        },
        this);
    PhoneList_ = new TableViewEvent(DirizaView_);
    TableHeaderView_ = new TableHeadrView(PhoneList_);
    TableHeaderView_->setSectionsClickable(true);
    PhoneList_->setHorizontalHeader(TableHeaderView_);
    PhoneList_->setModel(phoneModel_);
    PhoneList_->setEventdelegate(this);
    PhoneList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    PhoneList_->setSelectionMode(QAbstractItemView::SingleSelection);
    PhoneList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    PhoneList_->setShowGrid(false);
    PhoneList_->setWordWrap(false);
    PhoneList_->verticalHeader()->hide();
    PhoneList_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    PhoneList_->verticalHeader()->setDefaultSectionSize(PhoneRowHeight);
    TableHeaderView_->setSectionResizeMode(SmsConversationModel::SelectCell, QHeaderView::Fixed);
    TableHeaderView_->resizeSection(SmsConversationModel::SelectCell, 28);
    TableHeaderView_->resizeSection(SmsConversationModel::Phone, 150);
    TableHeaderView_->setStretchLastSection(true);
    phoneRows_ = new BDTableRowView(PhoneList_);
    phoneRows_->setColor(BDTableRowView::DefaultSelection());
    phoneRows_->setColorDarkAqua(QColor(38, 79, 120));
    phoneRows_->setOwnTextDirection(true); // addresses and names from the backup
    PhoneList_->setItemDelegate(phoneRows_);
    PhoneList_->setFixedWidth(340);
    content->addWidget(PhoneList_);
    connect(TableHeaderView_, &QHeaderView::sectionClicked, this, [this](int section) {
        if (section == SmsConversationModel::SelectCell) HeaderClicked();
    });
    connect(PhoneList_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                if (current.isValid()) SelectRowEvent(current.row());
            });

    // Every click on the table is its action: a click below the last conversation
    // leaves no row selected and no messages listed.
    PhoneList_->viewport()->installEventFilter(this);

    SMSContentList_ = new QListView(DirizaView_);
    SMSContentList_->setModel(&smsModel_);
    smsCell_ = new NSSMSListCell(smsModel_, SMSContentList_);
    SMSContentList_->setItemDelegate(smsCell_);
    SMSContentList_->setUniformItemSizes(false);
    SMSContentList_->setResizeMode(QListView::Adjust);
    // Rows are measured at the list's width: any change of it (a scroll bar coming or
    // going included) lays the rows out again.
    SMSContentList_->setWordWrap(true);
    SMSContentList_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    SMSContentList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SMSContentList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SMSContentList_->setSelectionMode(QAbstractItemView::SingleSelection);
    content->addWidget(SMSContentList_, 1);

    SetHeader(false);
    ShowState(State::Empty);
    ApplyLook();
}

NSDirizaSMSView::~NSDirizaSMSView() {
    delivery_.Clear();
    PhoneList_->setEventdelegate(nullptr);
}

// ---- Delivery ---------------------------------------------------------------------

void NSDirizaSMSView::AddDirizaFile(const QMap<QString, NSSMSHeadData>& conversations) {
    const ResultDelivery::Ticket ticket = delivery_.Open();
    delivery_.Hand(ticket, conversations, pending_); // shared, cheap
}

void NSDirizaSMSView::StartUpdateUI() {
    delivery_.Begin();
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        data_.Frame().ClearSelection();
        data_.Search(QString());
    }
    SetHeader(false);
    ShowState(State::Loading);
}

void NSDirizaSMSView::UpdataUiFinish() {
    if (!delivery_.Take()) return;
    const QMap<QString, NSSMSHeadData> arrived = std::move(pending_);
    pending_.clear();
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        data_.SetData(arrived);
    }
    smsModel_.Clear();
    ReloadPhones();
    SetHeader(false);
    if (auto* d = delegate()) d->UpdateDirizaFileNum(SMS, data_.MessageCount());
    ShowState(data_.Count() > 0 ? State::Data : State::NoData);
}

void NSDirizaSMSView::ClearData() {
    delivery_.Clear();
    pending_.clear();
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        data_.Clear();
    }
    smsModel_.Clear();
    ReloadPhones();
    SetHeader(false);
    ShowState(State::NoData);
}

// ---- Showing ----------------------------------------------------------------------

void NSDirizaSMSView::ShowState(State state) {
    state_ = state;
    switch (state) {
    case State::Loading:
        LoadingInfo_->setText(LanguageText("ScanLoading"));
        break;
    case State::NoData:
        LoadingInfo_->setText(LanguageText("ScanNotData"));
        break;
    default:
        LoadingInfo_->setText(QString());
        break;
    }
    stack_->setCurrentWidget(state == State::Data ? DirizaView_ : static_cast<QWidget*>(LoadingInfo_));
}

void NSDirizaSMSView::setLanguage(int) {
    if (state_ == State::Loading || state_ == State::NoData)
        ShowState(delivery_.Waiting() ? State::Loading : State::NoData);
    phoneModel_->TextsChanged();
}

bool NSDirizaSMSView::ShowsLoading() const {
    return state_ == State::Loading;
}

bool NSDirizaSMSView::ShowsNoData() const {
    return state_ == State::NoData;
}

QString NSDirizaSMSView::InfoText() const {
    return LoadingInfo_->text();
}

void NSDirizaSMSView::ReloadPhones() {
    phoneModel_->Reload();
}

void NSDirizaSMSView::ApplyLook() {
    SystemViewLook::ApplyTickTableLook(PhoneList_, this);
    SystemViewLook::ApplyTableLook(SMSContentList_);
}

void NSDirizaSMSView::changeEvent(QEvent* event) {
    DirizaResultView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) ApplyLook();
}

void NSDirizaSMSView::showEvent(QShowEvent* event) {
    DirizaResultView::showEvent(event);
    ApplyLook();
}

QString NSDirizaSMSView::KeyAtRow(int row) const {
    const int record = data_.Frame().RecordAt(row);
    return record < 0 ? QString() : data_.KeyAt(record);
}

// ---- Rows, filter and search ------------------------------------------------------

void NSDirizaSMSView::SelectRowEvent(int row) {
    const int record = data_.Frame().RecordAt(row);
    if (record < 0) return;
    smsModel_.SetMessages(data_.MessagesOf(record));
}

bool NSDirizaSMSView::eventFilter(QObject* watched, QEvent* event) {
    if (PhoneList_ && watched == PhoneList_->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!PhoneList_->indexAt(mouse->position().toPoint()).isValid()) PhoneList_->clearSelection();
        SelectPhoneEvent();
    }
    return DirizaResultView::eventFilter(watched, event);
}

void NSDirizaSMSView::SelectPhoneEvent() {
    const int record = data_.Frame().RecordAt(PhoneList_->selectedRow());
    smsModel_.SetMessages(record < 0 ? QList<NSSMSData>() : data_.MessagesOf(record));
}

void NSDirizaSMSView::SetShowDeleteFile(bool onlyDeleted) {
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        data_.SetShowDeleteFile(onlyDeleted);
    }
    ReloadPhones();
    smsModel_.Clear();
    isDirizaSelect();
}

bool NSDirizaSMSView::GetShowDeleteFile() const {
    return data_.Frame().ShowDeleteFile();
}

void NSDirizaSMSView::SearchKey(const QString& key) {
    bool changed = false;
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        changed = data_.Search(key);
    }
    if (!changed) return;
    ReloadPhones();
    // The reload dropped the selection: the messages of the old one go too.
    SelectPhoneEvent();
    isDirizaSelect();
}

QString NSDirizaSMSView::GetSearchKey() const {
    return data_.Frame().SearchKey();
}

// ---- Ticks ------------------------------------------------------------------------

void NSDirizaSMSView::SetHeader(bool on) {
    TableHeaderView_->setIsSelect(on);
}

bool NSDirizaSMSView::HeaderTicked() const {
    return TableHeaderView_->isSelect();
}

void NSDirizaSMSView::isDirizaSelect() {
    // With no conversation shown the header is ticked.
    SetHeader(data_.Frame().HeaderTicked(true));
}

void NSDirizaSMSView::isAllSelect() {
    if (auto* d = delegate()) d->ViewisAllSelect(SMS, data_.Frame().AllTicked());
}

void NSDirizaSMSView::AllSelect() {
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        data_.Frame().SelectAll();
    }
    SetHeader(true);
    phoneModel_->TicksChanged();
}

void NSDirizaSMSView::ClearSelect() {
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        data_.Frame().ClearSelection();
    }
    SetHeader(false);
    phoneModel_->TicksChanged();
}

bool NSDirizaSMSView::isSelectData() const {
    std::lock_guard<std::mutex> lock(dataMutex_);
    return data_.Frame().HasSelection();
}

void NSDirizaSMSView::SelectSMSData(const QString& key) {
    const int record = int(data_.Keys().indexOf(key));
    if (record < 0 || !data_.Frame().IsShown(record)) return;
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        data_.Frame().Select(record);
    }
    phoneModel_->TicksChanged();
    isDirizaSelect();
    isAllSelect();
}

void NSDirizaSMSView::RemoveSMSData(const QString& key) {
    const int record = int(data_.Keys().indexOf(key));
    if (record < 0 || !data_.Frame().IsShown(record)) return;
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        data_.Frame().Remove(record);
    }
    phoneModel_->TicksChanged();
    SetHeader(false);
    isAllSelect();
}

void NSDirizaSMSView::AllSelectRecovryEvent(bool on) {
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        data_.Frame().SetShownTicked(on);
    }
    SetHeader(on);
    phoneModel_->TicksChanged();
    isAllSelect();
}

void NSDirizaSMSView::HeaderClicked() {
    AllSelectRecovryEvent(!TableHeaderView_->isSelect());
}

// ---- Saving -----------------------------------------------------------------------

DirizaSaveResult NSDirizaSMSView::DirizaData(const QString& folder) {
    SaveSnapshot<SmsRecords, SmsTexts> snap;
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        snap.items = SaveSnapshot<SmsRecords, SmsTexts>::ItemsOf(data_.Frame());
        if (snap.items.empty()) return {};
        snap.records = {data_.Keys(), data_.Heads()};
        snap.texts = {LanguageText("SMS"),       LanguageText("SMSDataStruct"), LanguageText("SMSState1"),
                      LanguageText("SMSState2"), LanguageText("Delete"),        LanguageText("NotDelete"),
                      LanguageText("Unknown")};
    }
    const SmsTexts& text = snap.texts;
    const int total = int(snap.items.size());
    const SaveFolder root(folder);
    if (!root.isValid()) {
        qWarning().noquote() << QStringLiteral("【日志】保存目录不可用:") << folder;
        return {0, total};
    }
    const auto smsFolder = SaveNames::SubFolder(root, text.folder);
    if (!smsFolder) {
        qWarning().noquote() << QStringLiteral("【日志】无法创建短信目录:") << text.folder;
        return {0, total};
    }
    SaveNames names(QStringLiteral(".csv"));
    SaveRun run(
        total, [this] { return StopRequested(); },
        [this](int all, int done) { ReportSaveProgress(all, done); });
    for (const int item : snap.items) {
        if (!run.Next()) break;
        const QString& key = snap.records.keys[item];
        const NSSMSHeadData& head = snap.records.heads[item];
        const QString address = key.isEmpty() ? text.unknown : key;
        const QString name = names.NameFor(address);
        CsvWriter csv(*smsFolder, name,
                      {QStringLiteral("【日志】 %1, 没有足够可用空间").arg(name),
                       QStringLiteral("【日志】写入错误"), QStringLiteral("【日志】无法写入内容")});
        if (!csv.IsOpen()) {
            run.Failed();
            continue;
        }
        bool ok = csv.WriteHeader(text.header);
        const QString contact = head.Name().isEmpty() ? text.unknown : head.Name();
        for (const NSSMSData& m : head.SMSDataList()) {
            if (m.Alignment() == 2) continue;
            ok = csv.WriteLine({address, contact, m.Time().isEmpty() ? QStringLiteral(" ") : m.Time(),
                                m.Alignment() == 0 ? text.received : text.sent,
                                m.bDelete() ? text.deleted : text.kept,
                                m.Content().isEmpty() ? QStringLiteral(" ") : m.Content()}) &&
                 ok;
        }
        ok = csv.Close() && ok;
        if (ok)
            run.Written();
        else
            run.Failed();
    }
    return run.result;
}
