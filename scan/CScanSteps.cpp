#include "scan/CScanSteps.h"

#include "scan/CScanManager.h"

// One line per parser of this build: construct it with the scan manager as owner, run
// it, let it go out of scope before the next step. Steps left empty are parsers this
// build does not have yet; their lists are still reported (empty).
CScanSteps CScanSteps::Default() {
    CScanSteps steps;
    return steps;
}
