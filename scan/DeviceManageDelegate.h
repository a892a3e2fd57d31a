#pragma once
#include "scan/DeviceInfo.h"

#include <memory>

// Receiver of device arrivals and removals (the main page). Both messages are
// optional and are sent on the thread that created DeviceManage (the GUI thread).
class DeviceManageDelegate {
  public:
    virtual ~DeviceManageDelegate() = default;
    // A connected, trusted device with its values read; the same object again for a
    // device seen before (possibly several times).
    virtual void AddDevice(const std::shared_ptr<DeviceInfo>& device) {}
    // The device that lost its last connection, or null when every listed device
    // still holds a connection.
    virtual void RemoveDevice(const std::shared_ptr<DeviceInfo>& device) {}
};
