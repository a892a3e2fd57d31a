#pragma once

// The raw status of the contacts store for an entity type (0 contacts). The desktop
// keeps no contacts permission and this system never reads the computer's contacts:
// the answer is always the raw "authorized" status, 3.
class MPContactsAuthorization {
  public:
    static long authorizationStatusForEntityType(long entityType);
};
