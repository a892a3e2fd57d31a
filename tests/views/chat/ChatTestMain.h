#pragma once
// main() of the chat views' tests: UTC local time, then the kit's window-test main.
#include "tests/kit/QtTestMain.h"

#include <ctime>

#define CHAT_TEST_MAIN(Application)                                                                          \
    int main(int argc, char** argv) {                                                                        \
        qputenv("TZ", "UTC");                                                                                \
        tzset();                                                                                             \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");          \
        kit::QtTestHome home;                                                                                \
        Application app(argc, argv);                                                                         \
        Application::setOrganizationName(QStringLiteral("DirizaTest"));                                      \
        Application::setApplicationName(QStringLiteral("DirizaTest"));                                       \
        ::testing::InitGoogleTest(&argc, argv);                                                              \
        return RUN_ALL_TESTS();                                                                              \
    }
