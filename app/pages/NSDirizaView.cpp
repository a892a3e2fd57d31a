#include "app/pages/NSDirizaView.h"

#include "gui/ButtonTextColor.h"
#include "gui/MainQueue.h"
#include "gui/NSLanguageText.h"
#include "gui/TableViewEvent.h"
#include "app/pages/AppImage.h"
#include "app/pages/NSDirizaNull.h"
#include "app/pages/NSDirizaTypeListCell.h"
#include "app/recovery/ZZProgressView.h"
#include "platform/IAlertPresenter.h"
#include "app/recovery/ScanLossNotice.h"
#include "platform/IAppearance.h"
#include "platform/IFilePicker.h"
#include "platform/IOpener.h"
#include "platform/Paths.h"

#include <QCheckBox>
#include <QDir>
#include <QDialog>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

constexpr int kFirstView = 0;
constexpr int kLastView = DirizaResultView::TypeCount - 1; // 14

bool IsViewType(int type) {
    return type >= kFirstView && type <= kLastView;
}

QPushButton* ScanButton(QWidget* parent) {
    auto* b = new QPushButton(parent);
    b->setFlat(true);
    b->setIconSize(QSize(28, 28));
    b->setFixedSize(34, 34);
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

// A button drawn by its image. `lead` image pixels at the left hold a picture that keeps
// its size (the home button's house): the text is laid out right of it, never over it.
QString ImageStyle(const QString& normal, const QString& hot, const QColor& text, int lead = 0) {
    if (lead <= 0)
        return QStringLiteral("QPushButton { border-image: url(%1); color: %3; padding: 4px 16px; }"
                              "QPushButton:hover, QPushButton:pressed { border-image: url(%2); }"
                              "QPushButton:disabled { color: gray; }")
            .arg(AppImage::Path(normal), AppImage::Path(hot), text.name());
    return QStringLiteral("QPushButton { border-image: url(%1) 8 10 8 %4 stretch stretch;"
                          " border-width: 8px 10px 8px %4px; color: %3; padding: 0px 8px 0px 2px; }"
                          "QPushButton:hover, QPushButton:pressed {"
                          " border-image: url(%2) 8 10 8 %4 stretch stretch; }"
                          "QPushButton:disabled { color: gray; }")
        .arg(AppImage::Path(normal), AppImage::Path(hot), text.name())
        .arg(lead);
}

// The home button's image: 36 pixels high, its house within the first 38 pixels.
constexpr int kHomeImageHeight = 36;
constexpr int kHomeImageLead = 38;

} // namespace

NSDirizaView::NSDirizaView(IDeviceManage& manager, ResultViewFactory views, QWidget* parent)
    : QWidget(parent), manager(manager) {
    BuildLayout();
    // The save panel: shown while a save runs; its close button stops the save.
    SaveFileInfoWindow_->hide();
    manager.setScanFileDelegate(this);
    StartScanBt_->show();
    PauseScanBt_->hide();
    StopScanBt_->show();
    DirizaTypeList_->setEventdelegate(this);
    SelectShowDelete_->setChecked(false);
    if (!views) {
        ownViews = std::make_unique<ApplicationResultViews>();
        views = ownViews->Factory();
    }
    CreateView(views);
    dark = IAppearance::Dark(this);
    ApplyAppearance();
    setLanguage(NSLanguageText::shareInstance()->Language());
}

NSDirizaView::~NSDirizaView() {
    manager.setScanFileDelegate(nullptr);
    StopAndWait();
    for (DirizaResultView* v : views)
        if (v) v->setDelegate(nullptr);
    // The page's own views go before the previews and the voice converter they use.
    if (ownViews)
        for (DirizaResultView*& v : views) {
            delete v;
            v = nullptr;
        }
}

void NSDirizaView::BuildLayout() {
    // Left: the device box and the type list.
    leftPane = new QWidget(this);
    leftPane->setFixedWidth(240);
    auto* left = new QVBoxLayout(leftPane);
    left->setContentsMargins(0, 0, 0, 0);
    DeviceNameButton_ = new QCheckBox(leftPane);
    DirizaTypeList_ = new TableViewEvent(leftPane);
    DirizaTypeList_->setModel(&listModel);
    cell = new NSDirizaTypeListCell(DirizaTypeList_);
    // The picked type's row: the tables' selection fills, so its text stays readable in
    // the dark appearance too.
    cell->setColor(BDTableRowView::DefaultSelection());
    cell->setColorDarkAqua(BDTableRowView::DarkSelection());
    DirizaTypeList_->setItemDelegate(cell);
    DirizaTypeList_->horizontalHeader()->hide();
    DirizaTypeList_->horizontalHeader()->setStretchLastSection(true);
    DirizaTypeList_->verticalHeader()->hide();
    DirizaTypeList_->verticalHeader()->setDefaultSectionSize(28);
    DirizaTypeList_->setShowGrid(false);
    DirizaTypeList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    DirizaTypeList_->setSelectionMode(QAbstractItemView::SingleSelection);
    DirizaTypeList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DirizaTypeList_->setFrameShape(QFrame::NoFrame);
    DirizaTypeList_->setAutoFillBackground(true);
    left->addWidget(DeviceNameButton_);
    left->addWidget(DirizaTypeList_, 1);
    cell->onTick = [this](int type, bool on) { TickRow(type, on); };
    connect(DeviceNameButton_, &QCheckBox::clicked, this, [this](bool on) { AllSelectDeviceNameEvent(on); });
    connect(DirizaTypeList_, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { SelectTypeListEvent(index.row()); });

    // Right: the switch and the search field over the result views.
    auto* right = new QVBoxLayout;
    topBar = new QWidget(this);
    auto* top = new QHBoxLayout(topBar);
    top->setContentsMargins(0, 0, 0, 0);
    SelectShowDelete_ = new QCheckBox(topBar);
    SearchKey_ = new QLineEdit(topBar);
    SearchKey_->setClearButtonEnabled(true);
    SearchKey_->setMaximumWidth(240);
    top->addWidget(SelectShowDelete_);
    top->addStretch();
    top->addWidget(SearchKey_);
    ViewFileTypeTab = new QStackedWidget(this);
    right->addWidget(topBar);
    right->addWidget(ViewFileTypeTab, 1);
    connect(SelectShowDelete_, &QCheckBox::clicked, this, [this] { SelectShowDeleteEvent(); });
    connect(SearchKey_, &QLineEdit::returnPressed, this, [this] { SearchKeyEvent(); });
    connect(SearchKey_, &QLineEdit::textChanged, this, [this](const QString& t) {
        if (t.isEmpty()) SearchKeyEvent();
    });

    auto* content = new QHBoxLayout;
    content->addWidget(leftPane);
    content->addLayout(right, 1);

    // Bottom bar: scan buttons, progress, save and back home over the bar's image.
    auto* bottom = new QWidget(this);
    bottom->setFixedHeight(52);
    auto* bottomGrid = new QGridLayout(bottom);
    bottomGrid->setContentsMargins(0, 0, 0, 0);
    NavigationBackground = new QLabel(bottom);
    NavigationBackground->setScaledContents(true);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(10, 6, 10, 6);
    StartScanBt_ = ScanButton(bottom);
    PauseScanBt_ = ScanButton(bottom);
    StopScanBt_ = ScanButton(bottom);
    pZZProgressView = new ZZProgressView(bottom);
    pZZProgressView->setFixedHeight(24);
    DirizaAllButton_ = new QPushButton(bottom);
    BackHomeButton_ = new QPushButton(bottom);
    DirizaAllButton_->setMinimumHeight(32);
    // At its image's own height, so that the house keeps its shape; the image is not
    // mirrored for right-to-left texts, so neither is the room it leaves for the text.
    BackHomeButton_->setFixedHeight(kHomeImageHeight);
    BackHomeButton_->setLayoutDirection(Qt::LeftToRight);
    row->addWidget(StartScanBt_);
    row->addWidget(PauseScanBt_);
    row->addWidget(StopScanBt_);
    row->addWidget(pZZProgressView, 1);
    row->addStretch();
    row->addWidget(DirizaAllButton_);
    row->addWidget(BackHomeButton_);
    bottomGrid->addWidget(NavigationBackground, 0, 0);
    bottomGrid->addLayout(row, 0, 0);
    connect(StartScanBt_, &QPushButton::clicked, this, [this] { StartScanBtEvent(); });
    connect(PauseScanBt_, &QPushButton::clicked, this, [this] { PauseScanBtEvent(); });
    connect(StopScanBt_, &QPushButton::clicked, this, [this] { StopScanBtEvent(); });
    connect(DirizaAllButton_, &QPushButton::clicked, this, [this] { RecroyAllDataEvent(); });
    connect(BackHomeButton_, &QPushButton::clicked, this, [this] { BackHome(); });

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(content, 1);
    column->addWidget(bottom);

    TimerUpdataSearchProgress = new QTimer(this);
    TimerUpdataSearchProgress->setInterval(100);
    connect(TimerUpdataSearchProgress, &QTimer::timeout, this, [this] { UpdataSearchProgress(); });

    // The save panel: a small window of its own that does not block the page.
    SaveFileInfoWindow_ = new QDialog(this);
    SaveFileInfoWindow_->setModal(false);
    SaveFileInfoWindow_->setMinimumWidth(380);
    auto* panel = new QVBoxLayout(SaveFileInfoWindow_);
    SaveFileNameText_ = new QLabel(SaveFileInfoWindow_);
    SaveFileNameText_->setTextFormat(Qt::PlainText);
    SaveFileProgress_ = new QProgressBar(SaveFileInfoWindow_);
    SaveFileProgress_->setTextVisible(false);
    FileNumShow_ = new QLabel(SaveFileInfoWindow_);
    FileNumShow_->setTextFormat(Qt::PlainText);
    StopSaveFileButton_ = new QPushButton(SaveFileInfoWindow_);
    panel->addWidget(SaveFileNameText_);
    panel->addWidget(SaveFileProgress_);
    panel->addWidget(FileNumShow_);
    panel->addWidget(StopSaveFileButton_, 0, Qt::AlignRight);
    connect(StopSaveFileButton_, &QPushButton::clicked, this, [this] { CloseSaveFileInfoWindow(); });
    // The close button (and Escape) reject the panel: that stops the save too.
    connect(SaveFileInfoWindow_, &QDialog::rejected, this, [this] { CloseSaveFileInfoWindow(); });
}

void NSDirizaView::CreateView(const ResultViewFactory& factory) {
    for (int type = 0; type < TabCount; ++type) {
        QWidget* page = nullptr;
        if (IsViewType(type)) {
            std::unique_ptr<DirizaResultView> view = factory(type);
            if (!view) {
                // A type the given factory has no view of gets the application's.
                if (!ownViews) ownViews = std::make_unique<ApplicationResultViews>();
                view = ownViews->Factory()(type);
            }
            view->setDelegate(this);
            // The attachment views learn which kind they hold; the others know theirs.
            if (type == DirizaResultView::SMSAttachment || type == DirizaResultView::MemoAttachment ||
                type == DirizaResultView::WXAttachment)
                view->SetDirizaType(type);
            views[type] = view.get();
            page = view.release(); // owned by the stack from here
        } else if (type == DirizaTypeList::StatusPage) {
            pNSDirizaNull = new NSDirizaNull;
            page = pNSDirizaNull;
        } else {
            page = new QWidget; // WhatsApp: shown empty, sent nothing
        }
        ViewFileTypeTab->addWidget(page);
        ArrayViewItem.push_back(page);
    }
    ViewFileTypeTab->setCurrentIndex(DirizaTypeList::StatusPage);
    eThumbnailPreviewType = DirizaTypeList::StatusPage;
}

DirizaResultView* NSDirizaView::ResultView(int type) const {
    return IsViewType(type) ? views[type] : nullptr;
}

QWidget* NSDirizaView::ShownPage() const {
    return ViewFileTypeTab->currentWidget();
}

bool NSDirizaView::ProgressTimerRunning() const {
    return TimerUpdataSearchProgress->isActive();
}

// ---- The list ----

void NSDirizaView::LoadDirizaTypeList(const QStringList& selection) {
    typeList.Load(selection);
    ReloadList();
    SwitchThumbnailPreviewView(DirizaTypeList::StatusPage);
}

void NSDirizaView::ReloadList() {
    listModel.clear();
    listModel.setColumnCount(1);
    for (const NSSelectDirizaTypeListData& r : typeList.Rows()) {
        auto* item = new QStandardItem(DirizaTypeList::RowText(r));
        item->setEditable(false);
        item->setData(r.Type, NSDirizaTypeListCell::TypeRole);
        item->setData(r.isTypeHead, NSDirizaTypeListCell::HeadRole);
        item->setData(r.ticked, NSDirizaTypeListCell::TickRole);
        item->setData(r.TypeIcon, NSDirizaTypeListCell::IconRole);
        listModel.appendRow(item);
    }
    DeviceNameButton_->setChecked(typeList.DeviceTicked());
    FitTypeList();
}

void NSDirizaView::FitTypeList() {
    QStyleOptionViewItem option;
    option.initFrom(DirizaTypeList_);
    option.font = DirizaTypeList_->font();
    option.fontMetrics = QFontMetrics(option.font);
    int widest = DeviceNameButton_->sizeHint().width();
    for (int i = 0; i < listModel.rowCount(); ++i)
        widest = std::max(widest, cell->sizeHint(option, listModel.index(i, 0)).width() +
                                      2 * DirizaTypeList_->frameWidth() +
                                      DirizaTypeList_->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    leftPane->setFixedWidth(std::max(240, widest));
}

void NSDirizaView::SyncTicks() {
    const auto& rows = typeList.Rows();
    for (int i = 0; i < listModel.rowCount() && i < int(rows.size()); ++i) {
        QStandardItem* item = listModel.item(i);
        if (item->data(NSDirizaTypeListCell::TickRole).toBool() != rows[i].ticked)
            item->setData(rows[i].ticked, NSDirizaTypeListCell::TickRole);
        const QString text = DirizaTypeList::RowText(rows[i]);
        if (item->text() != text) item->setText(text);
    }
    DeviceNameButton_->setChecked(typeList.DeviceTicked());
    FitTypeList();
}

void NSDirizaView::ApplySelection(const DirizaTypeList::ViewSelection& selection) {
    for (int type : selection.types) {
        DirizaResultView* v = ResultView(type);
        if (!v) continue;
        if (selection.select)
            v->AllSelect();
        else
            v->ClearSelect();
    }
}

void NSDirizaView::TickRow(int type, bool on) {
    if (isSaving()) return;
    ApplySelection(typeList.TickRow(type, on));
    SyncTicks();
}

void NSDirizaView::AllSelectDeviceNameEvent(bool on) {
    if (isSaving()) return;
    ApplySelection(typeList.TickDevice(on));
    SyncTicks();
}

void NSDirizaView::ViewisAllSelect(int type, bool isSelect) {
    typeList.ViewisAllSelect(type, isSelect);
    SyncTicks();
}

void NSDirizaView::SelectTypeListEvent(int row) {
    // Row 0 is always a head; -1 is no selection.
    if (row < 1 || row >= int(typeList.Rows().size())) return;
    SwitchThumbnailPreviewView(typeList.Rows()[row].Type);
}

void NSDirizaView::SelectRowEvent(int row) {
    SelectTypeListEvent(row);
}

void NSDirizaView::SwitchThumbnailPreviewView(int type) {
    if (type < 0 || type >= TabCount || type == eThumbnailPreviewType) return;
    ViewFileTypeTab->setCurrentIndex(type);
    eThumbnailPreviewType = type;
    SetShowDeleteFile(type);
}

void NSDirizaView::SetShowDeleteFile(int type) {
    DirizaResultView* v = ResultView(type);
    if (!pZZProgressView->isHidden()) {
        SelectShowDelete_->hide();
        SearchKey_->hide();
    } else if (v && DirizaResultView::HasShowDeletePair(type)) {
        SelectShowDelete_->show();
        SelectShowDelete_->setChecked(v->GetShowDeleteFile());
        SearchKey_->show();
        SearchKey_->setText(v->GetSearchKey());
    } else if (v) {
        SelectShowDelete_->hide();
        SearchKey_->show();
        SearchKey_->setText(v->GetSearchKey());
    } else {
        SelectShowDelete_->hide();
        SearchKey_->hide();
        SearchKey_->clear();
    }
}

void NSDirizaView::SelectShowDeleteEvent() {
    if (!DirizaResultView::HasShowDeletePair(eThumbnailPreviewType)) return;
    if (DirizaResultView* v = ResultView(eThumbnailPreviewType))
        v->SetShowDeleteFile(SelectShowDelete_->isChecked());
}

void NSDirizaView::SearchKeyEvent() {
    if (DirizaResultView* v = ResultView(eThumbnailPreviewType))
        v->SearchKey(SearchKey_->text());
    else
        SearchKey_->clear();
}

// ---- Language and appearance ----

void NSDirizaView::setLanguage(int language) {
    SelectShowDelete_->setText(LanguageText("SelectShowDeleteBt"));
    SearchKey_->setPlaceholderText(LanguageText("SearchKeyField"));
    DirizaAllButton_->setText(LanguageText("DirizaAllBt"));
    BackHomeButton_->setText(LanguageText("BackHomeBt"));
    SaveFileInfoWindow_->setWindowTitle(LanguageText("DirizaAllBt"));
    StopSaveFileButton_->setText(LanguageText("Stop"));
    ApplyAppearance();
    // Names looked up again; ticks and counts stay with the rows.
    typeList.Relabel();
    SyncTicks();
    if (pNSDirizaNull) pNSDirizaNull->setLanguage(language);
    for (int type : {5, 6, 7, 8, 9, 10, 11, 0, 1, 4, 2, 3, 12, 13, 14})
        if (DirizaResultView* v = ResultView(type)) v->setLanguage(language);
    RenewProgressText();
}

void NSDirizaView::RenewProgressText() {
    const bool scanning = manager.isScan(), running = manager.isScanStop();
    if (scanning && running) return;
    if (scanning)
        pZZProgressView->ShowTitle(LanguageText("StopRecover"));
    else if (running)
        pZZProgressView->setProgress(ReadProgress().value, LanguageText("ScanComplete"));
    else
        pZZProgressView->ShowTitle(LanguageText("ScanStop"));
}

void NSDirizaView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange && leftPane) FitTypeList();
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
        const bool nowDark = IAppearance::Dark(this);
        if (nowDark != dark) {
            dark = nowDark;
            ApplyAppearance();
        }
    }
}

void NSDirizaView::ApplyAppearance() {
    dark = IAppearance::Dark(this);
    auto themed = [this](const char* name) { return AppImage::Themed(QString::fromLatin1(name), dark); };
    StartScanBt_->setIcon(AppImage::Icon(themed("start_1_bt"), themed("start_2_bt")));
    PauseScanBt_->setIcon(AppImage::Icon(themed("pause_1_bt"), themed("pause_2_bt")));
    StopScanBt_->setIcon(AppImage::Icon(themed("stop_1_bt"), themed("stop_2_bt")));
    const QColor saveText = dark ? QColor(Qt::black) : QColor(Qt::white);
    const QColor homeText = dark ? QColor(Qt::lightGray) : QColor(1, 156, 255);
    DirizaAllButton_->setStyleSheet(
        ImageStyle(themed("AllDiriza_bt_nor"), themed("AllDiriza_bt_hot"), saveText));
    BackHomeButton_->setStyleSheet(
        ImageStyle(themed("BackHome_bt_nor"), themed("BackHome_bt_hot"), homeText, kHomeImageLead));
    ButtonTextColor::setTextColor(DirizaAllButton_, saveText);
    ButtonTextColor::setTextColor(BackHomeButton_, homeText);
    NavigationBackground->setPixmap(AppImage::Pixmap(themed("bottom_background"), QSize(1000, 52)));
    QPalette p = DirizaTypeList_->palette();
    p.setColor(QPalette::Base, dark ? QColor(33, 34, 35) : QColor(236, 236, 236));
    p.setColor(QPalette::Window, p.color(QPalette::Base));
    DirizaTypeList_->setPalette(p);
}

// ---- Scan ----

void NSDirizaView::StartScan(const std::shared_ptr<DeviceInfo>& device, const QStringList& selection) {
    stopSave = true;
    scanEnded = false;
    userStopped = false;
    scanPaused = false;
    scanLosses.clear();
    UpdateButtonsForSave();

    pDeviceInfo = device;
    if (device) {
        pNSDirizaNull->SetDeviceInfo(device->getDeviceName(), device->getProductType(),
                                     device->getSysVersion(), device->getSerialNumber());
        DeviceNameButton_->setText(device->getDeviceName());
    }
    DeviceNameButton_->setChecked(false);

    // The progress of the scan about to start: reset before it can report.
    {
        std::lock_guard<std::mutex> lock(progressMutex);
        progress = Progress{0, 100, LanguageText("ScanLoading")};
    }
    for (DirizaResultView* v : views)
        v->StartUpdateUI();
    dropDeliveries = false;
    if (device) manager.StartScan(device, selection);

    LoadDirizaTypeList(selection);
    StartScanBt_->hide();
    PauseScanBt_->show();
    StopScanBt_->show();
    if (!TimerUpdataSearchProgress->isActive()) TimerUpdataSearchProgress->start();

    pZZProgressView->show();
    SelectShowDelete_->hide();
    SearchKey_->hide();
    pZZProgressView->InitProgressTitle();
    pZZProgressView->setTotatProgress(100);
    pZZProgressView->setProgress(0, LanguageText("ScanLoading"));
}

template <typename... Args> void NSDirizaView::Forward(int type, const Args&... args) {
    // Results of a scan the page no longer shows (after Back home) are dropped.
    std::lock_guard<std::mutex> lock(deliveryMutex);
    if (dropDeliveries.load()) return;
    if (DirizaResultView* v = ResultView(type)) v->AddDirizaFile(args...);
}

void NSDirizaView::ScanPhoto(const QList<NSDeletedFile>& photos) {
    Forward(DirizaResultView::Photo, photos);
}
void NSDirizaView::ScanVideo(const QList<NSDeletedFile>& videos) {
    Forward(DirizaResultView::Video, videos);
}
void NSDirizaView::ScanSMSAttachment(const QList<NSDeletedFile>& photos, const QList<NSDeletedFile>& media) {
    Forward(DirizaResultView::SMSAttachment, photos, media);
}
void NSDirizaView::ScanMemoAttachment(const QList<NSDeletedFile>& photos, const QList<NSDeletedFile>& media) {
    Forward(DirizaResultView::MemoAttachment, photos, media);
}
void NSDirizaView::ScanMusic(const QList<NSDeletedFile>& voiceMemos) {
    Forward(DirizaResultView::VoiceMemo, voiceMemos);
}
void NSDirizaView::ScanSMS(const QMap<QString, NSSMSHeadData>& conversations) {
    Forward(DirizaResultView::SMS, conversations);
}
void NSDirizaView::ScanCallLog(const QList<NSCallLogData>& calls) {
    Forward(DirizaResultView::CallLog, calls);
}
void NSDirizaView::ScanContact(const QList<NSContactData>& contacts) {
    Forward(DirizaResultView::Contact, contacts);
}
void NSDirizaView::ScanBookmarks(const QList<NSBookmarksData>& bookmarks) {
    Forward(DirizaResultView::Bookmarks, bookmarks);
}
void NSDirizaView::ScanReminders(const QList<NSMemoData>& reminders) {
    Forward(DirizaResultView::Reminders, reminders);
}
void NSDirizaView::ScanMemo(const QList<NSRemindersData>& notes) {
    Forward(DirizaResultView::Notes, notes);
}
void NSDirizaView::ScanCalendar(const QList<NSCalendarData>& events) {
    Forward(DirizaResultView::Calendar, events);
}
void NSDirizaView::ScanWXAddressBook(const QList<NSWXChatAccount>* accounts) {
    Forward(DirizaResultView::WXAddressBook, accounts);
}
void NSDirizaView::ScanWXChat(const QMap<QString, NSWXChatRecordData>& accounts) {
    Forward(DirizaResultView::WXChat, accounts);
}
void NSDirizaView::ScanWXAttachment(const QList<NSDeletedFile>& photos, const QList<NSDeletedFile>& media) {
    Forward(DirizaResultView::WXAttachment, photos, media);
}

void NSDirizaView::Scanning(int value, int nTotalProgress, const QString& ScanText) {
    if (dropDeliveries.load()) return;
    std::lock_guard<std::mutex> lock(progressMutex);
    progress = Progress{value, nTotalProgress, ScanText};
}

NSDirizaView::Progress NSDirizaView::ReadProgress() const {
    std::lock_guard<std::mutex> lock(progressMutex);
    return progress;
}

void NSDirizaView::ScanLosses(const std::vector<ScanLoss>& losses) {
    MainQueue::Post(this, [this, losses] {
        if (!dropDeliveries.load()) scanLosses = losses;
    });
}

void NSDirizaView::ScanEnd() {
    if (pNSDirizaNull) pNSDirizaNull->ScanEndText(userStopped.load());
    MainQueue::Post(this, [this] { EndScanUi(); });
}

void NSDirizaView::EndScanUi() {
    scanEnded = true;
    scanPaused = false;
    UpdateButtonsForSave();
    StartScanBt_->hide();
    PauseScanBt_->hide();
    StopScanBt_->hide();
    pZZProgressView->hide();
    TimerUpdataSearchProgress->stop();
    pZZProgressView->HiddenRogress();
    // The switch and the search field of the shown view come back with the bar gone.
    SetShowDeleteFile(eThumbnailPreviewType);
    // Once per scan: what could not be read, so that no damage goes unsaid.
    if (!scanLosses.empty()) {
        IAlertPresenter::Alert alert;
        alert.informativeText = ScanLossNotice::Text(scanLosses);
        alert.buttons = {LanguageText("ok")};
        scanLosses.clear();
        IAlertPresenter::Current().BeginSheet(window(), alert, [](int) {});
    }
}

void NSDirizaView::UpdataSearchProgress() {
    const bool scanning = manager.isScan(), running = manager.isScanStop();
    const Progress p = ReadProgress();
    if (scanning == running) {
        if (!scanning) {
            pZZProgressView->ShowTitle(LanguageText("ScanStop"));
            return;
        }
    } else if (scanning) {
        // Stopped: the bar stays empty while the scan winds down.
        pZZProgressView->ShowTitle(LanguageText("StopRecover"));
        return;
    }
    // A paused scan says so, its bar resting where the scan stopped.
    const QString text = !scanning    ? LanguageText("ScanComplete")
                         : scanPaused ? LanguageText("ScanPaused")
                                      : p.text;
    if (p.maximum > 0) {
        pZZProgressView->setTotatProgress(p.maximum);
        pZZProgressView->setProgress(p.value, text);
    } else {
        // A step that counts without a total (chats): its text, the bar as it was.
        pZZProgressView->ShowText(text);
    }
}

void NSDirizaView::UpdateDirizaFileNum(int type, qint64 num) {
    if (type == eThumbnailPreviewType) SetShowDeleteFile(type);
    const int n = int(std::clamp<qint64>(num, 0, std::numeric_limits<int>::max()));
    // After a stop the types whose parser never ran still hand over their empty lists:
    // they keep showing no count rather than a "(0)" nothing was looked for.
    if (n == 0 && userStopped.load()) {
        const auto& known = typeList.Rows();
        const bool counted = std::any_of(known.begin(), known.end(), [type](const auto& r) {
            return !r.isTypeHead && r.Type == type && r.nNum >= 0;
        });
        if (!counted) return;
    }
    if (!typeList.SetCount(type, n)) return;
    // The view has just shown new data with nothing ticked; a row ticked before (the
    // device box or a head during the scan) still asks for every record of its type.
    const auto& rows = typeList.Rows();
    const bool ticked = std::any_of(rows.begin(), rows.end(), [type](const auto& r) {
        return !r.isTypeHead && r.Type == type && r.ticked;
    });
    if (ticked && !isSaving())
        if (DirizaResultView* v = ResultView(type)) v->AllSelect();
    SyncTicks();
}

void NSDirizaView::PauseScanBtEvent() {
    StartScanBt_->show();
    PauseScanBt_->hide();
    manager.SetPauseScan(false);
    SetScanPaused(true);
}

void NSDirizaView::StartScanBtEvent() {
    StartScanBt_->hide();
    PauseScanBt_->show();
    StopScanBt_->show();
    manager.SetPauseScan(true);
    SetScanPaused(false);
}

void NSDirizaView::SetScanPaused(bool paused) {
    scanPaused = paused;
    if (pNSDirizaNull) pNSDirizaNull->SetPaused(paused);
    if (TimerUpdataSearchProgress->isActive()) UpdataSearchProgress();
}

void NSDirizaView::StopScanBtEvent() {
    userStopped = true;
    SetScanPaused(false);
    StartScanBt_->hide();
    PauseScanBt_->hide();
    StopScanBt_->hide();
    manager.StopScan();
    const int maximum = ReadProgress().maximum;
    if (maximum > 0) pZZProgressView->setTotatProgress(maximum);
    pZZProgressView->setProgress(0, QString());
}

void NSDirizaView::BackHome() {
    if (isSaving()) return; // the button rests until the save thread has ended
    IAlertPresenter::Alert alert;
    alert.informativeText = LanguageText("SureGoHome");
    alert.buttons = {LanguageText("ok"), LanguageText("cancel")};
    if (IAlertPresenter::Current().RunModal(this, alert) != IAlertPresenter::FirstButton) return;
    manager.StopScan();
    CloseSaveFileInfoWindow();
    ClearData();
    if (delegate) delegate->BackHomeEvent();
}

void NSDirizaView::ClearData() {
    {
        std::lock_guard<std::mutex> lock(deliveryMutex);
        dropDeliveries = true;
    }
    stopSave = true;
    scanEnded = true;
    typeList.Clear();
    ReloadList();
    for (DirizaResultView* v : views)
        v->ClearData();
    UpdateButtonsForSave();
}

void NSDirizaView::StopAndWait() {
    stopSave = true;
    SaveFileInfoWindow_->hide();
    if (manager.isScan()) manager.StopScan();
    JoinSaveThread();
    manager.WaitForTasks();
    UpdateButtonsForSave();
}

// ---- Save ----

void NSDirizaView::RecroyAllDataEvent() {
    if (isSaving()) return;
    const bool any =
        std::any_of(views.begin(), views.end(), [](DirizaResultView* v) { return v->isSelectData(); });
    if (!any) {
        IAlertPresenter::Alert alert;
        alert.informativeText = LanguageText("NoSelectFile");
        alert.buttons = {LanguageText("ok")};
        IAlertPresenter::Current().BeginSheet(window(), alert, [](int) {});
        return;
    }
    IFilePicker::Request request;
    request.title = LanguageText("Save");
    request.chooseFiles = false;
    request.chooseFolders = true;
    const QStringList chosen = IFilePicker::Current().Choose(this, request);
    if (chosen.isEmpty()) return;
    SaveRecoveryFile(chosen.first());
}

bool NSDirizaView::SaveRecoveryFile(const QString& folder) {
    if (isSaving()) return false;
    // Only an existing folder we can write to, and never one the save reads from.
    const QStringList sources = {manager.getBackUpPath(), Paths::BackupsFolder(),
                                 manager.getSaveBackUpPath()};
    if (SaveDestination::Check(folder, sources, writableProbe) != SaveDestination::Verdict::Ok) {
        IAlertPresenter::Alert alert;
        alert.informativeText = LanguageText("DirizaSaveDestinationBad");
        alert.buttons = {LanguageText("ok")};
        IAlertPresenter::Current().BeginSheet(window(), alert, [](int) {});
        return false;
    }

    stopSave = false;
    StopSaveFileButton_->setText(LanguageText("Stop"));
    ButtonTextColor::setTextColor(StopSaveFileButton_, Qt::black);
    StopSaveFileButton_->setEnabled(true);

    int selectedViews = 0;
    for (DirizaResultView* v : views)
        if (v->isSelectData()) ++selectedViews;
    nProgressAllNum = 100;
    nProgressNum = 0;
    SaveFileProgress_->setRange(0, 100);
    SaveFileProgress_->setValue(0);
    RecoveringAll = LanguageText("StartDiriza");
    SaveFileNameText_->setText(RecoveringAll);
    FileNumShow_->setText(
        SafeFormat(LanguageText("InRecovering"), {QStringLiteral("0"), QString::number(selectedViews)}));

    // The thread works on what the list holds now, and the views rest while it writes.
    saveRows.clear();
    for (const NSSelectDirizaTypeListData& r : typeList.Rows())
        saveRows.push_back({r.Type, r.isTypeHead, r.TypeName});
    ViewFileTypeTab->setEnabled(false);
    leftPane->setEnabled(false);
    topBar->setEnabled(false);
    cell->setTickable(false);

    saveThread = std::thread(&NSDirizaView::SaveLoop, this, folder, saveRows, selectedViews);
    UpdateButtonsForSave();
    SaveFileInfoWindow_->show();
    SaveFileInfoWindow_->raise();
    return true;
}

void NSDirizaView::SaveLoop(QString folder, std::vector<SaveRow> rows, int selectedViews) {
    int done = 0;
    DirizaSaveResult result;
    for (int i = 0; i < int(rows.size()); ++i) {
        const SaveRow& row = rows[size_t(i)];
        if (!row.head) {
            if (DirizaResultView* v = ResultView(row.type)) {
                // The name line names the type being written, before its first item.
                if (v->isSelectData()) MainQueue::Post(this, [this, i] { RowStarted(i); });
                result += v->DirizaData(folder);
                if (v->isSelectData()) ++done;
            }
        }
        if (stopSave.load()) {
            MainQueue::Post(this, [this, result, folder] { SaveThreadEnded(false, result, folder); });
            return;
        }
        MainQueue::Post(this, [this, done, selectedViews] { RowSaved(done, selectedViews); });
    }
    MainQueue::Post(this, [this, result, folder] { SaveThreadEnded(true, result, folder); });
}

void NSDirizaView::SaveDataProgress(int total, int current) {
    nProgressAllNum = total;
    nProgressNum = current;
    // One pending panel update at a time: the latest values win.
    if (!progressPosted.exchange(true)) MainQueue::Post(this, [this] { ShowSaveProgress(); });
}

void NSDirizaView::ShowSaveProgress() {
    progressPosted = false;
    const int total = std::max(0, nProgressAllNum.load());
    const int current = std::clamp(nProgressNum.load(), 0, total);
    if (SaveFileProgress_->maximum() != total) SaveFileProgress_->setMaximum(total);
    if (SaveFileProgress_->minimum() != 0) SaveFileProgress_->setMinimum(0);
    if (SaveFileProgress_->value() != current) SaveFileProgress_->setValue(current);
}

void NSDirizaView::RowStarted(int row) {
    if (stopSave.load() || !isSaving()) return;
    if (row < 0 || row >= int(saveRows.size())) return;
    RecoveringAll = SafeFormat(LanguageText("DirizaNum"), {saveRows[size_t(row)].name});
    SaveFileNameText_->setText(SafeFormat(LanguageText("Dirizaing"), {RecoveringAll}));
}

void NSDirizaView::RowSaved(int done, int all) {
    if (stopSave.load() || !isSaving()) return;
    FileNumShow_->setText(
        SafeFormat(LanguageText("InRecovering"), {QString::number(done), QString::number(all)}));
}

void NSDirizaView::SaveThreadEnded(bool completed, DirizaSaveResult result, QString folder) {
    if (!isSaving()) return; // already joined (quit)
    JoinSaveThread();
    if (completed) {
        CloseSaveFileInfoWindow();
        QString text = SafeFormat(LanguageText("DirizaSavePath"), {folder});
        if (result.failed > 0)
            text += QStringLiteral("\n") +
                    SafeFormat(LanguageText("DirizaSaveFailed"), {QString::number(result.failed)});
        // Files the device never backed up are no failure of the save: said apart.
        if (result.missing > 0)
            text += QStringLiteral("\n") +
                    SafeFormat(LanguageText("DirizaSaveNotInBackup"), {QString::number(result.missing)});
        IAlertPresenter::Alert alert;
        alert.informativeText = text;
        alert.buttons = {LanguageText("open"), LanguageText("cancel")};
        QPointer<QWidget> sheetParent(window());
        IAlertPresenter::Current().BeginSheet(window(), alert, [folder, sheetParent](int response) {
            if (response != IAlertPresenter::FirstButton || IOpener::Current().OpenPath(folder)) return;
            // No program on this desktop opens folders: say where the files are.
            IAlertPresenter::Alert where;
            where.informativeText =
                SafeFormat(LanguageText("SavedFilesFolderTitle"), {QDir::toNativeSeparators(folder)});
            where.buttons = {LanguageText("ok")};
            IAlertPresenter::Current().BeginSheet(sheetParent.data(), where, [](int) {});
        });
    }
}

void NSDirizaView::JoinSaveThread() {
    if (saveThread.joinable()) saveThread.join();
    ViewFileTypeTab->setEnabled(true);
    leftPane->setEnabled(true);
    topBar->setEnabled(true);
    cell->setTickable(true);
    UpdateButtonsForSave();
}

void NSDirizaView::CloseSaveFileInfoWindow() {
    SaveFileInfoWindow_->hide();
    StopSaveFileButton_->setEnabled(false);
    stopSave = true;
    UpdateButtonsForSave();
}

void NSDirizaView::UpdateButtonsForSave() {
    // While the save thread runs (also after a stop, until it has ended) neither a
    // second save nor the way home is offered.
    const bool saving = isSaving();
    DirizaAllButton_->setEnabled(!saving && scanEnded);
    BackHomeButton_->setEnabled(!saving);
}
