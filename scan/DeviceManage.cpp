#include "scan/DeviceManage.h"

#include "platform/CacheFolder.h"

#include "core/backup/BackupFileRecord.h"
#include "core/records/ScanDataType.h"
#include "platform/BackupToolRunner.h"
#include "platform/ImobileDeviceService.h"
#include "platform/Paths.h"
#include "platform/PlistDocument.h"
#include "scan/DeviceAuthorizationMessageWindow.h"
#include "platform/ProcessLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

namespace {

// Type selection entry -> ScanDataType bit.
constexpr uint32_t kSelectionBits[15] = {
    ScanPhotos, ScanVideos,      ScanSmsAttachments, ScanNoteAttachments, ScanVoiceMemos,
    ScanSms,    ScanCallHistory, ScanContacts,       ScanBookmarks,       ScanReminders,
    ScanNotes,  ScanCalendar,    ScanWxContacts,     ScanWxChats,         ScanWxAttachments,
};

QString deviceText(const std::optional<std::string>& value) {
    return value ? QString::fromUtf8(value->data(), qsizetype(value->size())) : QString();
}

} // namespace

DeviceManage::DeviceManage(Services s) : services(std::move(s)) {
    bridge = services.scanBridge ? services.scanBridge : &DeviceScanManager::shared();
    bridge->SetReceiverSource([this] { return scanFileDelegate_.load(); });
    bridge->SetWxLookups(
        [this](const QString& alias, const QString& nickName) { return isWXChar(alias, nickName); },
        [this](const QString& devicePath) { return SearchWXResources(devicePath); });
    tasks.setMaxThreadCount(4);

    deviceContext = new QObject;
    deviceContext->moveToThread(&deviceThread);
    deviceThread.setObjectName(QStringLiteral("device-probe"));
    deviceThread.start();

    InitDevice();
    CreateDeviceConnection();
    InitScanFileSuffix();
}

DeviceManage::~DeviceManage() {
    // No device event may start after this point; pending probes are dropped.
    if (services.device && subscribed) services.device->Unsubscribe();
    // A prompt still waiting for the user must not call back into this object.
    if (!waitingForTrust.empty() && services.trustPrompt)
        if (ITrustPrompt* prompt = services.trustPrompt()) prompt->Close();
    deviceThread.quit();
    deviceThread.wait();
    delete deviceContext;
    deviceContext = nullptr;

    // End the running scan and backup before the objects they use go away.
    shuttingDown = true;
    bridge->StopScan();
    tasks.waitForDone();
    bridge->SetReceiverSource(nullptr);
    bridge->SetWxLookups(nullptr, nullptr);
    RemoveScanFolders();
}

DeviceManage* DeviceManage::shareInstance() {
    static DeviceManage* instance = [] {
        Services real;
        real.device = std::make_shared<ImobileDeviceService>();
        real.trustPrompt = [] {
            return static_cast<ITrustPrompt*>(DeviceAuthorizationMessageWindow::shareInstance());
        };
        return new DeviceManage(std::move(real));
    }();
    return instance;
}

void DeviceManage::PostToGui(std::function<void()> call) {
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void DeviceManage::PostToDeviceWorker(std::function<void()> call) {
    if (deviceContext) QMetaObject::invokeMethod(deviceContext, std::move(call), Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------------
// Devices

void DeviceManage::InitDevice() {
    AllDeviceInfo.clear();
}

int DeviceManage::CreateDeviceConnection() {
    if (!services.device) return 0;
    // Events arrive on a thread of the device library; they are handed to the probe
    // worker in arrival order.
    const int status = services.device->Subscribe([this](const DeviceEvent& event) {
        PostToDeviceWorker([this, event] { HandleDeviceEvent(event); });
    });
    if (status != 0) {
        ProcessLog::Write(QStringLiteral("初始化MobileDvice库失败"));
        return 5;
    }
    subscribed = true;
    return 0;
}

void DeviceManage::HandleDeviceEvent(const DeviceEvent& event) {
    if (event.device.isNull()) return;
    switch (event.kind) {
    case DeviceEvent::Removed:
        services.device->Disconnect(event.device);
        PostToGui([this, device = event.device] { RemoveDevice(device); });
        break;
    case DeviceEvent::Connected:
        ProbeDevice(event.device, true);
        break;
    case DeviceEvent::Paired:
        ProbeDevice(event.device, false);
        break;
    default:
        break;
    }
}

void DeviceManage::ProbeDevice(const DeviceRef& device, bool connect) {
    IDeviceService& lib = *services.device;
    // Every path out of the probe releases the device's lockdown connection.
    struct Release {
        IDeviceService& lib;
        const DeviceRef& device;
        ~Release() { lib.Disconnect(device); }
    } release{lib, device};

    if (connect && lib.Connect(device) != 0) {
        ProcessLog::Write(QStringLiteral("AMDeviceConnect创建失败！"));
        return;
    }
    if (!lib.IsPaired(device)) {
        ProcessLog::Write(QStringLiteral("AMDeviceIsPaired创建失败！"));
        if (connect) {
            PostToGui([this, device] {
                waitingForTrust.insert({device.udid, device.connection});
                if (ITrustPrompt* prompt = services.trustPrompt ? services.trustPrompt() : nullptr)
                    prompt->Show([this] { OnTrustConfirmed(); });
            });
        }
        return;
    }
    if (lib.ValidatePairing(device) != 0) {
        ProcessLog::Write(QStringLiteral("AMDeviceValidatePairing创建失败！"));
        return;
    }
    if (lib.StartSession(device) != 0) {
        ProcessLog::Write(QStringLiteral("AMDeviceStartSession创建失败！"));
        return;
    }
    DeviceValues values;
    values.name = deviceText(lib.CopyValue(device, "DeviceName"));
    values.serial = deviceText(lib.CopyValue(device, "SerialNumber"));
    values.udid = deviceText(lib.CopyValue(device, "UniqueDeviceID"));
    values.productType = deviceText(lib.CopyValue(device, "ProductType"));
    values.version = deviceText(lib.CopyValue(device, "ProductVersion"));
    // The event names the device; a UDID the device did not give is that one.
    if (values.udid.isEmpty()) values.udid = QString::fromStdString(device.udid);
    PostToGui([this, device, values] {
        waitingForTrust.erase({device.udid, device.connection});
        if (ITrustPrompt* prompt = services.trustPrompt ? services.trustPrompt() : nullptr) prompt->Close();
        AddDevice(device, values);
    });
}

void DeviceManage::OnTrustConfirmed() {
    // Each device that waited for the user's trust is probed once more.
    const auto waiting = std::move(waitingForTrust);
    waitingForTrust.clear();
    for (const auto& [udid, connection] : waiting) {
        const DeviceRef device{udid, connection};
        PostToDeviceWorker([this, device] { ProbeDevice(device, true); });
    }
}

void DeviceManage::AddDevice(const DeviceRef& device, const DeviceValues& values) {
    for (const auto& info : AllDeviceInfo) {
        if (info->getIdentifyNumber() == values.udid && info->getSerialNumber() == values.serial &&
            info->getProductType() == values.productType) {
            if (!info->holdsDeviceHandle(device)) info->SaveDeviceHandle(device);
            if (DeviceManageDelegate* receiver = delegate_.load()) receiver->AddDevice(info);
            return;
        }
    }
    auto info = std::make_shared<DeviceInfo>();
    info->SaveDeviceInfo(values.name, values.udid, values.serial, values.productType, device, values.version);
    AllDeviceInfo.append(info);
    if (DeviceManageDelegate* receiver = delegate_.load()) receiver->AddDevice(info);
}

void DeviceManage::RemoveDevice(const DeviceRef& device) {
    std::shared_ptr<DeviceInfo> removed;
    for (qsizetype i = 0; i < AllDeviceInfo.size(); ++i) {
        const auto& info = AllDeviceInfo[i];
        if (!info->holdsDeviceHandle(device)) continue;
        info->RemoveDeviceHandle(device);
        if (!info->isDeviceHandle()) {
            removed = info;
            AllDeviceInfo.removeAt(i);
            break;
        }
    }
    if (DeviceManageDelegate* receiver = delegate_.load()) receiver->RemoveDevice(removed);
}

// ---------------------------------------------------------------------------------
// Backup and analysis

namespace {
// The application's own folder in the user's cache folder (Paths::Caches, which tests
// may point elsewhere), named like QStandardPaths::CacheLocation: "<org>/<app>".
QString ApplicationCacheFolder() {
    QString folder = Paths::Caches();
    if (folder.isEmpty()) return QString();
    for (const QString& part : {QCoreApplication::organizationName(), QCoreApplication::applicationName()})
        if (!part.isEmpty()) folder += QLatin1Char('/') + part;
    return folder;
}
} // namespace

QString DeviceManage::getSaveBackUpPath() const {
    QString cache = services.cacheFolder;
    if (cache.isEmpty()) cache = ApplicationCacheFolder();
    if (cache.isEmpty()) return QString();
    return cache + QStringLiteral("/backup");
}

bool DeviceManage::isValidUdid(const QString& udid) {
    if (udid.isEmpty() || udid.size() > 128) return false;
    for (QChar c : udid)
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'-') return false;
    return true;
}

void DeviceManage::SendBackUpLoser() {
    if (BackUpDelegate* receiver = backUpdelegate_.load()) receiver->BackUpLoser();
}

void DeviceManage::StartBackUp(const std::shared_ptr<DeviceInfo>& device) {
    const QString udid = device ? device->getIdentifyNumber() : QString();
    const QString root = getSaveBackUpPath();
    const bool refused = isScanThread.load();
    tasks.start([this, udid, root, refused] {
        if (refused) {
            ProcessLog::Write(QStringLiteral("扫描中..."));
            SendBackUpLoser();
            return;
        }
        if (!isValidUdid(udid)) {
            ProcessLog::Write(QStringLiteral("设备标识无效:%1").arg(udid));
            SendBackUpLoser();
            return;
        }
        if (root.isEmpty() || !QDir().mkpath(root)) {
            ProcessLog::Write(QStringLiteral("备份路径无法创建:%1").arg(root));
            SendBackUpLoser();
            return;
        }
        ProcessLog::Write(QStringLiteral("保存备份路径:%1").arg(root));
        const BackupToolRunner::Result result = BackupToolRunner::Run(
            services.backupTool, udid, root,
            [](const QString& line) { ProcessLog::Write(QStringLiteral("备份:") + line); }, &shuttingDown);
        switch (result.status) {
        case BackupToolRunner::Status::Finished:
            ProcessLog::Write(QStringLiteral("备份完成"));
            if (BackUpDelegate* receiver = backUpdelegate_.load()) receiver->BackUpFinish(root);
            return;
        case BackupToolRunner::Status::NotFound:
            ProcessLog::Write(QStringLiteral("备份工具未找到:%1").arg(services.backupTool));
            break;
        case BackupToolRunner::Status::FailedToStart:
            ProcessLog::Write(QStringLiteral("备份工具无法启动"));
            break;
        case BackupToolRunner::Status::Crashed:
            ProcessLog::Write(QStringLiteral("备份工具异常退出"));
            break;
        case BackupToolRunner::Status::ExitedWithError:
            ProcessLog::Write(QStringLiteral("备份失败,退出码:%1").arg(result.exitCode));
            break;
        case BackupToolRunner::Status::Cancelled:
            ProcessLog::Write(QStringLiteral("备份已取消"));
            break;
        }
        SendBackUpLoser();
    });
}

void DeviceManage::setBackUpUID(const QString& folder, const QString& uid) {
    QString path = folder;
    if (isValidUdid(uid)) {
        const QFileInfo candidate(folder + QStringLiteral("/") + uid);
        if (candidate.exists() && candidate.isDir() && candidate.isExecutable()) path = candidate.filePath();
    }
    std::lock_guard<std::mutex> lock(stateMutex);
    BackUpPath = path;
}

QString DeviceManage::getBackUpPath() const {
    std::lock_guard<std::mutex> lock(stateMutex);
    return BackUpPath;
}

std::pair<QString, int> DeviceManage::BackupInUse() const {
    std::lock_guard<std::mutex> lock(stateMutex);
    return {BackUpPath, backupIosMajor};
}

bool DeviceManage::isVersionBiggerThanVersion(const QString& v, const QString& w) {
    const QStringList a = v.split(u'.');
    const QStringList b = w.split(u'.');
    const qsizetype shared = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < shared; ++i) {
        const qlonglong x = a[i].toLongLong();
        const qlonglong y = b[i].toLongLong();
        if (x != y) return x > y;
    }
    if (a.size() <= b.size()) return false;
    qlonglong extra = 0;
    for (qsizetype i = shared; i < a.size(); ++i)
        extra += std::max<qlonglong>(0, a[i].toLongLong());
    return extra > 0;
}

QString DeviceManage::ManifestFileOf(const QString& folder) {
    const auto version = BackUpPath_UID_Get_ProductVersion(folder);
    const bool database = version && isVersionBiggerThanVersion(*version, QStringLiteral("9.9.9"));
    return folder + (database ? QStringLiteral("/Manifest.db") : QStringLiteral("/Manifest.mbdb"));
}

QString DeviceManage::getManifestFile() const {
    return ManifestFileOf(getBackUpPath());
}

std::optional<QString> DeviceManage::BackUpPath_UID_Get_DeviceName(const QString& folder) {
    return PlistDocument::FromFile(folder + QStringLiteral("/Manifest.plist"))
        .String({"Lockdown", "DeviceName"});
}

bool DeviceManage::IsEncryptedBackup(const QString& folder) {
    return PlistDocument::FromFile(folder + QStringLiteral("/Manifest.plist"))
        .Bool({"IsEncrypted"})
        .value_or(false);
}

std::optional<QString> DeviceManage::BackUpPath_UID_Get_ProductVersion(const QString& folder) {
    const PlistDocument manifest = PlistDocument::FromFile(folder + QStringLiteral("/Manifest.plist"));
    if (manifest.HasDictionary({"Lockdown"})) return manifest.String({"Lockdown", "ProductVersion"});
    return PlistDocument::FromFile(folder + QStringLiteral("/Info.plist")).String({"Product Version"});
}

std::optional<QString> DeviceManage::BackUpPath_UID_Get_ProductType(const QString& folder) {
    return PlistDocument::FromFile(folder + QStringLiteral("/Manifest.plist"))
        .String({"Lockdown", "ProductType"});
}

int DeviceManage::MajorVersion(const std::optional<QString>& version) {
    if (!version) return 0;
    // The leading whole number of the text, as a plain integer reading gives it.
    const QString text = version->trimmed();
    qsizetype end = 0;
    while (end < text.size() && end < 9 && text[end].isDigit() && text[end].unicode() < 0x80)
        ++end;
    return end ? text.left(end).toInt() : 0;
}

void DeviceManage::StartAnalyze(const std::shared_ptr<DeviceInfo>& device) {
    QString folder = device ? device->GetBackUpPath() : QString();
    if (folder.isEmpty()) folder = getSaveBackUpPath();
    const QString uid = device ? device->getIdentifyNumber() : QString();

    // The manifest reader is shared with the scan: no analysis while a scan runs, and
    // one analysis at a time.
    if (analysisRunning.exchange(true)) {
        ProcessLog::Write(QStringLiteral("分析中..."));
        tasks.start([this] { SendBackUpLoser(); });
        return;
    }
    if (isScanThread.load()) {
        analysisRunning = false;
        ProcessLog::Write(QStringLiteral("扫描中..."));
        tasks.start([this] { SendBackUpLoser(); });
        return;
    }
    setBackUpUID(folder, uid);
    const QString root = getBackUpPath();
    tasks.start([this, root] { RunAnalysis(root); });
}

void DeviceManage::RunAnalysis(const QString& root) {
    {
        std::lock_guard<std::mutex> lock(wxIndexMutex);
        wxIndexBuilt = false;
        wxIndex.clear();
    }
    if (IsEncryptedBackup(root)) {
        backUpOpened = false;
        analysisRunning = false;
        SendBackUpLoser();
        ProcessLog::Write(QStringLiteral("备份文件已加密"));
        return;
    }
    const QString manifest = ManifestFileOf(root);
    parser.Clear();
    const int major = MajorVersion(BackUpPath_UID_Get_ProductVersion(root));
    // Progress goes to the GUI thread, once per new percentage.
    auto lastPercent = std::make_shared<std::atomic<int>>(-1);
    auto progress = [this, lastPercent](int percent) {
        if (lastPercent->exchange(percent) == percent) return;
        PostToGui([this, percent] {
            if (BackUpDelegate* receiver = backUpdelegate_.load()) receiver->Analyze(percent);
        });
    };
    const bool opened =
        parser.Open(manifest.toUtf8().constData(), root.toUtf8().constData(), major, progress);
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        backupIosMajor = major;
    }
    skippedManifestRows = opened ? parser.SkippedFileRows() : 0;
    backUpOpened = opened;
    analysisRunning = false;
    if (const int skipped = parser.SkippedFileRows(); skipped > 0)
        ProcessLog::Write(QStringLiteral("Manifest rows that could not be read, skipped: %1").arg(skipped));
    if (const int undecoded = parser.UndecodedFileRows(); undecoded > 0)
        ProcessLog::Write(QStringLiteral("清单文件属性无法解码:%1行(按flags列取舍)").arg(undecoded));
    if (opened) {
        ProcessLog::Write(QStringLiteral("分析文件打开成功"));
        if (BackUpDelegate* receiver = backUpdelegate_.load()) receiver->AnalyzeFinish();
    } else {
        ProcessLog::Write(QStringLiteral("分析文件打开失败"));
        SendBackUpLoser();
    }
}

// ---------------------------------------------------------------------------------
// Scan control

uint32_t DeviceManage::SelectionToMask(const QStringList& selection) {
    uint32_t mask = 0;
    for (int i = 0; i < 15 && i < selection.size(); ++i)
        if (selection[i] == QStringLiteral("1")) mask |= kSelectionBits[i];
    return mask;
}

QString DeviceManage::ScanCacheRoot() const {
    QString cache = services.cacheFolder;
    if (cache.isEmpty()) cache = ApplicationCacheFolder();
    if (cache.isEmpty()) cache = QDir::tempPath();
    return cache;
}

QString DeviceManage::NewScanOutputFolder() {
    const QString cache = ScanCacheRoot();
    // The files of the previous scan (contact pictures) were read into its results: its
    // folder goes when the new scan takes over.
    RemoveScanFolders();
    const QString scans = cache + QStringLiteral("/scan");
    // A folder of its own: one left behind by another run of the application, or in use
    // by one running beside this one, is neither reused nor removed.
    QString folder;
    for (int tries = 0; tries < 1000; ++tries) {
        const QString name = QString::number(++scanSerial);
        if (CacheFolder::MakeNew(scans, name)) {
            folder = scans + QLatin1Char('/') + name;
            break;
        }
        // Only a name already taken sends the loop on; anything else (the parent cannot
        // be made, or is a link) fails every name alike.
        const QFileInfo taken(scans + QLatin1Char('/') + name);
        if (!taken.exists() && !taken.isSymLink()) break;
    }
    std::lock_guard<std::mutex> lock(stateMutex);
    scanOutputFolder = folder;
    if (!folder.isEmpty()) createdScanFolders.push_back(folder);
    return folder;
}

void DeviceManage::RemoveScanFolders() {
    std::vector<QString> folders;
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        folders.swap(createdScanFolders);
    }
    const QString root = ScanCacheRoot();
    std::vector<QString> left;
    for (const QString& folder : folders) {
        if (!CacheFolder::RemoveInside(folder, root)) {
            ProcessLog::Write(QStringLiteral("Scan cache folder could not be removed: %1").arg(folder));
            left.push_back(folder);
        }
    }
    std::lock_guard<std::mutex> lock(stateMutex);
    createdScanFolders.insert(createdScanFolders.begin(), left.begin(), left.end());
}

QString DeviceManage::ScanOutputFolder() const {
    std::lock_guard<std::mutex> lock(stateMutex);
    return scanOutputFolder;
}

void DeviceManage::StartScan(const std::shared_ptr<DeviceInfo>& device, const QStringList& selection) {
    StartScanMask(device, SelectionToMask(selection));
}

void DeviceManage::StartScanMask(const std::shared_ptr<DeviceInfo>& device, uint32_t mask) {
    (void)device; // the backup in use is scanned
    if (isScanThread.exchange(true)) {
        ProcessLog::Write(QStringLiteral("扫描中..."));
        return;
    }
    if (analysisRunning.load()) {
        isScanThread = false;
        ProcessLog::Write(QStringLiteral("分析中..."));
        return;
    }
    ProcessLog::Write(QStringLiteral("开始扫描..."));
    // Active before the task starts, so a stop from now on ends this scan.
    bridge->SetScanState(true);
    const auto [root, analysedMajor] = BackupInUse();
    const int major = MajorVersion(BackUpPath_UID_Get_ProductVersion(root));
    (void)analysedMajor;
    const ScanSuffixes suffixes{csPhotoSuffix(), csVideoSuffix(), csAudioSuffix(), csOtherSuffix()};
    const QString outputDir = NewScanOutputFolder();
    {
        std::lock_guard<std::mutex> lock(wxIndexMutex);
        wxIndexBuilt = false;
        wxIndex.clear();
    }
    tasks.start(
        [this, mask, root, major, suffixes, outputDir] { RunScan(mask, root, major, suffixes, outputDir); });
}

void DeviceManage::RunScan(uint32_t mask, const QString& root, int iosVersion, const ScanSuffixes& suffixes,
                           const QString& outputDir) {
    if (mask & (ScanWxContacts | ScanWxChats)) parser.ScanWeChatAccounts();
    // The WhatsApp store list is built once per analysed backup (building it again
    // would add every store a second time).
    if (mask & ScanWaChats) {
        const WaStoreList* stores = parser.GetWhatsAppStores();
        if (!stores || stores->empty()) parser.ScanWhatsApp();
    }
    if (bridge->IsScanning()) {
        ProcessLog::Write(QStringLiteral("cDeviceScanManager.StartScan strat..."));
        bridge->StartScan(&parser, int(mask), root + QStringLiteral("/"), iosVersion, suffixes, outputDir);
        ProcessLog::Write(QStringLiteral("cDeviceScanManager.StartScan end..."));
    }
    bridge->ScanComplete();
    isScanThread = false;
    ProcessLog::Write(QStringLiteral("扫描结束..."));
    if (ScanFileDelegate* receiver = scanFileDelegate_.load()) receiver->ScanEnd();
}

void DeviceManage::WaitForTasks() {
    tasks.waitForDone();
}

// ---------------------------------------------------------------------------------
// Suffix lists, WeChat filter and lookups

void DeviceManage::InitScanFileSuffix() {
    PhotoSuffix.clear();
    AudioSuffix.clear();
    VideoSuffix.clear();
    OtherSuffix.clear();

    QFile option(services.optionResource);
    WxFilter.clear();
    if (option.open(QIODevice::ReadOnly) && option.size() <= 16 * 1024 * 1024) {
        const PlistDocument document = PlistDocument::FromBytes(option.readAll());
        WxFilter = document.StringDictionary({"WxFilter"});
        // The avatar host account discovery takes avatar URLs from (none while empty).
        parser.SetWxAvatarPrefix(document.String({"WxAvatarPrefix"}).value_or(QString()).toStdString());
    }

    QFile conf(services.suffixResource);
    if (!conf.open(QIODevice::ReadOnly) || conf.size() > 16 * 1024 * 1024) {
        ProcessLog::Write(QStringLiteral("conf.xml文件解析失败"));
        return;
    }
    QXmlStreamReader xml(&conf);
    QStringList* section = &OtherSuffix;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const auto name = xml.name();
        if (name == QLatin1String("Filed")) {
            section->append(xml.attributes().value(QLatin1String("FILEEXT")).toString());
        } else if (name == QLatin1String("PhotoWildcard")) {
            section = &PhotoSuffix;
        } else if (name == QLatin1String("VideoWildcard")) {
            section = &VideoSuffix;
        } else if (name == QLatin1String("AudioWildcard")) {
            section = &AudioSuffix;
        } else if (name == QLatin1String("OtherExt")) {
            section = &OtherSuffix;
        }
    }
    if (xml.hasError())
        ProcessLog::Write(QStringLiteral("conf.xml文件解析失败"));
    else
        ProcessLog::Write(QStringLiteral("conf.xml文件解析成功"));
}

bool DeviceManage::isWXChar(const QString& key, const QString& name) const {
    (void)name;
    return !WxFilter.value(key).isEmpty();
}

QString DeviceManage::SearchWXResources(const QString& devicePath) {
    const auto [root, major] = BackupInUse();
    std::lock_guard<std::mutex> lock(wxIndexMutex);
    if (!wxIndexBuilt) {
        // One index per scan over the WeChat category; the first entry of a path wins.
        wxIndex.clear();
        if (const BackupEntryList* entries = parser.GetEntryList(CategoryWeChat)) {
            for (const BackupFileRecord* entry : *entries) {
                if (!entry) continue;
                const QByteArray key = QByteArray::fromStdString(entry->devicePath);
                if (!wxIndex.contains(key))
                    wxIndex.insert(key, QString::fromStdString(entry->StoredPath(major)));
            }
        }
        wxIndexBuilt = true;
    }
    const auto it = wxIndex.constFind(devicePath.toUtf8());
    if (it == wxIndex.constEnd()) return QString();
    return root + QStringLiteral("/") + it.value();
}

QString DeviceManage::SearchWXAccountHeadImageUrl(const QString& account) const {
    return bridge->AccountHeadImageUrl(account);
}
