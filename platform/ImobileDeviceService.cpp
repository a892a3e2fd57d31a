#include "platform/ImobileDeviceService.h"

#include "platform/PlistDocument.h"

#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>
#include <plist/plist.h>
#include <usbmuxd.h>

#include <cstdlib>

namespace {
constexpr const char* kClientLabel = "diriza";

// The HostID of this computer's pair record for the device, or empty.
std::string pairRecordHostId(const std::string& udid) {
    char* data = nullptr;
    uint32_t size = 0;
    if (usbmuxd_read_pair_record(udid.c_str(), &data, &size) != 0 || !data) return {};
    const PlistDocument record = PlistDocument::FromBytes(QByteArray(data, qsizetype(size)));
    free(data);
    return record.String({"HostID"}).value_or(QString()).toStdString();
}
} // namespace

struct ImobileDeviceService::Connection {
    idevice_t device = nullptr;
    lockdownd_client_t client = nullptr;
    std::string sessionId;

    ~Connection() {
        if (client) {
            if (!sessionId.empty()) lockdownd_stop_session(client, sessionId.c_str());
            lockdownd_client_free(client);
        }
        if (device) idevice_free(device);
    }
};

ImobileDeviceService::ImobileDeviceService() = default;

ImobileDeviceService::~ImobileDeviceService() {
    Unsubscribe();
    std::lock_guard<std::mutex> lock(connectionsMutex);
    connections.clear();
}

void ImobileDeviceService::OnEvent(const void* rawEvent, void* user) {
    auto* self = static_cast<ImobileDeviceService*>(user);
    const auto* event = static_cast<const idevice_event_t*>(rawEvent);
    if (!self || !event) return;
    DeviceEvent out;
    switch (event->event) {
    case IDEVICE_DEVICE_ADD:
        out.kind = DeviceEvent::Connected;
        break;
    case IDEVICE_DEVICE_REMOVE:
        out.kind = DeviceEvent::Removed;
        break;
    case IDEVICE_DEVICE_PAIRED:
        out.kind = DeviceEvent::Paired;
        break;
    default:
        return;
    }
    out.device.udid = event->udid ? event->udid : "";
    out.device.connection = int(event->conn_type);
    std::lock_guard<std::mutex> lock(self->handlerMutex);
    if (self->handler) self->handler(out);
}

int ImobileDeviceService::Subscribe(EventHandler eventHandler) {
    {
        std::lock_guard<std::mutex> lock(handlerMutex);
        handler = std::move(eventHandler);
    }
    if (subscribed) return 0;
    const idevice_error_t error =
        idevice_event_subscribe([](const idevice_event_t* event, void* user) { OnEvent(event, user); }, this);
    subscribed = error == IDEVICE_E_SUCCESS;
    return subscribed ? 0 : int(error);
}

void ImobileDeviceService::Unsubscribe() {
    if (subscribed) idevice_event_unsubscribe();
    subscribed = false;
    std::lock_guard<std::mutex> lock(handlerMutex);
    handler = nullptr;
}

ImobileDeviceService::Connection* ImobileDeviceService::Open(const DeviceRef& device) {
    if (device.isNull()) return nullptr;
    std::lock_guard<std::mutex> lock(connectionsMutex);
    const auto key = std::make_pair(device.udid, device.connection);
    if (auto it = connections.find(key); it != connections.end()) return it->second.get();
    auto connection = std::make_unique<Connection>();
    const int lookup =
        device.connection == CONNECTION_NETWORK ? IDEVICE_LOOKUP_NETWORK : IDEVICE_LOOKUP_USBMUX;
    if (idevice_new_with_options(&connection->device, device.udid.c_str(), idevice_options(lookup)) !=
            IDEVICE_E_SUCCESS ||
        lockdownd_client_new(connection->device, &connection->client, kClientLabel) != LOCKDOWN_E_SUCCESS)
        return nullptr;
    Connection* open = connection.get();
    connections[key] = std::move(connection);
    return open;
}

int ImobileDeviceService::Connect(const DeviceRef& device) {
    return Open(device) ? 0 : 1;
}

bool ImobileDeviceService::IsPaired(const DeviceRef& device) {
    if (device.isNull()) return false;
    if (!pairRecordHostId(device.udid).empty()) return true;
    // No pair record yet: ask the device to pair. Until the user answers the question
    // on the device, the request reports that the answer is pending.
    Connection* connection = Open(device);
    if (!connection) return false;
    return lockdownd_pair(connection->client, nullptr) == LOCKDOWN_E_SUCCESS;
}

int ImobileDeviceService::ValidatePairing(const DeviceRef& device) {
    Connection* connection = Open(device);
    if (!connection) return 1;
    const lockdownd_error_t error = lockdownd_validate_pair(connection->client, nullptr);
    return error == LOCKDOWN_E_SUCCESS ? 0 : int(error);
}

int ImobileDeviceService::StartSession(const DeviceRef& device) {
    Connection* connection = Open(device);
    if (!connection) return 1;
    if (!connection->sessionId.empty()) return 0;
    const std::string hostId = pairRecordHostId(device.udid);
    if (hostId.empty()) return 1;
    char* sessionId = nullptr;
    int ssl = 0;
    const lockdownd_error_t error =
        lockdownd_start_session(connection->client, hostId.c_str(), &sessionId, &ssl);
    if (sessionId) {
        connection->sessionId = sessionId;
        free(sessionId);
    }
    return error == LOCKDOWN_E_SUCCESS ? 0 : int(error);
}

std::optional<std::string> ImobileDeviceService::CopyValue(const DeviceRef& device, const std::string& key) {
    Connection* connection = Open(device);
    if (!connection) return std::nullopt;
    plist_t value = nullptr;
    if (lockdownd_get_value(connection->client, nullptr, key.c_str(), &value) != LOCKDOWN_E_SUCCESS || !value)
        return std::nullopt;
    std::optional<std::string> out;
    if (plist_get_node_type(value) == PLIST_STRING) {
        uint64_t length = 0;
        if (const char* text = plist_get_string_ptr(value, &length)) out = std::string(text, length);
    }
    plist_free(value);
    return out;
}

void ImobileDeviceService::Disconnect(const DeviceRef& device) {
    std::unique_ptr<Connection> connection;
    {
        std::lock_guard<std::mutex> lock(connectionsMutex);
        auto it = connections.find(std::make_pair(device.udid, device.connection));
        if (it == connections.end()) return;
        connection = std::move(it->second);
        connections.erase(it);
    }
}
