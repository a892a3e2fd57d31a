#include "services/MPPhotosAuthorizer.h"

MPAccessState MPPhotosAuthorizer::authorizationStatus() {
    return MPAccessStateGranted;
}

void MPPhotosAuthorizer::requestAuthorizationWithCompletion(MPAccessCompletion completion) {
    if (completion) completion(MPAccessStateGranted);
}

MPAccessState MPPhotosAuthorizer::StateFromRawStatus(long raw) {
    switch (raw) {
    case 0:
        return MPAccessStateUndecided;
    case 3:
        return MPAccessStateGranted;
    case 4:
        return MPAccessStatePartial;
    default:
        return MPAccessStateRefused;
    }
}
