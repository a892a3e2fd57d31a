#include "views/chat/NSDirizaWXChatRecordView.h"

#include "gui/NSLanguageText.h"
#include "gui/TableHeadrView.h"
#include "gui/TableViewEvent.h"
#include "views/chat/NSDirizaWXChatFriendModel.h"
#include "views/chat/NSDirizaWXChatMessageModel.h"
#include "views/chat/NSWXChatRecordCellImages.h"
#include "views/chat/NSWXChatRecordContentCell.h"
#include "views/chat/NetworkImageFetcher.h"
#include "views/chat/WXAccountBar.h"
#include "views/frame/SystemViewLook.h"

#include <QComboBox>
#include <QDateTime>
#include <QEvent>
#include <QPalette>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <memory>

NSDirizaWXChatRecordView::NSDirizaWXChatRecordView(IPreviewService& preview, NetworkImageFetcher* fetcher,
                                                   QWidget* parent)
    : DirizaResultView(parent), preview_(preview), fetcher_(fetcher),
      delivery_(this, 0, ResultDelivery::AfterClear::Take, [this] { ShowDelivery(); }) {
    SetDirizaType(WXChat);
    if (!fetcher_) fetcher_ = new NetworkImageFetcher(this); // owned by the view
    images_ = new NSWXChatRecordCellImages(this);

    stack_ = new QStackedWidget(this);
    loadingInfo_ = new QLabel(stack_);
    loadingInfo_->setAlignment(Qt::AlignCenter);
    stack_->addWidget(loadingInfo_);

    auto* content = new QWidget(stack_);
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(8, 8, 8, 8);
    const WXAccountBar bar(content, contentLayout);
    headImage_ = bar.image;
    accountBox_ = bar.accounts;
    search_ = bar.search;

    auto* splitter = new QSplitter(Qt::Horizontal, content);
    friendTable_ = new TableViewEvent(splitter);
    header_ = new TableHeadrView(friendTable_);
    friendTable_->setHorizontalHeader(header_);
    friendModel_ = new NSDirizaWXChatFriendModel(
        state_, [this](int row, bool on) { TickFriend(row, on); }, this);
    friendTable_->setModel(friendModel_);
    friendTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
    friendTable_->setSelectionMode(QAbstractItemView::SingleSelection);
    friendTable_->verticalHeader()->hide();
    friendTable_->verticalHeader()->setDefaultSectionSize(30);
    friendTable_->setShowGrid(false);
    header_->setSectionsClickable(true);
    header_->setSectionResizeMode(NSDirizaWXChatFriendModel::Friends, QHeaderView::Stretch);
    friendTable_->setColumnWidth(NSDirizaWXChatFriendModel::Select, 30);
    friendTable_->setColumnWidth(NSDirizaWXChatFriendModel::Date, 100);
    friendTable_->setColumnWidth(NSDirizaWXChatFriendModel::AllNum, 70);
    friendTable_->setMinimumWidth(320);

    messageList_ = new QListView(splitter);
    messageModel_ = new NSDirizaWXChatMessageModel(this);
    messageList_->setModel(messageModel_);
    cell_ = new NSWXChatRecordContentCell([this](int row) { return messageModel_->MessageAt(row); }, *images_,
                                          *fetcher_, preview_, this);
    messageList_->setItemDelegate(cell_);
    messageList_->setSelectionMode(QAbstractItemView::NoSelection);
    messageList_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    messageList_->setResizeMode(QListView::Adjust);
    // Rows are measured at the list's width: any change of it (a scroll bar coming or
    // going included) lays the rows out again.
    messageList_->setWordWrap(true);
    messageList_->setMouseTracking(true);
    splitter->addWidget(friendTable_);
    splitter->addWidget(messageList_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({360, 640});
    contentLayout->addWidget(splitter, 1);
    stack_->addWidget(content);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stack_);

    connect(accountBox_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!fillingBox_) SelectAccountEvent(index);
    });
    connect(
        friendTable_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex& current) { SelectFriendsEvent(current.isValid() ? current.row() : -1); });
    connect(header_, &QHeaderView::sectionClicked, this, [this](int section) {
        if (section == NSDirizaWXChatFriendModel::Select) SelectAllFriendsEvent(!header_->isSelect());
    });
    connect(search_, &QLineEdit::returnPressed, this, [this] { SearchKeyFGP(search_->text()); });
    connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty()) SearchKeyFGP(QString());
    });
    connect(fetcher_, &NetworkImageFetcher::ImageReady, this, [this] {
        ShowAccountImage();
        messageList_->viewport()->update();
    });
    connect(images_, &NSWXChatRecordCellImages::Loaded, this, [this] { messageList_->viewport()->update(); });

    ApplyLook();
    setLanguage(NSLanguageText::shareInstance()->Language());
    stack_->setCurrentWidget(loadingInfo_);
}

NSDirizaWXChatRecordView::~NSDirizaWXChatRecordView() {
    // The cell and models refer to the state; take them down first.
    messageList_->setItemDelegate(nullptr);
    messageList_->setModel(nullptr);
    friendTable_->setModel(nullptr);
}

void NSDirizaWXChatRecordView::ApplyLook() {
    // The tables follow the view's appearance with their own background.
    SystemViewLook::ApplyTickTableLook(friendTable_, this);
    SystemViewLook::ApplyTickTableLook(messageList_, this);
}

void NSDirizaWXChatRecordView::changeEvent(QEvent* event) {
    DirizaResultView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) ApplyLook();
}

void NSDirizaWXChatRecordView::setLanguage(int) {
    search_->setPlaceholderText(LanguageText("WXAddressBookSearchTitle"));
    loadingInfo_->setText(isLoad_ ? LanguageText("ScanLoading") : LanguageText("ScanNotData"));
    friendModel_->TextsChanged();
    messageList_->viewport()->update();
}

void NSDirizaWXChatRecordView::StartUpdateUI() {
    delivery_.Begin(); // results of an earlier scan still on their way are dropped
    isLoad_ = true;
    searchKey_.clear();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.ClearTicks();
        state_.SetMessageKey(QString());
    }
    loadingInfo_->setText(LanguageText("ScanLoading"));
    stack_->setCurrentWidget(loadingInfo_);
}

void NSDirizaWXChatRecordView::AddDirizaFile(const QMap<QString, NSWXChatRecordData>& accounts) {
    const ResultDelivery::Ticket ticket = delivery_.Open();
    delivery_.Hand(ticket, accounts, pending_);
}

void NSDirizaWXChatRecordView::ShowDelivery() {
    if (!delivery_.Take()) return;
    const QMap<QString, NSWXChatRecordData> data = std::move(pending_);
    pending_.clear();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.SetData(data);
    }
    isLoad_ = false;
    if (NSDirizaDataUpdateDelegate* d = delegate())
        d->UpdateDirizaFileNum(DirizaType(), state_.MessageCount());
    UpdataUiFinish();
}

void NSDirizaWXChatRecordView::UpdataUiFinish() {
    FillAccountBox();
    if (state_.Accounts().isEmpty()) {
        loadingInfo_->setText(LanguageText("ScanNotData"));
        stack_->setCurrentWidget(loadingInfo_);
    } else {
        stack_->setCurrentIndex(1);
    }
    ShowAccountImage();
    ReloadFriends();
    ReloadMessages();
    isDirizaSelect();
    isAllSelect();
}

void NSDirizaWXChatRecordView::FillAccountBox() {
    fillingBox_ = true;
    accountBox_->clear();
    for (const NSWXChatRecordData& account : state_.Shown())
        accountBox_->addItem(account.Account());
    accountBox_->setCurrentIndex(state_.ShownAccount());
    fillingBox_ = false;
}

void NSDirizaWXChatRecordView::ShowAccountImage() {
    const NSWXChatRecordData* account = state_.ShownAccountData();
    QImage image;
    if (account) image = account->image();
    if (image.isNull() && account && !account->HeadImageUrl().isEmpty())
        image = fetcher_->Image(account->HeadImageUrl());
    if (image.isNull())
        image = NSWXChatRecordCellImages::BundleImage("AddressBookInfo_logo", SystemViewLook::IsDark(this));
    headImage_->setPixmap(QPixmap::fromImage(image));
}

void NSDirizaWXChatRecordView::ReloadFriends() {
    friendModel_->Reload();
}

void NSDirizaWXChatRecordView::ReloadMessages() {
    messageModel_->SetMessages(state_.ShownMessages());
    messageList_->scrollToTop();
}

void NSDirizaWXChatRecordView::SelectAccountEvent(int index) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.SelectAccount(index);
    }
    ShowAccountImage();
    ReloadFriends();
    ReloadMessages();
    isDirizaSelect();
}

void NSDirizaWXChatRecordView::SelectFriendsEvent(int row) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.SelectFriend(row);
    }
    ReloadMessages();
}

void NSDirizaWXChatRecordView::SetShowDeleteFile(bool onlyDeleted) {
    bool changed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        changed = state_.SetShowDeleteFile(onlyDeleted);
    }
    if (changed) {
        FillAccountBox();
        ShowAccountImage();
        ReloadFriends();
        ReloadMessages();
    }
    isDirizaSelect();
}

bool NSDirizaWXChatRecordView::GetShowDeleteFile() const {
    return state_.ShowDeleteFile();
}

void NSDirizaWXChatRecordView::SearchKeyFGP(const QString& text) {
    bool changed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        changed = state_.SearchFriends(text);
    }
    if (!changed) return;
    FillAccountBox();
    ShowAccountImage();
    ReloadFriends();
    ReloadMessages();
    isDirizaSelect();
    isAllSelect();
}

void NSDirizaWXChatRecordView::SearchKey(const QString& key) {
    searchKey_ = key;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.SetMessageKey(key);
    }
    ReloadMessages();
}

QString NSDirizaWXChatRecordView::GetSearchKey() const {
    return searchKey_;
}

void NSDirizaWXChatRecordView::TickFriend(int row, bool on) {
    const auto ref = state_.FriendAt(row);
    if (!ref.data) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.Tick(ref.account, ref.key, on);
    }
    friendModel_->TicksChanged();
    isDirizaSelect();
    isAllSelect();
}

void NSDirizaWXChatRecordView::SelectAllFriendsEvent(bool on) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.TickShownAccount(on);
    }
    friendModel_->TicksChanged();
    isDirizaSelect();
    isAllSelect();
}

void NSDirizaWXChatRecordView::AllSelect() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.TickAll();
    }
    friendModel_->TicksChanged();
    isDirizaSelect();
}

void NSDirizaWXChatRecordView::ClearSelect() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.ClearTicks();
    }
    friendModel_->TicksChanged();
    isDirizaSelect();
}

bool NSDirizaWXChatRecordView::isSelectData() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_.HasTicks();
}

bool NSDirizaWXChatRecordView::HeaderTicked() const {
    return header_->isSelect();
}

void NSDirizaWXChatRecordView::isDirizaSelect() {
    header_->setIsSelect(state_.HeaderTicked());
}

void NSDirizaWXChatRecordView::isAllSelect() {
    if (NSDirizaDataUpdateDelegate* d = delegate()) d->ViewisAllSelect(DirizaType(), state_.AllTicked());
}

void NSDirizaWXChatRecordView::SetClock(WXChatExport::Clock clock) {
    std::lock_guard<std::mutex> lock(mutex_);
    clock_ = std::move(clock);
}

DirizaSaveResult NSDirizaWXChatRecordView::DirizaData(const QString& folder) {
    QList<WXChatExport::Item> items;
    WXChatExport::Clock clock;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& ref : state_.SaveItems())
            items.append({ref.account, ref.key, *ref.data});
        clock = clock_;
    }
    if (items.isEmpty()) return {};
    if (!clock) clock = [] { return QDateTime::currentMSecsSinceEpoch(); };
    WXChatExport exporter(
        clock, [this] { return StopRequested(); },
        [this](int total, int current) { ReportSaveProgress(total, current); });
    return exporter.Save(folder, items);
}

void NSDirizaWXChatRecordView::ClearData() {
    delivery_.Clear();
    pending_.clear();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.Clear();
    }
    searchKey_.clear();
    FillAccountBox();
    ReloadFriends();
    ReloadMessages();
    isDirizaSelect();
}

bool NSDirizaWXChatRecordView::ShowsNoData() const {
    return stack_->currentWidget() == loadingInfo_ && !isLoad_;
}

bool NSDirizaWXChatRecordView::ShowsLoading() const {
    return stack_->currentWidget() == loadingInfo_ && isLoad_;
}
