#pragma once
// main() of the window tests of the services: HOME and the XDG folders in a temporary
// folder (settings, caches and downloads never touch the user's), the offscreen
// platform unless another is set, an application object, then every test.
#include "tests/scan/QtGtestMain.h"

#include <QTemporaryDir>

#define SERVICES_TEST_MAIN(Application)                                                                      \
    int main(int argc, char** argv) {                                                                        \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");          \
        QTemporaryDir home;                                                                                  \
        for (const char* v : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {                 \
            qputenv(v, home.path().toUtf8() + "/" + QByteArray(v));                                          \
        }                                                                                                    \
        Application app(argc, argv);                                                                         \
        Application::setOrganizationName(QStringLiteral("DirizaServicesTest"));                              \
        Application::setApplicationName(QStringLiteral("DirizaServicesTest"));                               \
        ::testing::InitGoogleTest(&argc, argv);                                                              \
        return RUN_ALL_TESTS();                                                                              \
    }
