// Names from a backup become safe file names that stay inside the chosen folder.
#include "gui/SaveFolder.h"

#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/ScratchFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

QString Q(const fs::path& p) {
    return QString::fromStdString(p.string());
}

struct NameCase {
    const char* label;
    QString name;
    QString expected;
};

TEST(SaveFolderTest, SafeNameTable) {
    const QString longStem(300, QLatin1Char('a'));
    const QString e3 = QString::fromUtf8("\xE2\x82\xAC"); // 3 bytes in UTF-8
    const QString longEuro = QString(e3).repeated(100);   // 300 bytes
    const NameCase cases[] = {
        {"plain", "photo.jpg", "photo.jpg"},
        {"parent", "../x", ".._x"},
        {"absolute", "/etc/passwd", "_etc_passwd"},
        {"slash", "a/b", "a_b"},
        {"backslash", "a\\b", "a_b"},
        {"empty", "", "_"},
        {"dot", ".", "_"},
        {"dotdot", "..", "_"},
        {"newline", "a\nb", "a_b"},
        {"nul", QString::fromUtf16(u"a\0b", 3), "a_b"},
        {"delete char", QString::fromUtf16(u"a\x7f", 2), "a_"},
        {"hidden", ".profile", ".profile"},
        {"unicode kept", QString::fromUtf8("\xE7\x85\xA7\xE7\x89\x87.png"),
         QString::fromUtf8("\xE7\x85\xA7\xE7\x89\x87.png")},
        {"300 bytes, extension kept", longStem + ".jpg", QString(196, QLatin1Char('a')) + ".jpg"},
        {"300 bytes, no extension", longStem, QString(200, QLatin1Char('a'))},
        {"cut at a character boundary", longEuro + ".txt", QString(e3).repeated(65) + ".txt"},
        {"overlong extension cut as a whole", "a." + longStem, "a." + QString(198, QLatin1Char('a'))},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.label);
        const QString safe = SaveFolder::SafeName(c.name);
        EXPECT_EQ(c.expected.toStdString(), safe.toStdString());
        EXPECT_LE(safe.toUtf8().size(), SaveFolder::MaxNameBytes);
    }
}

TEST(SaveFolderTest, FileForStaysInsideTheFolder) {
    kit::ScratchFolder scratch("savefolder");
    const fs::path out = scratch.path() / "out";
    fs::create_directory(out);
    const SaveFolder folder(Q(out));
    ASSERT_TRUE(folder.isValid());
    const auto before = kit::FolderSnapshot::Take(scratch.path());
    for (const QString name :
         {QString("../x"), QString("/etc/passwd"), QString("a/b"), QString(""), QString("."), QString(".."),
          QString(300, QLatin1Char('z')), QString("a\nb")}) {
        SCOPED_TRACE(name.toStdString());
        const auto path = folder.FileFor(name);
        ASSERT_TRUE(path.has_value());
        EXPECT_EQ(Q(fs::canonical(out)), QFileInfo(*path).absolutePath());
    }
    EXPECT_EQ("", kit::FolderSnapshot::Take(scratch.path()).DiffFrom(before));
}

TEST(SaveFolderTest, InvalidFolders) {
    kit::ScratchFolder scratch("savefolder");
    const fs::path file = scratch.path() / "file";
    std::ofstream(file) << "x";
    for (const QString folder : {QString(), Q(scratch.path() / "missing"), Q(file)}) {
        SCOPED_TRACE(folder.toStdString());
        const SaveFolder f(folder);
        EXPECT_FALSE(f.isValid());
        EXPECT_FALSE(f.FileFor("a").has_value());
        EXPECT_FALSE(f.UniqueFileFor("a").has_value());
    }
}

TEST(SaveFolderTest, LinksAndFoldersInThePlaceAreRefused) {
    kit::ScratchFolder scratch("savefolder");
    const fs::path out = scratch.path() / "out";
    fs::create_directory(out);
    const fs::path outside = scratch.path() / "outside.txt";
    std::ofstream(outside) << "keep";
    fs::create_symlink(outside, out / "link.txt");
    fs::create_directory(out / "dir");
    const SaveFolder folder(Q(out));
    EXPECT_FALSE(folder.FileFor("link.txt").has_value());
    EXPECT_FALSE(folder.FileFor("dir").has_value());
    const auto unique = folder.UniqueFileFor("link.txt");
    ASSERT_TRUE(unique.has_value());
    EXPECT_EQ("link (2).txt", QFileInfo(*unique).fileName().toStdString());
    EXPECT_FALSE(SaveFolder::WriteNewFile(Q(out / "link.txt"), "bad"));
    std::ifstream in(outside);
    std::string content;
    in >> content;
    EXPECT_EQ("keep", content);
}

TEST(SaveFolderTest, UniqueNamesCountUp) {
    kit::ScratchFolder scratch("savefolder");
    const SaveFolder folder(Q(scratch.path()));
    QStringList names;
    for (int i = 0; i < 3; ++i) {
        const auto path = folder.UniqueFileFor("note.txt");
        ASSERT_TRUE(path.has_value());
        ASSERT_TRUE(SaveFolder::WriteNewFile(*path, "x"));
        names << QFileInfo(*path).fileName();
    }
    EXPECT_EQ(QStringList({"note.txt", "note (2).txt", "note (3).txt"}), names);
    // A long name keeps its suffix and extension within the limit.
    const QString longName = QString(300, QLatin1Char('b')) + ".csv";
    ASSERT_TRUE(SaveFolder::WriteNewFile(*folder.UniqueFileFor(longName), "x"));
    const QString second = QFileInfo(*folder.UniqueFileFor(longName)).fileName();
    EXPECT_TRUE(second.endsWith(" (2).csv"));
    EXPECT_EQ(SaveFolder::MaxNameBytes, second.toUtf8().size());
    // An existing file is never replaced.
    EXPECT_FALSE(SaveFolder::WriteNewFile(*folder.FileFor("note.txt"), "other"));
    QFile f(*folder.FileFor("note.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ("x", f.readAll().toStdString());
}

} // namespace
