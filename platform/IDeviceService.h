#pragma once
#include <functional>
#include <optional>
#include <string>

// One connection of a device, as the device library reports it: the device's UDID and
// the kind of connection (a device plugged in by USB and reachable over the network
// has two). Compared by value; an empty UDID is the null reference.
struct DeviceRef {
    std::string udid;
    int connection = 0; // 1 USB, 2 network

    bool isNull() const { return udid.empty(); }
    bool operator==(const DeviceRef&) const = default;
};

// A device event. Kinds as handled by DeviceManage: 1 connected, 2 removed, 4 paired
// (handled like connected, without connecting first).
struct DeviceEvent {
    enum Kind { Connected = 1, Removed = 2, Paired = 4 };
    int kind = 0;
    DeviceRef device;
};

// The small device interface the device side needs: subscribe to device events and
// probe one device through its lockdown service. Every call but Subscribe and
// Unsubscribe may block; DeviceManage makes them in order on one worker thread. Status
// results are 0 on success, as the device library reports them.
class IDeviceService {
  public:
    using EventHandler = std::function<void(const DeviceEvent& event)>;

    virtual ~IDeviceService() = default;

    // Starts delivering events to the handler, on a thread of the library. 0 on success.
    virtual int Subscribe(EventHandler handler) = 0;
    // Stops delivery; no handler call starts after it returns.
    virtual void Unsubscribe() = 0;

    virtual int Connect(const DeviceRef& device) = 0;
    // True when this computer is trusted by the device.
    virtual bool IsPaired(const DeviceRef& device) = 0;
    virtual int ValidatePairing(const DeviceRef& device) = 0;
    virtual int StartSession(const DeviceRef& device) = 0;
    // A value of the device's lockdown service ("DeviceName", "UniqueDeviceID", ...),
    // or nothing when the device does not give it.
    virtual std::optional<std::string> CopyValue(const DeviceRef& device, const std::string& key) = 0;
    // Ends the session and releases the connection (harmless when not connected).
    virtual void Disconnect(const DeviceRef& device) = 0;
};
