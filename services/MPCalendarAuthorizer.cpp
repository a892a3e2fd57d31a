#include "services/MPCalendarAuthorizer.h"

namespace {
// The raw status of a store that has granted access.
constexpr long kRawAuthorized = 3;
} // namespace

std::shared_ptr<MPCalendarAuthorizer> MPCalendarAuthorizer::events() {
    return std::make_shared<MPCalendarAuthorizer>(0);
}

std::shared_ptr<MPCalendarAuthorizer> MPCalendarAuthorizer::reminders() {
    return std::make_shared<MPCalendarAuthorizer>(1);
}

MPAccessState MPCalendarAuthorizer::authorizationStatus() {
    return StateFromRawStatus(kRawAuthorized);
}

void MPCalendarAuthorizer::requestAuthorizationWithCompletion(MPAccessCompletion completion) {
    if (completion) completion(MPAccessStateGranted);
}

MPAccessState MPCalendarAuthorizer::StateFromRawStatus(long raw) {
    if (raw == 0) return MPAccessStateUndecided;
    if (raw == kRawAuthorized) return MPAccessStateGranted;
    return MPAccessStateRefused;
}
