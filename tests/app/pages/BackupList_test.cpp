// The backup list: which entries of the backups folder are listed and with what values,
// where a picked folder's backup is taken from, and the page around them.
#include "gui/BackupText.h"
#include "gui/NSLanguageText.h"
#include "app/pages/BackupListReader.h"
#include "app/pages/NSiTunesView.h"
#include "platform/Paths.h"
#include "tests/kit/BackupBuilder.h"
#include "tests/kit/FakeAlertPresenter.h"
#include "tests/kit/FakeDeviceManage.h"
#include "tests/kit/FakeFilePicker.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <cstdlib>
#include <QTemporaryDir>
#include <QTimer>

#include <plist/plist.h>

#include <gtest/gtest.h>

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray Xml(plist_t dict) {
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(dict, &xml, &length);
    QByteArray out(xml, qsizetype(length));
    std::free(xml);
    plist_free(dict);
    return out;
}

QByteArray Binary(plist_t dict) {
    char* bin = nullptr;
    uint32_t length = 0;
    plist_to_bin(dict, &bin, &length);
    QByteArray out(bin, qsizetype(length));
    std::free(bin);
    plist_free(dict);
    return out;
}

// An "Info.plist" as the backup tool writes it.
QByteArray InfoPlist(const char* name, const char* udid) {
    plist_t d = plist_new_dict();
    plist_dict_set_item(d, "Device Name", plist_new_string(name));
    plist_dict_set_item(d, "Unique Identifier", plist_new_string(udid));
    plist_dict_set_item(d, "Serial Number", plist_new_string("SERIAL1"));
    plist_dict_set_item(d, "Product Type", plist_new_string("iPhone12,1"));
    plist_dict_set_item(d, "Product Version", plist_new_string("14.2"));
    plist_dict_set_item(d, "Last Backup Date", plist_new_date(600000000, 0));
    return Xml(d);
}

// A binary "Manifest.plist" with "Lockdown".
QByteArray ManifestPlist(const char* name, const char* udid) {
    plist_t lockdown = plist_new_dict();
    plist_dict_set_item(lockdown, "DeviceName", plist_new_string(name));
    plist_dict_set_item(lockdown, "UniqueDeviceID", plist_new_string(udid));
    plist_dict_set_item(lockdown, "SerialNumber", plist_new_string("SERIAL2"));
    plist_dict_set_item(lockdown, "ProductType", plist_new_string("iPad8,10"));
    plist_dict_set_item(lockdown, "ProductVersion", plist_new_string("13.1"));
    plist_t d = plist_new_dict();
    plist_dict_set_item(d, "Lockdown", lockdown);
    plist_dict_set_item(d, "Date", plist_new_date(600000000, 0));
    return Binary(d);
}

// Every value of the wrong type.
QByteArray WrongTypedInfo() {
    plist_t d = plist_new_dict();
    plist_dict_set_item(d, "Device Name", plist_new_uint(7));
    plist_dict_set_item(d, "Unique Identifier", plist_new_bool(1));
    plist_dict_set_item(d, "Serial Number", plist_new_array());
    plist_dict_set_item(d, "Product Type", plist_new_dict());
    plist_dict_set_item(d, "Product Version", plist_new_real(1.5));
    plist_dict_set_item(d, "Last Backup Date", plist_new_string("yesterday"));
    return Xml(d);
}

QString ExpectedDate() {
    // 600000000 seconds after 2001-01-01 UTC, shown in local time.
    return QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC)
        .addSecs(600000000)
        .toLocalTime()
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

TEST(BackupListReader, FixtureTreeListsTheTwoBackups) {
    QTemporaryDir root;
    const QString r = root.path();
    WriteFile(r + "/.DS_hidden", "not a backup");
    WriteFile(r + "/plainfile", "not a backup");
    WriteFile(r + "/aaaa1111/Info.plist", InfoPlist("Info Phone", "IGNORED-UDID"));
    WriteFile(r + "/bbbb2222/Manifest.plist", ManifestPlist("Lockdown Pad", "IGNORED"));
    WriteFile(r + "/cccc3333/Manifest.plist", Binary(plist_new_dict()));      // no Lockdown
    WriteFile(r + "/dddd4444/Info.plist", "<plist><dict><key>x</key>");       // damaged
    QDir().mkpath(r + "/eeee5555");                                           // empty
    WriteFile(r + "/.hidden6666/Info.plist", InfoPlist("Hidden Phone", "H")); // hidden folder, still a backup
    const auto before = kit::FolderSnapshot::Take(r.toStdString());

    const auto list = BackupListReader::List(r);
    QStringList names;
    for (const auto& d : list)
        names << d->getDeviceName();
    names.sort();
    EXPECT_EQ(names, (QStringList{"Hidden Phone", "Info Phone", "Lockdown Pad"}));
    for (const auto& d : list) {
        EXPECT_EQ(d->GetBackUpPath(), r);
        EXPECT_EQ(d->GetBackUpDate(), ExpectedDate());
        if (d->getDeviceName() == "Info Phone") {
            EXPECT_EQ(d->getIdentifyNumber(), "aaaa1111"); // the folder name
            EXPECT_EQ(d->getSerialNumber(), "SERIAL1");
            EXPECT_EQ(d->getProductType(), "iPhone12,1");
            EXPECT_EQ(d->getSysVersion(), "14.2");
        }
        if (d->getDeviceName() == "Lockdown Pad") {
            EXPECT_EQ(d->getIdentifyNumber(), "bbbb2222");
            EXPECT_EQ(d->getSerialNumber(), "SERIAL2");
            EXPECT_EQ(d->getProductType(), "iPad8,10");
        }
    }
    EXPECT_EQ(kit::FolderSnapshot::Take(r.toStdString()).DiffFrom(before), "");
}

TEST(BackupListReader, WrongTypedValuesAreEmpty) {
    QTemporaryDir root;
    WriteFile(root.path() + "/ffff/Info.plist", WrongTypedInfo());
    const auto list = BackupListReader::List(root.path());
    ASSERT_EQ(list.size(), 1);
    const auto& d = list[0];
    EXPECT_EQ(d->getDeviceName(), "");
    EXPECT_EQ(d->getSerialNumber(), "");
    EXPECT_EQ(d->getProductType(), "");
    EXPECT_EQ(d->getSysVersion(), "");
    EXPECT_EQ(d->GetBackUpDate(), "");
    EXPECT_EQ(d->getIdentifyNumber(), "ffff");
    auto picked = BackupListReader::ReadPicked(root.path() + "/ffff");
    ASSERT_NE(picked, nullptr);
    EXPECT_EQ(picked->getIdentifyNumber(), "");
}

TEST(BackupListReader, MissingRootListsNothing) {
    EXPECT_TRUE(BackupListReader::List(QStringLiteral("/nonexistent/backups")).isEmpty());
    EXPECT_TRUE(BackupListReader::List(QString()).isEmpty());
}

TEST(BackupListReader, PickedFolderIsTheBackupPath) {
    QTemporaryDir root;
    const QString r = root.path();
    const char* udid = "ABCDEF0123456789ABCDEF0123456789ABCDEF01";
    const QString lower = QString::fromLatin1(udid).toLower();
    struct Case {
        const char* name;
        QString folder;     // where the property list lies
        bool manifest;      // Manifest.plist instead of Info.plist
        QString pickedPath; // what the user picked
    } cases[] = {
        {"named by the lower-case id", r + "/" + lower, false, r + "/" + lower},
        {"id occurs earlier in the path", r + "/" + lower + "/copy/" + lower, false,
         r + "/" + lower + "/copy/" + lower},
        {"named otherwise", r + "/mybackup", true, r + "/mybackup"},
        {"upper-case name", r + "/" + QString::fromLatin1(udid), false, r + "/" + QString::fromLatin1(udid)},
        {"trailing separator", r + "/trail", true, r + "/trail/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(c.folder + (c.manifest ? "/Manifest.plist" : "/Info.plist"),
                  c.manifest ? ManifestPlist("Picked", udid) : InfoPlist("Picked", udid));
        auto d = BackupListReader::ReadPicked(c.pickedPath);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->GetBackUpPath(), QDir::cleanPath(c.folder));
        EXPECT_EQ(d->getIdentifyNumber(), QString::fromLatin1(udid));
        EXPECT_EQ(d->getDeviceName(), "Picked");
    }
    // "/<udid>": the folder itself, never an empty path (which would mean the cache).
    EXPECT_EQ(BackupListReader::ReadPicked(QStringLiteral("/") + lower), nullptr);
}

TEST(BackupListReader, UnusablePicksGiveNothing) {
    QTemporaryDir root;
    const QString r = root.path();
    WriteFile(r + "/file.txt", "x");
    WriteFile(r + "/nolockdown/Manifest.plist", Binary(plist_new_dict()));
    QDir().mkpath(r + "/empty");
    for (const QString& p : {r + "/file.txt", r + "/nolockdown", r + "/empty", r + "/missing"})
        EXPECT_EQ(BackupListReader::ReadPicked(p), nullptr) << p.toStdString();
}

class BackupPage : public ::testing::Test {
  protected:
    void SetUp() override {
        Paths::SetApplicationSupport(support.path());
        root = Paths::BackupsFolder();
        QDir().mkpath(root);
    }
    void TearDown() override { Paths::ResetOverrides(); }
    QTemporaryDir support;
    QString root;
    kit::FakeDeviceManage manager;
    kit::FakeAlertPresenter alerts;
    kit::FakeFilePicker picker;
};

struct StartRecorder : NSiTunesViewDelegate {
    std::shared_ptr<DeviceInfo> backup;
    QStringList selection;
    void iTunesStartScanEvent(const std::shared_ptr<DeviceInfo>& b, const QStringList& s) override {
        backup = b;
        selection = s;
    }
};

TEST_F(BackupPage, ListSelectStartReturnsToTheList) {
    WriteFile(root + "/aaaa/Info.plist", InfoPlist("One", "A"));
    NSiTunesView page(manager);
    StartRecorder r;
    page.setDelegate(&r);
    page.show();
    ASSERT_EQ(page.Model().rowCount(), 1);
    EXPECT_EQ(page.Model().index(0, BackupListModel::State).data().toString(),
              LanguageText("iTunesSelectBt"));
    page.SelectDeviceInfo(page.Model().At(0));
    EXPECT_TRUE(page.isChoosing());
    EXPECT_TRUE(page.Chooser()->BackButtonWidget()->isVisible());
    page.Chooser()->StartButton()->click();
    ASSERT_NE(r.backup, nullptr);
    EXPECT_EQ(r.backup->getIdentifyNumber(), "aaaa");
    EXPECT_EQ(r.selection.size(), 17);
    EXPECT_FALSE(page.isChoosing());
    EXPECT_EQ(page.Selected(), nullptr);
}

// The hint names the folder the list is read from: an override, or the data folder of
// XDG_DATA_HOME, followed when the list is read again.
TEST_F(BackupPage, HintNamesTheFolderRead) {
    NSiTunesView page(manager);
    EXPECT_EQ(page.FolderHint()->text(),
              SafeFormat(LanguageText("iTunes1Title"),
                         {BackupText::Isolated(support.path() + "/MobileSync/Backup")}));
    QTemporaryDir elsewhere;
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", elsewhere.path().toLocal8Bit());
    Paths::ResetOverrides();
    page.LoadiTunesData();
    EXPECT_TRUE(page.FolderHint()->text().contains(elsewhere.path() + "/MobileSync/Backup"))
        << page.FolderHint()->text().toStdString();
    EXPECT_FALSE(page.FolderHint()->text().contains(".local/share"));
    page.setLanguage(NSLanguageText::English);
    EXPECT_TRUE(page.FolderHint()->text().contains(elsewhere.path() + "/MobileSync/Backup"));
    qputenv("XDG_DATA_HOME", saved);
}

TEST_F(BackupPage, PickingABadFolderShowsErrBackup) {
    NSiTunesView page(manager);
    page.show();
    picker.QueueAnswer({support.path()});
    page.PreviewBtEvent();
    EXPECT_EQ(alerts.Texts(), QStringList{LanguageText("ErrBackup")});
    EXPECT_FALSE(page.isChoosing());
    // Cancel does nothing.
    page.PreviewBtEvent();
    EXPECT_EQ(alerts.Alerts().size(), 1);
    // A good folder opens the chooser with a back button.
    WriteFile(support.path() + "/pick/Manifest.plist", ManifestPlist("Picked", "XYZ"));
    picker.QueueAnswer({support.path() + "/pick"});
    page.PreviewBtEvent();
    EXPECT_TRUE(page.isChoosing());
    ASSERT_NE(page.Selected(), nullptr);
    EXPECT_EQ(page.Selected()->GetBackUpPath(), support.path() + "/pick");
    page.Chooser()->BackButtonWidget()->click();
    EXPECT_FALSE(page.isChoosing());
}

// "Open Folder…" asks for a folder; the folder of a backup, or a file inside it such as
// its "Info.plist", opens the chooser for that backup.
TEST_F(BackupPage, OpenFolderChoosesAFolderAndAFileTakesItsFolder) {
    const QString backup = support.path() + "/elsewhere/backup1";
    WriteFile(backup + "/Info.plist", InfoPlist("Picked", "ABCDEF0123"));
    const struct {
        const char* name;
        QString picked;
    } cases[] = {
        {"the backup folder", backup},
        {"its Info.plist", backup + "/Info.plist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NSiTunesView page(manager);
        page.show();
        picker.QueueAnswer({c.picked});
        page.PreviewBtEvent();
        ASSERT_FALSE(picker.Requests().isEmpty());
        EXPECT_TRUE(picker.Requests().back().chooseFolders);
        EXPECT_FALSE(picker.Requests().back().chooseFiles);
        EXPECT_EQ(picker.Requests().back().title, LanguageText("iTunesOpenBt"));
        EXPECT_TRUE(alerts.Texts().isEmpty());
        EXPECT_TRUE(page.isChoosing());
        ASSERT_NE(page.Selected(), nullptr);
        EXPECT_EQ(page.Selected()->GetBackUpPath(), backup);
        EXPECT_EQ(page.Selected()->getDeviceName(), "Picked");
    }
}

// The real picker opens its dialog in folder mode for this request.
TEST(BackupPageRealPicker, DialogIsInFolderMode) {
    QTemporaryDir support;
    Paths::SetApplicationSupport(support.path());
    kit::FakeDeviceManage manager;
    kit::FakeAlertPresenter alerts;
    NSiTunesView page(manager);
    page.show();
    bool seen = false;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    bool dirsOnly = false;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        seen = true;
        mode = dialog->fileMode();
        dirsOnly = dialog->testOption(QFileDialog::ShowDirsOnly);
        poll.stop();
        dialog->reject();
    });
    poll.start();
    page.PreviewBtEvent();
    Paths::ResetOverrides();
    ASSERT_TRUE(seen);
    EXPECT_EQ(mode, QFileDialog::Directory);
    EXPECT_TRUE(dirsOnly);
    EXPECT_TRUE(alerts.Texts().isEmpty());
    EXPECT_FALSE(page.isChoosing());
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
