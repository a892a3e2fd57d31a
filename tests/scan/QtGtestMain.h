#pragma once
// main() of a GoogleTest program that needs a Qt application object: test mode for
// the standard paths (settings and caches under ~/.qttest), the offscreen platform
// unless another is set, then every test.
#include <QByteArray>
#include <QStandardPaths>
#include <QtGlobal>
#include <QString>
#include <QStringList>

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

#define QT_GTEST_MAIN(Application)                                                                           \
    int main(int argc, char** argv) {                                                                        \
        /* Tests never need a display: run headless unless told otherwise. */                                \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");         \
        QStandardPaths::setTestModeEnabled(true);                                                            \
        Application app(argc, argv);                                                                         \
        ::testing::InitGoogleTest(&argc, argv);                                                              \
        return RUN_ALL_TESTS();                                                                              \
    }
