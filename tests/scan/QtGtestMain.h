#pragma once
// main() of a GoogleTest program that needs a Qt application object: test mode for
// the standard paths (settings and caches under ~/.qttest), then every test.
#include <QStandardPaths>

#include <gtest/gtest.h>

#define QT_GTEST_MAIN(Application)                                                                           \
    int main(int argc, char** argv) {                                                                        \
        QStandardPaths::setTestModeEnabled(true);                                                            \
        Application app(argc, argv);                                                                         \
        ::testing::InitGoogleTest(&argc, argv);                                                              \
        return RUN_ALL_TESTS();                                                                              \
    }
