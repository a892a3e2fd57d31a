#include "app/pages/NSiTunesView.h"

#include "gui/BackupText.h"
#include "gui/ButtonTextColor.h"
#include "gui/NSLanguageText.h"
#include "app/pages/AppImage.h"
#include "app/pages/BackupListReader.h"
#include "app/pages/SelectButtonDelegate.h"
#include "platform/AppearanceWatcher.h"
#include "platform/IAlertPresenter.h"
#include "platform/IAppearance.h"
#include "platform/IFilePicker.h"
#include "platform/Paths.h"

#include <QDebug>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>

NSiTunesView::NSiTunesView(IDeviceManage& manager, QWidget* parent)
    : QWidget(parent), model(this), TabView(new QStackedWidget(this)), iTunesTable(new QTableView(this)),
      PreviewBt(new QPushButton(this)), InstructionsTitle(new QLabel(this)),
      Instructions2Title(new QLabel(this)), Instructions3Title(new QLabel(this)),
      pNSSelectDirizaFileTypeView(new NSSelectDirizaFileTypeView(manager, this)) {
    auto* listPane = new QWidget(TabView);
    auto* column = new QVBoxLayout(listPane);
    QFont titleFont = InstructionsTitle->font();
    titleFont.setPointSize(titleFont.pointSize() + 3);
    titleFont.setBold(true);
    InstructionsTitle->setFont(titleFont);
    for (QLabel* l : {InstructionsTitle, Instructions2Title, Instructions3Title}) {
        l->setWordWrap(true);
        column->addWidget(l);
    }
    iTunesTable->setModel(&model);
    auto* buttons = new SelectButtonDelegate(iTunesTable);
    iTunesTable->setItemDelegateForColumn(BackupListModel::State, buttons);
    connect(buttons, &SelectButtonDelegate::clicked, this,
            [this](const QModelIndex& index) { SelectDeviceInfo(model.At(index.row())); });
    iTunesTable->setSelectionMode(QAbstractItemView::NoSelection);
    iTunesTable->setFocusPolicy(Qt::NoFocus);
    iTunesTable->verticalHeader()->hide();
    iTunesTable->verticalHeader()->setDefaultSectionSize(44);
    // Each column as wide as its title and cells; the first (the name) takes the rest.
    iTunesTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    iTunesTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    iTunesTable->setShowGrid(false);
    iTunesTable->setMouseTracking(true);
    column->addWidget(iTunesTable, 1);
    PreviewBt->setMinimumSize(160, 40);
    PreviewBt->setFlat(true);
    connect(PreviewBt, &QPushButton::clicked, this, &NSiTunesView::PreviewBtEvent);
    column->addWidget(PreviewBt, 0, Qt::AlignHCenter);
    TabView->addWidget(listPane);
    TabView->addWidget(pNSSelectDirizaFileTypeView);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(TabView);

    pNSSelectDirizaFileTypeView->setDelegate(this);
    TabView->setCurrentIndex(0);
    new AppearanceWatcher(this, [this](bool dark) { Reapply(dark); });
    setLanguage(NSLanguageText::shareInstance()->Language());
    LoadiTunesData();
}

bool NSiTunesView::isChoosing() const {
    return TabView->currentIndex() == 1;
}

void NSiTunesView::LoadiTunesData() {
    ShowBackupsFolder();
    const QString root = Paths::BackupsFolder();
    if (root.isEmpty()) {
        qInfo() << "backup list: no backups folder";
        model.SetBackups({});
        return;
    }
    qInfo() << "backup list: reading" << root;
    model.SetBackups(BackupListReader::List(root));
}

void NSiTunesView::SelectDeviceInfo(const std::shared_ptr<DeviceInfo>& backup) {
    if (!backup) return;
    selected = backup;
    TabView->setCurrentIndex(1);
    pNSSelectDirizaFileTypeView->SetDeviceInfo(backup->getDeviceName());
    pNSSelectDirizaFileTypeView->SetBackButtonVisible(true);
}

void NSiTunesView::PreviewBtEvent() {
    IFilePicker::Request request;
    // A backup is a folder: the picker chooses folders (a file picked some other way
    // stands for the folder it lies in, see ReadPicked).
    request.chooseFiles = false;
    request.chooseFolders = true;
    // The picker's title names what it is for, as the button does.
    request.title = LanguageText("iTunesOpenBt");
    request.directory = Paths::BackupsFolder();
    const QStringList picked = IFilePicker::Current().Choose(window(), request);
    if (picked.isEmpty()) return;
    auto backup = BackupListReader::ReadPicked(picked.first());
    if (!backup) {
        IAlertPresenter::Alert alert;
        alert.informativeText = LanguageText("ErrBackup");
        alert.buttons = {LanguageText("ok")};
        IAlertPresenter::Current().BeginSheet(window(), alert, [](int) {});
        return;
    }
    SelectDeviceInfo(backup);
}

void NSiTunesView::InitData() {
    selected.reset();
    TabView->setCurrentIndex(0);
}

void NSiTunesView::BackUpStartEvent(const QStringList& selection) {
    if (delegate) delegate->iTunesStartScanEvent(selected, selection);
    InitData();
}

void NSiTunesView::BackBtEvent() {
    InitData();
}

void NSiTunesView::setLanguage(int language) {
    InstructionsTitle->setText(LanguageText("iTunesTitle"));
    ShowBackupsFolder();
    Instructions3Title->setText(LanguageText("iTunes2Title"));
    PreviewBt->setText(LanguageText("iTunesOpenBt"));
    pNSSelectDirizaFileTypeView->setLanguage(language);
    model.Retitle();
    Reapply(IAppearance::Dark(this));
}

void NSiTunesView::ShowBackupsFolder() {
    Instructions2Title->setText(SafeFormat(
        LanguageText("iTunes1Title"), {BackupText::Isolated(Paths::ForDisplay(Paths::BackupsFolder()))}));
}

void NSiTunesView::Reapply(bool dark) {
    PreviewBt->setStyleSheet(
        QStringLiteral("QPushButton { border: none; border-image: url(%1); padding: 8px 28px; }"
                       "QPushButton:hover { border-image: url(%2); }")
            .arg(AppImage::Path(AppImage::Themed(QStringLiteral("AllDiriza_bt_nor"), dark)),
                 AppImage::Path(AppImage::Themed(QStringLiteral("AllDiriza_bt_hot"), dark))));
    ButtonTextColor::setTextColor(PreviewBt, dark ? Qt::black : Qt::white);
    QPalette palette = iTunesTable->palette();
    palette.setColor(QPalette::Base, dark ? QColor(33, 34, 35) : QColor(Qt::white));
    iTunesTable->setPalette(palette);
}
