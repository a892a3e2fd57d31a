#include "app/pages/ServiceHooks.h"

ServiceHooks& ServiceHooks::Current() {
    static ServiceHooks hooks;
    return hooks;
}
