#pragma once
#include "platform/IDeviceService.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

// The device interface on libimobiledevice: device events through
// idevice_event_subscribe, and per connection a device handle and a lockdown client.
// Trust is this computer's pair record (read through usbmuxd); when there is none, the
// check asks the device to pair, which shows the trust question on its screen.
class ImobileDeviceService : public IDeviceService {
  public:
    ImobileDeviceService();
    ~ImobileDeviceService() override;

    int Subscribe(EventHandler handler) override;
    void Unsubscribe() override;
    int Connect(const DeviceRef& device) override;
    bool IsPaired(const DeviceRef& device) override;
    int ValidatePairing(const DeviceRef& device) override;
    int StartSession(const DeviceRef& device) override;
    std::optional<std::string> CopyValue(const DeviceRef& device, const std::string& key) override;
    void Disconnect(const DeviceRef& device) override;

  private:
    struct Connection;
    static void OnEvent(const void* event, void* user);
    // The open connection of a device, opened on demand; null when it cannot be opened.
    Connection* Open(const DeviceRef& device);

    std::mutex handlerMutex;
    EventHandler handler;
    bool subscribed = false;

    std::mutex connectionsMutex;
    std::map<std::pair<std::string, int>, std::unique_ptr<Connection>> connections;
};
