#pragma once
// main() of the chat views' tests: the kit's window-test main, with local time set to UTC
// before it starts.
#include "tests/kit/QtTestMain.h"

#include <cstdlib>
#include <ctime>

#define CHAT_TEST_MAIN(Application)                                                                          \
    namespace {                                                                                              \
    const bool chatTestsInUtc = [] {                                                                         \
        setenv("TZ", "UTC", 1);                                                                              \
        tzset();                                                                                             \
        return true;                                                                                         \
    }();                                                                                                     \
    }                                                                                                        \
    KIT_QT_TEST_MAIN(Application)
