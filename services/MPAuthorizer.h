#pragma once
// One kind of privacy permission: its status and a request for it.
#include <functional>

enum MPPermissionKind : unsigned {
    MPPermissionKindEvents = 0,
    MPPermissionKindReminders = 1,
    MPPermissionKindContacts = 2,
    MPPermissionKindPhotos = 3,
    MPPermissionKindFullDiskAccess = 4,
};

enum MPAccessState : unsigned {
    MPAccessStateUndecided = 0,
    MPAccessStateRefused = 1,
    MPAccessStateGranted = 2,
    MPAccessStatePartial = 3, // limited access, photos only
};

using MPAccessCompletion = std::function<void(MPAccessState)>;

class MPAuthorizer {
  public:
    virtual ~MPAuthorizer() = default;
    virtual MPAccessState authorizationStatus() = 0;
    // Calls the completion once with the outcome (possibly at once, on the calling thread).
    virtual void requestAuthorizationWithCompletion(MPAccessCompletion completion) = 0;
};
