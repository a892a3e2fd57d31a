#pragma once
#include "services/MPAuthorizer.h"

// Contacts: the raw status of MPContactsAuthorization mapped to an access state; a
// request completes with granted at once.
class MPContactsAuthorizer : public MPAuthorizer {
  public:
    MPAccessState authorizationStatus() override;
    void requestAuthorizationWithCompletion(MPAccessCompletion completion) override;

    // 0 undecided, 3 granted, every other value refused.
    static MPAccessState StateFromRawStatus(long raw);
};
