#pragma once
#include "services/MPAuthorizer.h"

// The photo library. This system never reads the computer's photos and the desktop
// keeps no permission for them: granted, and a request completes with granted at once.
class MPPhotosAuthorizer : public MPAuthorizer {
  public:
    MPAccessState authorizationStatus() override;
    void requestAuthorizationWithCompletion(MPAccessCompletion completion) override;

    // A raw photo-library status: 0 undecided, 1 and 2 refused, 3 granted, 4 partial,
    // anything above refused.
    static MPAccessState StateFromRawStatus(long raw);
};
