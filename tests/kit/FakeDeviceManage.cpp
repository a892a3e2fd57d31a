#include "tests/kit/FakeDeviceManage.h"

#include <QMetaObject>

#include <chrono>

namespace kit {

namespace {
QString Udid(const std::shared_ptr<DeviceInfo>& device) {
    return device ? device->getIdentifyNumber() : QStringLiteral("(none)");
}
} // namespace

FakeDeviceManage::FakeDeviceManage() : guiContext(std::make_unique<QObject>()) {}

FakeDeviceManage::~FakeDeviceManage() {
    running = false;
    paused = false;
    WaitForTasks();
}

void FakeDeviceManage::Record(const QString& call) {
    std::lock_guard<std::mutex> lock(mutex);
    calls.append(call);
}

QStringList FakeDeviceManage::Calls() const {
    std::lock_guard<std::mutex> lock(mutex);
    return calls;
}

std::shared_ptr<DeviceInfo> FakeDeviceManage::LastScanDevice() const {
    std::lock_guard<std::mutex> lock(mutex);
    return lastScanDevice;
}
QStringList FakeDeviceManage::LastSelection() const {
    std::lock_guard<std::mutex> lock(mutex);
    return lastSelection;
}
std::shared_ptr<DeviceInfo> FakeDeviceManage::LastAnalyzed() const {
    std::lock_guard<std::mutex> lock(mutex);
    return lastAnalyzed;
}

void FakeDeviceManage::setDelegate(DeviceManageDelegate* receiver) {
    Record(QStringLiteral("setDelegate"));
    delegate_ = receiver;
}
void FakeDeviceManage::setBackUpdelegate(BackUpDelegate* receiver) {
    Record(QStringLiteral("setBackUpdelegate"));
    backUpdelegate_ = receiver;
}
void FakeDeviceManage::setScanFileDelegate(ScanFileDelegate* receiver) {
    Record(QStringLiteral("setScanFileDelegate"));
    scanFileDelegate_ = receiver;
}

void FakeDeviceManage::StartBackUp(const std::shared_ptr<DeviceInfo>& device) {
    Record(QStringLiteral("StartBackUp ") + Udid(device));
}

void FakeDeviceManage::StartAnalyze(const std::shared_ptr<DeviceInfo>& device) {
    Record(QStringLiteral("StartAnalyze ") + Udid(device));
    std::lock_guard<std::mutex> lock(mutex);
    lastAnalyzed = device;
}

QString FakeDeviceManage::getBackUpPath() const {
    std::lock_guard<std::mutex> lock(mutex);
    return backUpPath;
}
QString FakeDeviceManage::getSaveBackUpPath() const {
    std::lock_guard<std::mutex> lock(mutex);
    return saveBackUpPath;
}
bool FakeDeviceManage::BackUpPath_UID_Get_IsEncrypted(const QString& folder) const {
    std::lock_guard<std::mutex> lock(mutex);
    return encrypted.value(folder, false);
}
void FakeDeviceManage::SetBackUpPath(const QString& path) {
    std::lock_guard<std::mutex> lock(mutex);
    backUpPath = path;
}
void FakeDeviceManage::SetSaveBackUpPath(const QString& path) {
    std::lock_guard<std::mutex> lock(mutex);
    saveBackUpPath = path;
}
void FakeDeviceManage::SetEncrypted(const QString& folder, bool value) {
    std::lock_guard<std::mutex> lock(mutex);
    encrypted.insert(folder, value);
}

void FakeDeviceManage::StartScan(const std::shared_ptr<DeviceInfo>& device, const QStringList& selection) {
    Record(QStringLiteral("StartScan ") + Udid(device) + QLatin1Char(' ') + selection.join(QLatin1Char(',')));
    ScanBody script;
    {
        std::lock_guard<std::mutex> lock(mutex);
        lastScanDevice = device;
        lastSelection = selection;
        script = scanScript;
    }
    if (scanning.load()) return; // one scan at a time
    if (script) RunScan(std::move(script));
}

void FakeDeviceManage::SetPauseScan(bool run) {
    Record(QStringLiteral("SetPauseScan ") + QString::number(run ? 1 : 0));
    paused = !run;
}

void FakeDeviceManage::StopScan() {
    Record(QStringLiteral("StopScan"));
    running = false;
    paused = false;
}

void FakeDeviceManage::WaitForTasks() {
    Record(QStringLiteral("WaitForTasks"));
    for (;;) {
        std::vector<std::thread> joining;
        {
            std::lock_guard<std::mutex> lock(mutex);
            joining.swap(threads);
        }
        if (joining.empty()) return;
        for (std::thread& t : joining)
            t.join();
    }
}

void FakeDeviceManage::OnGui(std::function<void()> call) {
    QMetaObject::invokeMethod(guiContext.get(), std::move(call), Qt::QueuedConnection);
}

void FakeDeviceManage::OnWorker(std::function<void()> call) {
    std::lock_guard<std::mutex> lock(mutex);
    threads.emplace_back(std::move(call));
}

void FakeDeviceManage::SendAddDevice(const std::shared_ptr<DeviceInfo>& device) {
    OnGui([this, device] {
        if (DeviceManageDelegate* d = delegate_.load()) d->AddDevice(device);
    });
}
void FakeDeviceManage::SendRemoveDevice(const std::shared_ptr<DeviceInfo>& device) {
    OnGui([this, device] {
        if (DeviceManageDelegate* d = delegate_.load()) d->RemoveDevice(device);
    });
}
void FakeDeviceManage::SendAnalyze(int percent) {
    OnGui([this, percent] {
        if (BackUpDelegate* d = backUpdelegate_.load()) d->Analyze(percent);
    });
}
void FakeDeviceManage::SendBackUpFinish(const QString& root) {
    OnWorker([this, root] {
        if (BackUpDelegate* d = backUpdelegate_.load()) d->BackUpFinish(root);
    });
}
void FakeDeviceManage::SendAnalyzeFinish() {
    OnWorker([this] {
        if (BackUpDelegate* d = backUpdelegate_.load()) d->AnalyzeFinish();
    });
}
void FakeDeviceManage::SendBackUpLoser() {
    OnWorker([this] {
        if (BackUpDelegate* d = backUpdelegate_.load()) d->BackUpLoser();
    });
}

void FakeDeviceManage::SetScanScript(ScanBody body) {
    std::lock_guard<std::mutex> lock(mutex);
    scanScript = std::move(body);
}

void FakeDeviceManage::RunScan(ScanBody body, const QString& completeText) {
    running = true;
    paused = false;
    scanning = true;
    progress.Set(0, 100, QString());
    OnWorker([this, body = std::move(body), completeText] {
        ScanFileDelegate nobody;
        auto receiver = [&]() -> ScanFileDelegate& {
            ScanFileDelegate* r = scanFileDelegate_.load();
            return r ? *r : nobody;
        };
        if (body) body(receiver(), *this);
        progress.Set(100, 100, completeText);
        receiver().Scanning(100, 100, completeText);
        scanning = false;
        receiver().ScanEnd();
    });
}

FakeDeviceManage::ScanBody FakeDeviceManage::UntilStopped() {
    return [](ScanFileDelegate&, FakeDeviceManage& manager) {
        while (manager.running.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
}

} // namespace kit
