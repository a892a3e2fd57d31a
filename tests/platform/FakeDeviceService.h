#pragma once
// A scripted stand-in for the device library: tests describe each device (trusted or
// not, which lockdown step fails, which values it gives) and emit events, which reach
// the handler on a thread of their own as the real library's do. Every call is logged.
#include "platform/IDeviceService.h"

#include <QStringList>

#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace devicetest {

struct FakeDevice {
    int connectResult = 0;
    bool paired = true;
    int validateResult = 0;
    int sessionResult = 0;
    std::map<std::string, std::string> values;
    // Value reads that succeed before the device is gone (-1: all).
    int readsBeforeVanishing = -1;
};

class FakeDeviceService : public IDeviceService {
  public:
    int Subscribe(EventHandler h) override {
        std::lock_guard<std::mutex> lock(mutex);
        Log("Subscribe");
        ++subscriptions;
        if (subscribeResult != 0) return subscribeResult;
        handler = std::move(h);
        return 0;
    }
    void Unsubscribe() override {
        std::lock_guard<std::mutex> lock(mutex);
        Log("Unsubscribe");
        handler = nullptr;
    }
    int Connect(const DeviceRef& d) override { return Step("Connect", d, &FakeDevice::connectResult); }
    bool IsPaired(const DeviceRef& d) override {
        std::lock_guard<std::mutex> lock(mutex);
        Log("IsPaired " + d.udid);
        return devices[d.udid].paired;
    }
    int ValidatePairing(const DeviceRef& d) override {
        return Step("ValidatePairing", d, &FakeDevice::validateResult);
    }
    int StartSession(const DeviceRef& d) override {
        return Step("StartSession", d, &FakeDevice::sessionResult);
    }
    std::optional<std::string> CopyValue(const DeviceRef& d, const std::string& key) override {
        std::lock_guard<std::mutex> lock(mutex);
        Log("CopyValue " + key);
        FakeDevice& dev = devices[d.udid];
        if (dev.readsBeforeVanishing == 0) return std::nullopt;
        if (dev.readsBeforeVanishing > 0) --dev.readsBeforeVanishing;
        auto it = dev.values.find(key);
        if (it == dev.values.end()) return std::nullopt;
        return it->second;
    }
    void Disconnect(const DeviceRef& d) override {
        std::lock_guard<std::mutex> lock(mutex);
        Log("Disconnect " + d.udid);
    }

    // Delivers an event from a library thread; false when nobody is subscribed.
    bool Emit(int kind, const std::string& udid, int connection = 1) {
        EventHandler h;
        {
            std::lock_guard<std::mutex> lock(mutex);
            h = handler;
        }
        if (!h) return false;
        std::thread([h, kind, udid, connection] {
            h(DeviceEvent{kind, DeviceRef{udid, connection}});
        }).join();
        return true;
    }

    FakeDevice& Device(const std::string& udid) {
        std::lock_guard<std::mutex> lock(mutex);
        return devices[udid];
    }
    QStringList Calls() {
        std::lock_guard<std::mutex> lock(mutex);
        return calls;
    }
    void ClearCalls() {
        std::lock_guard<std::mutex> lock(mutex);
        calls.clear();
    }

    int subscribeResult = 0;
    int subscriptions = 0;

  private:
    int Step(const char* name, const DeviceRef& d, int FakeDevice::*result) {
        std::lock_guard<std::mutex> lock(mutex);
        Log(std::string(name) + " " + d.udid);
        return devices[d.udid].*result;
    }
    void Log(const std::string& call) { calls << QString::fromStdString(call); }

    std::mutex mutex;
    EventHandler handler;
    std::map<std::string, FakeDevice> devices;
    QStringList calls;
};

} // namespace devicetest
