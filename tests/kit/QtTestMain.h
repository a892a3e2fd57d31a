#pragma once
// main() of a GoogleTest program of the windows: a temporary home (QtTestHome), the
// offscreen platform unless another is set, the application object, then every test.
#include "tests/kit/QtTestHome.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <ostream>

// Readable failure messages for Qt texts.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '{' << l.join(", ").toStdString() << '}';
}
QT_END_NAMESPACE

#define KIT_QT_TEST_MAIN(Application)                                                                        \
    int main(int argc, char** argv) {                                                                        \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");         \
        kit::QtTestHome home;                                                                                \
        Application app(argc, argv);                                                                         \
        Application::setOrganizationName(QStringLiteral("DirizaTest"));                                      \
        Application::setApplicationName(QStringLiteral("DirizaTest"));                                       \
        ::testing::InitGoogleTest(&argc, argv);                                                              \
        return RUN_ALL_TESTS();                                                                              \
    }
