#include "views/chat/NSDirizaWXAddressBookView.h"

#include "gui/NSLanguageText.h"
#include "views/chat/NSDirizaWXAddressBookContactModel.h"
#include "views/chat/NSDirizaWXAddressBookGroupModel.h"
#include "views/chat/NSWXChatRecordCellImages.h"
#include "views/chat/NetworkImageFetcher.h"
#include "views/chat/WXAccountBar.h"
#include "views/frame/SystemViewLook.h"
#include "views/frame/CsvWriter.h"
#include "views/frame/SaveNames.h"

#include <QComboBox>
#include <QDebug>
#include <QEvent>
#include <QPalette>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
#include <QTreeView>
#include <QVBoxLayout>

#include <memory>

NSDirizaWXAddressBookView::NSDirizaWXAddressBookView(NetworkImageFetcher* fetcher, QWidget* parent)
    : DirizaResultView(parent), fetcher_(fetcher),
      delivery_(this, 0, ResultDelivery::AfterClear::Take, [this] { ShowDelivery(); }) {
    SetDirizaType(WXAddressBook);
    if (!fetcher_) fetcher_ = new NetworkImageFetcher(this); // owned by the view

    stack_ = new QStackedWidget(this);
    loadingInfo_ = new QLabel(stack_);
    loadingInfo_->setAlignment(Qt::AlignCenter);
    stack_->addWidget(loadingInfo_);

    auto* content = new QWidget(stack_);
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(8, 8, 8, 8);
    const WXAccountBar bar(content, contentLayout);
    accountImage_ = bar.image;
    accountBox_ = bar.accounts;
    search_ = bar.search;

    auto* splitter = new QSplitter(Qt::Horizontal, content);
    tree_ = new QTreeView(splitter);
    groupModel_ = new NSDirizaWXAddressBookGroupModel(
        state_, [this](const NSDirizaWXAddressBookState::Group& g, bool on) { TickGroup(g, on); }, this);
    tree_->setModel(groupModel_);
    tree_->setHeaderHidden(true);
    tree_->setMinimumWidth(140);
    table_ = new QTableView(splitter);
    contactModel_ = new NSDirizaWXAddressBookContactModel(
        state_, *fetcher_, [this](int id, bool on) { TickContact(id, on); }, this);
    table_->setModel(contactModel_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(30);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setShowGrid(false);
    table_->setMinimumWidth(160);

    // The contact's details scroll when they are taller than the pane: long values
    // (region, signature) wrap onto as many lines as they need, never cut.
    infoScroll_ = new QScrollArea(splitter);
    infoScroll_->setFrameShape(QFrame::NoFrame);
    infoScroll_->setWidgetResizable(true);
    infoScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    infoScroll_->viewport()->setAutoFillBackground(false);
    infoView_ = new QWidget;
    infoView_->setAutoFillBackground(false);
    auto* info = new QGridLayout(infoView_);
    headImage_ = new QLabel(infoView_);
    headImage_->setFixedSize(64, 64);
    headImage_->setScaledContents(true);
    headName_ = new QLabel(infoView_);
    headName_->setTextFormat(Qt::PlainText); // names from the backup are never markup
    // A long name ends at the pane's edge (the name row below shows it whole).
    QSizePolicy namePolicy = headName_->sizePolicy();
    namePolicy.setHorizontalPolicy(QSizePolicy::Ignored);
    headName_->setSizePolicy(namePolicy);
    QFont big = headName_->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    big.setBold(true);
    headName_->setFont(big);
    info->addWidget(headImage_, 0, 0, Qt::AlignLeft | Qt::AlignTop);
    info->addWidget(headName_, 0, 1, Qt::AlignVCenter);
    for (int i = 0; i < kInfoRows; ++i) {
        captions_[i] = new QLabel(infoView_);
        values_[i] = new QLabel(infoView_);
        values_[i]->setTextFormat(Qt::PlainText);
        values_[i]->setWordWrap(true);
        // A value takes the width the pane gives it and wraps within it.
        QSizePolicy policy = values_[i]->sizePolicy();
        policy.setHorizontalPolicy(QSizePolicy::Ignored);
        values_[i]->setSizePolicy(policy);
        values_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        info->addWidget(captions_[i], i + 1, 0, Qt::AlignRight | Qt::AlignTop);
        info->addWidget(values_[i], i + 1, 1, Qt::AlignTop);
    }
    info->setRowStretch(kInfoRows + 1, 1);
    info->setColumnStretch(1, 1);
    splitter->addWidget(tree_);
    splitter->addWidget(table_);
    infoScroll_->setWidget(infoView_);
    splitter->addWidget(infoScroll_);
    // The group outline and the name list start at what their short texts need and the
    // details take the rest; width the window gains goes to all three, so that a wide
    // window also shows longer group names whole.
    splitter->setSizes({150, 190, 420});
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    splitter->setStretchFactor(2, 2);
    contentLayout->addWidget(splitter, 1);
    stack_->addWidget(content);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stack_);

    connect(accountBox_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!fillingBox_) SelectAccountIndex(index);
    });
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { SelectGroup(current); });
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { SelectContactRow(current.isValid() ? current.row() : -1); });
    connect(search_, &QLineEdit::returnPressed, this, [this] { SearchKeyFGP(search_->text()); });
    connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty()) SearchKeyFGP(QString());
    });
    connect(fetcher_, &NetworkImageFetcher::ImageReady, this, [this] {
        contactModel_->Refresh();
        ShowInfo();
        ShowAccountImage();
    });

    ApplyLook();
    setLanguage(NSLanguageText::shareInstance()->Language());
    stack_->setCurrentWidget(loadingInfo_);
    ShowInfo();
}

NSDirizaWXAddressBookView::~NSDirizaWXAddressBookView() {
    tree_->setModel(nullptr);
    table_->setModel(nullptr);
}

void NSDirizaWXAddressBookView::ApplyLook() {
    // The tables follow the view's appearance with their own background.
    SystemViewLook::ApplyTickTableLook(tree_, this);
    SystemViewLook::ApplyTickTableLook(table_, this);
}

void NSDirizaWXAddressBookView::changeEvent(QEvent* event) {
    DirizaResultView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) ApplyLook();
}

void NSDirizaWXAddressBookView::setLanguage(int) {
    const QString colon = QString::fromUtf8("%@：");
    const QString texts[kInfoRows] = {LanguageText("NameCell"),
                                      LanguageText("WXAddressBookRemark"),
                                      LanguageText("WXAddressBookUserName"),
                                      LanguageText("BcardFormat"),
                                      LanguageText("WXAddressBookAddres"),
                                      LanguageText("WXAddressBookPhone"),
                                      LanguageText("WXAddressBookSignature")};
    for (int i = 0; i < kInfoRows; ++i)
        captions_[i]->setText(SafeFormat(colon, {texts[i]}));
    // The pane is never narrower than its captions and the value column's least width.
    infoScroll_->setMinimumWidth(infoView_->minimumSizeHint().width() +
                                 infoScroll_->verticalScrollBar()->sizeHint().width());
    search_->setPlaceholderText(LanguageText("WXAddressBookSearchTitle"));
    loadingInfo_->setText(isLoad_ ? LanguageText("ScanLoading") : LanguageText("ScanNotData"));
    groupModel_->Refresh();
    contactModel_->Refresh();
}

void NSDirizaWXAddressBookView::StartUpdateUI() {
    delivery_.Begin();
    isLoad_ = true;
    searchKey_.clear();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.ClearTicks();
    }
    loadingInfo_->setText(LanguageText("ScanLoading"));
    stack_->setCurrentWidget(loadingInfo_);
}

void NSDirizaWXAddressBookView::AddDirizaFile(const QList<NSWXChatAccount>* accounts) {
    const ResultDelivery::Ticket ticket = delivery_.Open();
    delivery_.Hand(ticket, accounts ? *accounts : QList<NSWXChatAccount>(), pending_);
}

void NSDirizaWXAddressBookView::ShowDelivery() {
    if (!delivery_.Take()) return;
    const QList<NSWXChatAccount> data = std::move(pending_);
    pending_.clear();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.SetData(&data);
    }
    isLoad_ = false;
    const int total = state_.ListedCount();
    qInfo().noquote() << QString::fromUtf8("总大小：%1").arg(total);
    if (NSDirizaDataUpdateDelegate* d = delegate()) d->UpdateDirizaFileNum(DirizaType(), total);
    UpdataUiFinish();
}

void NSDirizaWXAddressBookView::UpdataUiFinish() {
    searchKey_.clear();
    search_->blockSignals(true);
    search_->clear();
    search_->blockSignals(false);
    fillingBox_ = true;
    accountBox_->clear();
    for (const auto& account : state_.AllAccounts())
        accountBox_->addItem(account.key);
    fillingBox_ = false;
    if (state_.AllAccounts().isEmpty()) {
        loadingInfo_->setText(LanguageText("ScanNotData"));
        stack_->setCurrentWidget(loadingInfo_);
        shownAccount_ = -1;
        ShowAccount();
        return;
    }
    accountBox_->setCurrentIndex(0);
    shownAccount_ = 0;
    ShowAccount();
    stack_->setCurrentIndex(1);
    isAllSelect();
}

void NSDirizaWXAddressBookView::SelectAccountIndex(int index) {
    shownAccount_ = index >= 0 && index < state_.InForce().size() ? index : -1;
    ShowAccount();
}

void NSDirizaWXAddressBookView::ShowAccount() {
    groupModel_->SetAccount(shownAccount_);
    const auto& accounts = state_.InForce();
    QList<int> first;
    if (shownAccount_ >= 0 && shownAccount_ < accounts.size() && !accounts[shownAccount_].groups.isEmpty())
        first = accounts[shownAccount_].groups.first().contacts;
    contactModel_->SetContacts(first);
    shownContact_ = first.isEmpty() ? -1 : first.first();
    if (groupModel_->rowCount() > 0) {
        tree_->selectionModel()->blockSignals(true);
        tree_->setCurrentIndex(groupModel_->index(0, 0));
        tree_->selectionModel()->blockSignals(false);
    }
    ShowAccountImage();
    ShowInfo();
}

void NSDirizaWXAddressBookView::ShowAccountImage() {
    const auto& accounts = state_.AllAccounts();
    QImage image;
    if (shownAccount_ >= 0 && shownAccount_ < accounts.size() && !accounts[shownAccount_].headUrl.isEmpty())
        image = fetcher_->Image(accounts[shownAccount_].headUrl);
    if (image.isNull())
        image = NSWXChatRecordCellImages::BundleImage("AddressBookInfo_logo", SystemViewLook::IsDark(this));
    accountImage_->setPixmap(QPixmap::fromImage(image));
}

void NSDirizaWXAddressBookView::SelectGroup(const QModelIndex& index) {
    const NSDirizaWXAddressBookState::Group* group = groupModel_->GroupAt(index);
    if (!group) return;
    contactModel_->SetContacts(group->contacts);
    shownContact_ = group->contacts.isEmpty() ? -1 : group->contacts.first();
    ShowInfo();
}

void NSDirizaWXAddressBookView::SelectContactRow(int row) {
    const int id = contactModel_->IdAt(row);
    if (id >= 0) shownContact_ = id;
    ShowInfo();
}

void NSDirizaWXAddressBookView::ShowInfo() {
    const NSAddressBookInfo* c = state_.Contact(shownContact_);
    infoScroll_->setVisible(c != nullptr);
    if (!c) {
        headName_->clear();
        for (QLabel* value : values_)
            value->clear();
        return;
    }
    // Each field on its own line, as stored: the nickname, the remark, both ids.
    headName_->setText(c->NickName());
    const QString fields[kInfoRows] = {c->NickName(), c->RemarkName(), c->WxDefaultId(), c->WxId(),
                                       c->Address(),  c->Phone(),      c->Signature()};
    for (int i = 0; i < kInfoRows; ++i)
        values_[i]->setText(fields[i]);
    QImage head = c->Head();
    if (head.isNull() && !c->URLImage().isEmpty()) head = fetcher_->Image(c->URLImage());
    if (head.isNull())
        head = NSWXChatRecordCellImages::BundleImage("AddressBookInfo_logo", SystemViewLook::IsDark(this));
    headImage_->setPixmap(QPixmap::fromImage(head));
}

void NSDirizaWXAddressBookView::SetShowDeleteFile(bool onlyDeleted) {
    bool changed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        changed = state_.SetShowDeleteFile(onlyDeleted);
    }
    if (!changed) return;
    SelectAccountIndex(accountBox_->currentIndex());
}

bool NSDirizaWXAddressBookView::GetShowDeleteFile() const {
    return state_.ShowDeleteFile();
}

void NSDirizaWXAddressBookView::SearchKey(const QString& key) {
    searchKey_ = key;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.SearchPage(key);
    }
    SelectAccountIndex(accountBox_->currentIndex());
}

QString NSDirizaWXAddressBookView::GetSearchKey() const {
    return searchKey_;
}

void NSDirizaWXAddressBookView::SearchKeyFGP(const QString& text) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.SearchField(text);
    }
    SelectAccountIndex(accountBox_->currentIndex());
}

void NSDirizaWXAddressBookView::Refresh() {
    groupModel_->Refresh();
    contactModel_->Refresh();
}

void NSDirizaWXAddressBookView::TickContact(int id, bool on) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.Tick(id, on);
    }
    Refresh();
    isAllSelect();
}

void NSDirizaWXAddressBookView::TickGroup(const NSDirizaWXAddressBookState::Group& group, bool on) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.TickGroup(group, on);
    }
    Refresh();
    isAllSelect();
}

void NSDirizaWXAddressBookView::AllSelect() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.TickAll();
    }
    Refresh();
}

void NSDirizaWXAddressBookView::ClearSelect() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.ClearTicks();
    }
    Refresh();
}

bool NSDirizaWXAddressBookView::isSelectData() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_.TickedCount() > 0;
}

void NSDirizaWXAddressBookView::isAllSelect() {
    if (NSDirizaDataUpdateDelegate* d = delegate()) d->ViewisAllSelect(DirizaType(), state_.AllTicked());
}

DirizaSaveResult NSDirizaWXAddressBookView::DirizaData(const QString& folder) {
    QList<NSDirizaWXAddressBookState::File> files;
    std::vector<NSAddressBookInfo> contacts;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const QString base = LanguageText("WXAddressBook");
        files = state_.SaveFiles(base, [&](const QString& account) {
            return SafeFormat("%@(%@)", {base, account});
        });
        if (files.isEmpty()) return {};
        contacts = state_.Contacts(); // a copy: the save reads only this
    }
    DirizaSaveResult result;
    int total = 0;
    for (const auto& file : files)
        total += int(file.ids.size());
    int done = 0;
    const SaveFolder out(folder);
    const QString header = LanguageText("WXAddressBookDataStruct");
    const QString deleted = LanguageText("Delete"), kept = LanguageText("NotDelete");
    // Two accounts whose names come out the same once made safe still get a file each.
    SaveNames names(QStringLiteral(".csv"));
    for (const auto& file : files) {
        CsvWriter csv(out, names.NameFor(file.name),
                      {QString::fromUtf8("【日志】微信联系人.csv, 没有足够可用空间"),
                       QString::fromUtf8("【日志】写入错误"), QString::fromUtf8("【日志】无法写入内容")});
        if (!csv.IsOpen()) {
            result.failed += int(file.ids.size());
            done += int(file.ids.size());
            continue;
        }
        csv.WriteHeader(header);
        int written = 0;
        // The lines counted as written may not have reached the file when closing fails.
        auto close = [&] {
            if (csv.Close()) {
                result.written += written;
                return;
            }
            qWarning().noquote() << QString::fromUtf8("【日志】写入错误") << csv.Path();
            result.failed += written;
        };
        for (int id : file.ids) {
            if (StopRequested()) {
                close();
                return result;
            }
            ReportSaveProgress(total, ++done);
            const NSAddressBookInfo& c = contacts[size_t(id)];
            const bool ok =
                csv.WriteLine({c.NickName(), c.RemarkName(), c.WxDefaultId(), c.WxId(), c.Address(),
                               c.Phone(), c.Signature(), c.bDelete() ? deleted : kept, c.URLImage()});
            if (ok)
                ++written;
            else
                ++result.failed;
        }
        close();
    }
    return result;
}

void NSDirizaWXAddressBookView::ClearData() {
    delivery_.Clear();
    pending_.clear();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.Clear();
    }
    searchKey_.clear();
    fillingBox_ = true;
    accountBox_->clear();
    fillingBox_ = false;
    search_->blockSignals(true);
    search_->clear();
    search_->blockSignals(false);
    shownAccount_ = -1;
    ShowAccount();
}

bool NSDirizaWXAddressBookView::ShowsNoData() const {
    return stack_->currentWidget() == loadingInfo_ && !isLoad_;
}

bool NSDirizaWXAddressBookView::ShowsLoading() const {
    return stack_->currentWidget() == loadingInfo_ && isLoad_;
}

QStringList NSDirizaWXAddressBookView::InfoValues() const {
    QStringList texts;
    for (const QLabel* value : values_)
        texts << value->text();
    return texts;
}
