#pragma once
// main() of a GoogleTest program that needs a Qt application object: test mode for
// the standard paths (settings and caches under ~/.qttest), then every test.
#include <QStandardPaths>
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
        QStandardPaths::setTestModeEnabled(true);                                                            \
        Application app(argc, argv);                                                                         \
        ::testing::InitGoogleTest(&argc, argv);                                                              \
        return RUN_ALL_TESTS();                                                                              \
    }
