#include "services/MPContactsAuthorizer.h"

#include "services/MPContactsAuthorization.h"

MPAccessState MPContactsAuthorizer::authorizationStatus() {
    return StateFromRawStatus(MPContactsAuthorization::authorizationStatusForEntityType(0));
}

void MPContactsAuthorizer::requestAuthorizationWithCompletion(MPAccessCompletion completion) {
    if (completion) completion(MPAccessStateGranted);
}

MPAccessState MPContactsAuthorizer::StateFromRawStatus(long raw) {
    if (raw == 0) return MPAccessStateUndecided;
    if (raw == 3) return MPAccessStateGranted;
    return MPAccessStateRefused;
}
