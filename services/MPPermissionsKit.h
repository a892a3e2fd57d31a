#pragma once
#include "services/MPAuthorizer.h"

#include <map>
#include <memory>

// The one way to ask for the status of a privacy permission and to request it. The
// table of authorizers is built on first use and kept for the process.
class MPPermissionsKit {
  public:
    using Table = std::map<unsigned, std::shared_ptr<MPAuthorizer>>;

    // Status of the kind; a kind without an authorizer is undecided (0).
    static MPAccessState authorizationStatusForPermissionType(unsigned kind);
    // Forwards to the kind's authorizer; a kind without one completes with 0 at once.
    static void requestAuthorizationForPermissionType(unsigned kind, MPAccessCompletion completion);

    static const Table& authorizers();
    // Replaces the authorizer of one kind (tests give the backups folder a fake probe).
    static void setAuthorizer(unsigned kind, std::shared_ptr<MPAuthorizer> authorizer);

  private:
    static Table& MutableTable();
};
