#pragma once
#include "services/MPAuthorizer.h"

#include <memory>

// Calendar events (entity type 0) or reminders (1). This system never reads the
// computer's calendars, and the desktop keeps no permission for them: both answer
// granted, and a request completes with granted at once.
class MPCalendarAuthorizer : public MPAuthorizer {
  public:
    explicit MPCalendarAuthorizer(unsigned entityType) : entityType(entityType) {}
    static std::shared_ptr<MPCalendarAuthorizer> events();
    static std::shared_ptr<MPCalendarAuthorizer> reminders();

    MPAccessState authorizationStatus() override;
    void requestAuthorizationWithCompletion(MPAccessCompletion completion) override;

    // A raw calendar-store status as an access state: 0 undecided, 3 granted, every
    // other value refused.
    static MPAccessState StateFromRawStatus(long raw);

    const unsigned entityType;
};
