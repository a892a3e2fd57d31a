#include "services/MPContactsAuthorization.h"

long MPContactsAuthorization::authorizationStatusForEntityType(long /*entityType*/) {
    return 3;
}
