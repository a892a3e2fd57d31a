#include "services/MPPermissionsKit.h"

#include "services/MPCalendarAuthorizer.h"
#include "services/MPContactsAuthorizer.h"
#include "services/MPFullDiskAccessAuthorizer.h"
#include "services/MPPhotosAuthorizer.h"

MPPermissionsKit::Table& MPPermissionsKit::MutableTable() {
    static Table table = [] {
        Table t;
        t[MPPermissionKindEvents] = MPCalendarAuthorizer::events();
        t[MPPermissionKindReminders] = MPCalendarAuthorizer::reminders();
        t[MPPermissionKindContacts] = std::make_shared<MPContactsAuthorizer>();
        t[MPPermissionKindPhotos] = std::make_shared<MPPhotosAuthorizer>();
        t[MPPermissionKindFullDiskAccess] = std::make_shared<MPFullDiskAccessAuthorizer>();
        return t;
    }();
    return table;
}

const MPPermissionsKit::Table& MPPermissionsKit::authorizers() {
    return MutableTable();
}

void MPPermissionsKit::setAuthorizer(unsigned kind, std::shared_ptr<MPAuthorizer> authorizer) {
    if (kind > MPPermissionKindFullDiskAccess) return; // the five kinds only
    MutableTable()[kind] = std::move(authorizer);
}

MPAccessState MPPermissionsKit::authorizationStatusForPermissionType(unsigned kind) {
    const Table& table = authorizers();
    const auto it = table.find(kind);
    if (it == table.end() || !it->second) return MPAccessStateUndecided;
    return it->second->authorizationStatus();
}

void MPPermissionsKit::requestAuthorizationForPermissionType(unsigned kind, MPAccessCompletion completion) {
    const Table& table = authorizers();
    const auto it = table.find(kind);
    if (it == table.end() || !it->second) {
        if (completion) completion(MPAccessStateUndecided);
        return;
    }
    it->second->requestAuthorizationWithCompletion(std::move(completion));
}
