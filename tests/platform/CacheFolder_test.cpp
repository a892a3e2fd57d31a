// Folders made and removed under the application's cache root: only real folders inside
// the root go, links are removed as links, and a folder that exists is never "made".
#include "platform/CacheFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void Touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
}

TEST(CacheFolder, MakeNewMakesOnlyWhatIsNotThere) {
    QTemporaryDir dir;
    const QString parent = dir.path() + "/cache/scan";
    EXPECT_TRUE(CacheFolder::MakeNew(parent, "1"));
    EXPECT_TRUE(QFileInfo(parent + "/1").isDir());
    EXPECT_FALSE(CacheFolder::MakeNew(parent, "1")); // already there
    Touch(parent + "/2");
    EXPECT_FALSE(CacheFolder::MakeNew(parent, "2")); // a file of that name
    for (const char* bad : {"", ".", "..", "a/b"})
        EXPECT_FALSE(CacheFolder::MakeNew(parent, bad)) << bad;
    // A parent that is a link to somewhere else gets nothing made in it.
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile::link(elsewhere.path(), dir.path() + "/linked"));
    EXPECT_FALSE(CacheFolder::MakeNew(dir.path() + "/linked", "1"));
    EXPECT_FALSE(QFileInfo::exists(elsewhere.path() + "/1"));
}

TEST(CacheFolder, RemoveInsideNeverLeavesTheRoot) {
    QTemporaryDir dir, elsewhere;
    const QString root = dir.path() + "/cache";
    ASSERT_TRUE(QDir().mkpath(root + "/scan/1/sub"));
    Touch(root + "/scan/1/picture.png");
    Touch(elsewhere.path() + "/precious.jpg");
    ASSERT_TRUE(QDir().mkpath(elsewhere.path() + "/folder"));
    Touch(elsewhere.path() + "/folder/inside.jpg");
    // Links inside the folder removed: to a file and to a folder outside the root.
    ASSERT_TRUE(QFile::link(elsewhere.path() + "/precious.jpg", root + "/scan/1/file-link"));
    ASSERT_TRUE(QFile::link(elsewhere.path() + "/folder", root + "/scan/1/sub/folder-link"));
    // A scan folder that is itself a link, and one reached through a linked folder.
    ASSERT_TRUE(QFile::link(elsewhere.path() + "/folder", root + "/scan/2"));
    ASSERT_TRUE(QFile::link(elsewhere.path(), root + "/through"));

    struct Case {
        QString folder;
        bool removed;
    } refused[] = {
        {root, false},                            // the root itself
        {root + "/..", false},                    // above it
        {elsewhere.path() + "/folder", false},    // outside it
        {root + "/scan/../../x", false},          // outside after normalising
        {root + "/scan/2", false},                // a link
        {root + "/through/folder", false},        // below a link
        {QStringLiteral("relative/path"), false}, // not absolute
    };
    for (const Case& c : refused)
        EXPECT_EQ(CacheFolder::RemoveInside(c.folder, root), c.removed) << c.folder.toStdString();
    EXPECT_TRUE(QFileInfo::exists(elsewhere.path() + "/folder/inside.jpg"));
    EXPECT_TRUE(QFileInfo(root + "/scan/2").isSymLink());

    EXPECT_TRUE(CacheFolder::RemoveInside(root + "/scan/1", root));
    EXPECT_FALSE(QFileInfo::exists(root + "/scan/1"));
    EXPECT_TRUE(QFileInfo::exists(elsewhere.path() + "/precious.jpg"));
    EXPECT_TRUE(QFileInfo::exists(elsewhere.path() + "/folder/inside.jpg"));
    // Gone already: nothing to do.
    EXPECT_TRUE(CacheFolder::RemoveInside(root + "/scan/1", root));
}

} // namespace
