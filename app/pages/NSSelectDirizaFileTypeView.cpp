#include "app/pages/NSSelectDirizaFileTypeView.h"

#include "gui/ButtonTextColor.h"
#include "gui/NSLanguageText.h"
#include "app/pages/AppImage.h"
#include "app/recovery/DirizaTypeList.h"
#include "platform/AppearanceWatcher.h"
#include "platform/IAlertPresenter.h"
#include "platform/IAppearance.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr int kFirstWeChat = 12, kLastWeChat = 14, kFirstWhatsApp = 15;

bool SimplifiedChinese() {
    return NSLanguageText::shareInstance()->Language() == NSLanguageText::SimplifiedChinese;
}

// One group: a title strip over a box of check boxes.
QWidget* MakeGroup(QWidget* parent, QLabel* title, const QList<QCheckBox*>& boxes, int columns,
                   QList<QFrame*>& titles, QList<QFrame*>& contents, QWidget** titleView = nullptr,
                   QWidget** contentView = nullptr) {
    auto* group = new QWidget(parent);
    auto* column = new QVBoxLayout(group);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* head = new QFrame(group);
    head->setObjectName(QStringLiteral("groupTitle"));
    auto* headLayout = new QHBoxLayout(head);
    headLayout->setContentsMargins(12, 6, 12, 6);
    headLayout->addWidget(title);
    auto* body = new QFrame(group);
    body->setObjectName(QStringLiteral("groupContent"));
    auto* grid = new QGridLayout(body);
    grid->setContentsMargins(16, 10, 16, 10);
    grid->setHorizontalSpacing(18);
    for (qsizetype i = 0; i < boxes.size(); ++i)
        grid->addWidget(boxes[i], int(i / columns), int(i % columns));
    for (int c = 0; c < columns; ++c)
        grid->setColumnStretch(c, 1);
    column->addWidget(head);
    column->addWidget(body);
    titles << head;
    contents << body;
    if (titleView) *titleView = head;
    if (contentView) *contentView = body;
    return group;
}

} // namespace

NSSelectDirizaFileTypeView::NSSelectDirizaFileTypeView(IDeviceManage& manager, QWidget* parent)
    : QWidget(parent), manager(manager) {
    for (int i = 0; i < TypeCount; ++i) {
        SelectFileTypeData << QStringLiteral("0");
        boxes[size_t(i)] = new QCheckBox(this);
        connect(boxes[size_t(i)], &QCheckBox::clicked, this, [this, i](bool on) { TypeEvent(i, on); });
    }
    AllSelect = new QCheckBox(this);
    AllSelect2 = new QCheckBox(this);
    connect(AllSelect, &QCheckBox::clicked, this, [this] { AllSelectEvent(AllSelect); });
    connect(AllSelect2, &QCheckBox::clicked, this, [this] { AllSelectEvent(AllSelect2); });
    DeviceNameText = new QLabel(this);
    SelectDirizaText = new QLabel(this);
    CommonText = new QLabel(this);
    PhotoVideoText = new QLabel(this);
    AppText = new QLabel(this);
    StartDirizaButton = new QPushButton(this);
    BackButton = new QPushButton(this);
    BackButton->setFlat(true);
    BackButton->setIconSize(QSize(28, 28));
    BackButton->setFixedSize(36, 36);
    StartDirizaButton->setMinimumSize(160, 40);
    StartDirizaButton->setFlat(true);
    StartDirizaButton->setIconSize(QSize(160, 40));
    QFont nameFont = DeviceNameText->font();
    nameFont.setPointSize(nameFont.pointSize() + 4);
    nameFont.setBold(true);
    DeviceNameText->setFont(nameFont);
    connect(StartDirizaButton, &QPushButton::clicked, this,
            &NSSelectDirizaFileTypeView::StartDirizaButtonEvent);
    connect(BackButton, &QPushButton::clicked, this, &NSSelectDirizaFileTypeView::BackButtonEvent);

    panes = new QStackedWidget(this);
    SelectFileTypeView = new QWidget(panes);
    auto* choose = new QVBoxLayout(SelectFileTypeView);
    auto* head = new QHBoxLayout;
    head->addWidget(BackButton);
    head->addWidget(DeviceNameText, 1);
    choose->addLayout(head);
    auto* prompt = new QHBoxLayout;
    prompt->addWidget(SelectDirizaText, 1);
    prompt->addWidget(AllSelect);
    prompt->addWidget(AllSelect2);
    choose->addLayout(prompt);
    choose->addWidget(MakeGroup(SelectFileTypeView, CommonText,
                                {boxes[5], boxes[6], boxes[7], boxes[8], boxes[9], boxes[10], boxes[11]}, 4,
                                titleFrames, contentFrames));
    choose->addSpacing(8);
    choose->addWidget(MakeGroup(SelectFileTypeView, PhotoVideoText,
                                {boxes[0], boxes[1], boxes[2], boxes[3], boxes[4]}, 4, titleFrames,
                                contentFrames));
    choose->addSpacing(8);
    choose->addWidget(MakeGroup(SelectFileTypeView, AppText,
                                {boxes[12], boxes[13], boxes[14], boxes[15], boxes[16]}, 4, titleFrames,
                                contentFrames, &AppTitleView, &AppView));
    choose->addStretch();
    choose->addWidget(StartDirizaButton, 0, Qt::AlignHCenter);

    LoadingView = new QWidget(panes);
    auto* loading = new QVBoxLayout(LoadingView);
    LoadingAnimation = new QProgressBar(LoadingView);
    LoadingAnimation->setRange(0, 1);
    LoadingAnimation->setTextVisible(false);
    LoadingAnimation->setMaximumWidth(260);
    LoadingText = new QLabel(LoadingView);
    LoadingText->setAlignment(Qt::AlignCenter);
    loading->addStretch();
    loading->addWidget(LoadingAnimation, 0, Qt::AlignHCenter);
    loading->addWidget(LoadingText);
    loading->addStretch();
    panes->addWidget(SelectFileTypeView);
    panes->addWidget(LoadingView);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(panes);

    BackButton->hide();
    new AppearanceWatcher(this, [this](bool dark) { Reapply(dark); });
    setLanguage(NSLanguageText::shareInstance()->Language());
}

bool NSSelectDirizaFileTypeView::isWaiting() const {
    return panes->currentWidget() == LoadingView;
}

void NSSelectDirizaFileTypeView::ShowWeChat(bool shown) {
    for (int i = kFirstWeChat; i <= kLastWeChat; ++i)
        boxes[size_t(i)]->setVisible(shown);
    AppTitleView->setVisible(shown);
    AppView->setVisible(shown);
    AllSelect->setVisible(shown);
    AllSelect2->setVisible(!shown);
}

void NSSelectDirizaFileTypeView::SetDeviceInfo(const QString& name) {
    DeviceNameText->setText(name);
    for (int i = 0; i < TypeCount; ++i) {
        SelectFileTypeData[i] = QStringLiteral("1");
        boxes[size_t(i)]->setChecked(true);
    }
    AllSelect->setChecked(true);
    const bool chinese = SimplifiedChinese();
    ShowWeChat(chinese);
    if (!chinese)
        for (int i = kFirstWeChat; i <= kLastWeChat; ++i)
            SelectFileTypeData[i] = QStringLiteral("0");
    for (int i = kFirstWhatsApp; i < TypeCount; ++i) {
        SelectFileTypeData[i] = QStringLiteral("0");
        boxes[size_t(i)]->hide();
    }
    panes->setCurrentWidget(SelectFileTypeView);
    LoadingAnimation->setRange(0, 1);
    BackButton->hide();
    CheckAllSelect();
}

void NSSelectDirizaFileTypeView::SetBackButtonVisible(bool visible) {
    BackButton->setVisible(visible);
}

void NSSelectDirizaFileTypeView::setLanguage(int) {
    SelectDirizaText->setText(LanguageText("SelectDirizaText"));
    CommonText->setText(LanguageText("DataTypeGroup1"));
    PhotoVideoText->setText(LanguageText("DataTypeGroup2"));
    AppText->setText(LanguageText("DataTypeGroup3"));
    AllSelect->setText(LanguageText("AllSelectBt"));
    AllSelect2->setText(LanguageText("AllSelectBt"));
    for (int i = 0; i < TypeCount; ++i)
        boxes[size_t(i)]->setText(DirizaTypeList::NameOf(i));
    StartDirizaButton->setText(LanguageText("StartDirizaBt"));
    LoadingText->setText(LanguageText("LoadingText"));
    const bool chinese = SimplifiedChinese();
    ShowWeChat(chinese);
    for (int i = kFirstWeChat; i <= kLastWeChat; ++i) {
        // Switching to Simplified Chinese offers WeChat again, ticked.
        SelectFileTypeData[i] = chinese ? QStringLiteral("1") : QStringLiteral("0");
        if (chinese) boxes[size_t(i)]->setChecked(true);
    }
    for (int i = kFirstWhatsApp; i < TypeCount; ++i)
        boxes[size_t(i)]->hide();
    panes->setCurrentWidget(SelectFileTypeView);
    CheckAllSelect();
    Reapply(IAppearance::Dark(this));
}

void NSSelectDirizaFileTypeView::TypeEvent(int type, bool on) {
    if (type >= kFirstWhatsApp) return;
    SelectFileTypeData[type] = on ? QStringLiteral("1") : QStringLiteral("0");
    CheckAllSelect();
}

void NSSelectDirizaFileTypeView::AllSelectEvent(QCheckBox* sender) {
    const bool on = sender->isChecked();
    AllSelect->setChecked(on);
    AllSelect2->setChecked(on);
    for (int i = 0; i < TypeCount; ++i)
        SelectFileTypeData[i] = on ? QStringLiteral("1") : QStringLiteral("0");
    if (!SimplifiedChinese())
        for (int i = kFirstWeChat; i <= kLastWeChat; ++i)
            SelectFileTypeData[i] = QStringLiteral("0");
    for (int i = kFirstWhatsApp; i < TypeCount; ++i)
        SelectFileTypeData[i] = QStringLiteral("0");
    for (int i = 0; i < TypeCount; ++i)
        boxes[size_t(i)]->setChecked(on);
}

void NSSelectDirizaFileTypeView::CheckAllSelect() {
    const int counted = SimplifiedChinese() ? kFirstWhatsApp : kFirstWeChat;
    bool all = true;
    for (int i = 0; i < counted; ++i)
        if (SelectFileTypeData[i] != QStringLiteral("1")) all = false;
    AllSelect->setChecked(all);
    AllSelect2->setChecked(all);
}

void NSSelectDirizaFileTypeView::ShowAlert(const QString& text) {
    IAlertPresenter::Alert alert;
    alert.informativeText = text;
    alert.buttons = {LanguageText("ok")};
    IAlertPresenter::Current().BeginSheet(window(), alert, [](int) {});
}

void NSSelectDirizaFileTypeView::StartDirizaButtonEvent() {
    if (manager.isScan()) {
        ShowAlert(LanguageText("StopRecover"));
        return;
    }
    if (!SelectFileTypeData.contains(QStringLiteral("1"))) {
        ShowAlert(LanguageText("NoSelectType"));
        return;
    }
    if (!delegate) return;
    // The receiver gets the selection as it stands now: a copy, which later changes on
    // this page (a language switch, a new device) cannot alter while it is in use.
    const QStringList selection(SelectFileTypeData.cbegin(), SelectFileTypeData.cend());
    delegate->BackUpStartEvent(selection);
    panes->setCurrentWidget(LoadingView);
    LoadingAnimation->setRange(0, 0);
}

void NSSelectDirizaFileTypeView::BackButtonEvent() {
    if (delegate) delegate->BackBtEvent();
}

void NSSelectDirizaFileTypeView::Reapply(bool dark) {
    BackButton->setIcon(AppImage::Icon(AppImage::Themed(QStringLiteral("Select_Back_nor"), dark),
                                       AppImage::Themed(QStringLiteral("Select_Back_hot"), dark)));
    StartDirizaButton->setIcon(QIcon());
    StartDirizaButton->setStyleSheet(
        QStringLiteral("QPushButton { border: none; border-image: url(%1); padding: 8px 28px; }"
                       "QPushButton:hover { border-image: url(%2); }")
            .arg(AppImage::Path(AppImage::Themed(QStringLiteral("AllDiriza_bt_nor"), dark)),
                 AppImage::Path(AppImage::Themed(QStringLiteral("AllDiriza_bt_hot"), dark))));
    ButtonTextColor::setTextColor(StartDirizaButton, dark ? Qt::black : Qt::white);
    const QString titleBg = dark ? QStringLiteral("rgb(67,69,71)") : QStringLiteral("white");
    const QString contentBg = dark ? QStringLiteral("rgb(33,34,35)") : QStringLiteral("rgb(236,236,236)");
    const QString border = dark ? QStringLiteral("white") : QStringLiteral("lightgray");
    for (QFrame* f : titleFrames)
        f->setStyleSheet(QStringLiteral("QFrame#groupTitle { background: %1; }").arg(titleBg));
    for (QFrame* f : contentFrames)
        f->setStyleSheet(QStringLiteral("QFrame#groupContent { background: %1; border: 1px solid %2; }")
                             .arg(contentBg, border));
}
