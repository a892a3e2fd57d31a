#include "views/frame/CsvWriter.h"
#include "views/frame/ResultText.h"
#include "views/frame/SaveNames.h"
#include "tests/kit/FileSizeLimit.h"
#include "tests/kit/CsvReader.h"
#include "tests/kit/ScratchFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

QByteArray ReadAll(const std::filesystem::path& p) {
    QFile f(QString::fromStdString(p.string()));
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll();
}

TEST(CsvWriter, FieldsAreQuotedAndKeptAsRecovered) {
    struct Case {
        const char* raw;
        const char* field;
    };
    const Case cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"a,b", "\"a,b\""},
        {"line\nbreak\r\n", "\"line\nbreak\r\n\""},
        {"cr\ronly", "\"cr\ronly\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"\"", "\"\"\"\""},
        {"+8613800000000", "+8613800000000"}, // no formula escaping
        {"=1+1", "=1+1"},
        {" padded ", " padded "},
        {"张三, 😀", "\"张三, 😀\""},
        {"全角，逗号", "全角，逗号"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QString::fromUtf8(c.field), CsvWriter::Field(QString::fromUtf8(c.raw))) << c.raw;
    EXPECT_EQ(QByteArray("a,\",\",\n"), CsvWriter::Line({"a", ",", ""}));
}

TEST(CsvWriter, ANoteReadsBackFieldForField) {
    // Commas, quotes, line feeds, CRLF, a lone CR, a full-width comma, leading and
    // trailing blanks and an empty field, read back with a strict RFC 4180 parser.
    const std::vector<std::string> note = {"Title\nbody",
                                           "8 Finance Street, Central",
                                           "she said \"yes, \"\"twice\"\"\"",
                                           "",
                                           "one\r\ntwo\rthree",
                                           "，kept，",
                                           "  blanks  ",
                                           "\"",
                                           ",",
                                           "\n"};
    kit::ScratchFolder dir("csv");
    {
        CsvWriter w(SaveFolder(QString::fromStdString(dir.path().string())), "Notes.csv", {});
        ASSERT_TRUE(w.IsOpen());
        EXPECT_TRUE(w.WriteHeader("A,B,C,D,E,F,G,H,I,J"));
        QStringList fields;
        for (const auto& f : note)
            fields << QString::fromStdString(f);
        EXPECT_TRUE(w.WriteLine(fields));
        EXPECT_TRUE(w.WriteLine({"second", "row"}));
        EXPECT_TRUE(w.Close());
    }
    const QByteArray bytes = ReadAll(dir.path() / "Notes.csv");
    EXPECT_TRUE(bytes.startsWith(CsvWriter::Bom()));
    const auto records = kit::ParseCsv(bytes.toStdString());
    ASSERT_TRUE(records.has_value()) << bytes.toStdString();
    ASSERT_EQ(3u, records->size());
    EXPECT_EQ((kit::CsvRecord{"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"}), (*records)[0]);
    EXPECT_EQ(note, (*records)[1]);
    EXPECT_EQ((kit::CsvRecord{"second", "row"}), (*records)[2]);
}

TEST(CsvWriter, TheTestReaderRejectsWhatTheRfcForbids) {
    // The reader the saved files are checked with must not accept a loose file.
    for (const char* bad : {"a\"b\n", "\"a\"b\n", "\"open\n", "a\rb\n", "\"a\"\"\n"})
        EXPECT_FALSE(kit::ParseCsv(bad).has_value()) << bad;
    EXPECT_EQ((std::vector<kit::CsvRecord>{{"a", ""}, {"", "b"}}), kit::ParseCsv("a,\r\n,b\n"));
}

// Every save writes files of its own: a second save of the same name (or a file of
// that name already there, whoever put it there) takes the next numbered name, and
// the earlier file stays byte for byte as it was. Each file has one mark and one header.
TEST(CsvWriter, ANameAlreadyTakenGivesTheNextNumberedNewFile) {
    kit::ScratchFolder dir("csv");
    const SaveFolder out(QString::fromStdString(dir.path().string()));
    for (int round = 0; round < 2; ++round) {
        CsvWriter w(out, "Bookmarks.csv", {"no space", "header", "line"});
        ASSERT_TRUE(w.IsOpen());
        EXPECT_TRUE(w.WriteHeader("Title,URL,State"));
        EXPECT_TRUE(w.WriteLine({"A, B", "http://x/\"q\"", "Delete"}));
        EXPECT_TRUE(w.Close());
    }
    const QByteArray one = "Title,URL,State\n\"A, B\",\"http://x/\"\"q\"\"\",Delete\n";
    EXPECT_EQ(CsvWriter::Bom() + one, ReadAll(dir.path() / "Bookmarks.csv"));
    EXPECT_EQ(CsvWriter::Bom() + one, ReadAll(dir.path() / "Bookmarks (2).csv"));

    std::ofstream(dir.path() / "x.csv") << "old\n";
    {
        CsvWriter w(out, "x.csv", {});
        EXPECT_TRUE(w.WriteHeader("h"));
        EXPECT_TRUE(w.Path().endsWith("x (2).csv")) << w.Path().toStdString();
    }
    EXPECT_EQ(QByteArray("old\n"), ReadAll(dir.path() / "x.csv"));
    EXPECT_EQ(CsvWriter::Bom() + "h\n", ReadAll(dir.path() / "x (2).csv"));
}

TEST(CsvWriter, PlacesThatCannotBeWrittenAreLeftAlone) {
    kit::ScratchFolder dir("csv");
    const QString root = QString::fromStdString(dir.path().string());
    // A name taken by a folder or a link: that place stays as it is, and the file goes to
    // the next free name.
    std::filesystem::create_directory(dir.path() / "taken.csv");
    kit::ScratchFolder target("csvtarget");
    std::filesystem::create_symlink(target.path(), dir.path() / "link.csv");
    for (const char* name : {"taken.csv", "link.csv"}) {
        CsvWriter w(SaveFolder(root), name, {});
        ASSERT_TRUE(w.IsOpen()) << name;
        EXPECT_TRUE(w.WriteHeader("h"));
        EXPECT_TRUE(w.Close());
        EXPECT_EQ(QFileInfo(w.Path()).dir().absolutePath(), QDir(root).absolutePath()) << name;
        EXPECT_TRUE(QFileInfo(w.Path()).fileName().endsWith(" (2).csv")) << name;
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "taken.csv"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "taken.csv"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "link.csv"));
    EXPECT_TRUE(std::filesystem::is_empty(target.path()));
    // A folder that is gone: nothing is written, nothing is created.
    CsvWriter gone(SaveFolder(root + "/missing"), "a.csv", {});
    EXPECT_FALSE(gone.IsOpen());
    EXPECT_FALSE(gone.WriteHeader("h"));
    EXPECT_FALSE(gone.WriteLine({"a"}));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
}

// A disk that fills during a save: the save of that file fails, and the cut file it
// created is removed, so nobody takes it for a complete save. Files of earlier saves stay.
TEST(CsvWriter, AFileCutByAFullDiskIsRemoved) {
    kit::ScratchFolder dir("csv");
    const SaveFolder out(QString::fromStdString(dir.path().string()));
    std::ofstream(dir.path() / "Calls.csv") << "earlier save\n";
    bool wrote = true, closed = true;
    QString path;
    {
        const kit::FileSizeLimit limit(4096);
        if (!limit.Set()) GTEST_SKIP() << "file size limit not settable";
        CsvWriter w(out, "Calls.csv", {"no space", "header", "line"});
        path = w.Path();
        wrote = w.WriteHeader("Number,Name");
        for (int i = 0; i < 1000; ++i)
            wrote = w.WriteLine({QString::number(i), QString(40, QChar(u'x'))}) && wrote;
        closed = w.Close();
    }
    EXPECT_FALSE(wrote && closed);
    EXPECT_TRUE(path.endsWith("Calls (2).csv")) << path.toStdString();
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(QByteArray("earlier save\n"), ReadAll(dir.path() / "Calls.csv"));
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(dir.path()),
                               std::filesystem::directory_iterator()));
}

TEST(SaveNames, UnsafeKeysGiveSafeUniqueNames) {
    SaveNames names(".csv");
    EXPECT_EQ("_.csv", names.NameFor(""));
    EXPECT_EQ("_ (2).csv", names.NameFor(".."));
    EXPECT_EQ("a_b.csv", names.NameFor("a/b"));
    EXPECT_EQ("a_b (2).csv", names.NameFor("a\\b"));
    EXPECT_EQ("a_b (3).csv", names.NameFor("a\nb"));
    EXPECT_EQ("a_b.csv", names.NameFor("a/b")); // the same key, the same file
    const QString longKey(300, QChar(0x4E2D));
    const QString first = names.NameFor(longKey);
    const QString second = names.NameFor(longKey + "x");
    EXPECT_LE(first.toUtf8().size(), SaveFolder::MaxNameBytes);
    EXPECT_LE(second.toUtf8().size(), SaveFolder::MaxNameBytes);
    EXPECT_TRUE(second.endsWith(" (2).csv")) << second.toStdString();
}

TEST(SaveNames, SubFolderIsMadeOnceAndNeverFollowsALink) {
    kit::ScratchFolder dir("sub");
    const SaveFolder out(QString::fromStdString(dir.path().string()));
    auto sub = SaveNames::SubFolder(out, "SMS");
    ASSERT_TRUE(sub);
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "SMS"));
    EXPECT_TRUE(SaveNames::SubFolder(out, "SMS"));
    std::ofstream(dir.path() / "file") << "x";
    EXPECT_FALSE(SaveNames::SubFolder(out, "file"));
    std::filesystem::create_symlink("/tmp", dir.path() / "lnk");
    EXPECT_FALSE(SaveNames::SubFolder(out, "lnk"));
    auto dots = SaveNames::SubFolder(out, "../up");
    ASSERT_TRUE(dots);
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / ".._up"));
    EXPECT_FALSE(
        SaveNames::SubFolder(SaveFolder(QString::fromStdString((dir.path() / "none").string())), "x"));
}

TEST(ResultText, Durations) {
    struct Case {
        qint64 seconds;
        const char* text;
    };
    const Case cases[] = {
        {0, "00:00:00"},       {59, "00:00:59"},
        {60, "00:01:00"},      {75, "00:01:15"},
        {3599, "00:59:59"},    {3600, "01:00:00"},
        {360000, "100:00:00"}, {-5, "-00:00:05"},
        {-3661, "-01:01:01"},  {8589934592LL, "2386092:56:32"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QString(c.text), ResultText::Duration(c.seconds)) << c.seconds;
    EXPECT_FALSE(ResultText::Duration(std::numeric_limits<qint64>::min()).isEmpty());
}

TEST(ResultText, LocalTimesUseTheTimeZone) {
    // The tests run with TZ=UTC (see main).
    EXPECT_EQ("", ResultText::LocalTime(0)); // no date known
    EXPECT_EQ("", ResultText::LocalTime(0, "yyyy-MM-dd HH:mm"));
    EXPECT_EQ("1970-01-01 00:00:01", ResultText::LocalTime(1));
    EXPECT_EQ("1969-12-31 23:59:59", ResultText::LocalTime(-1));
    EXPECT_EQ("2001-01-01 00:00", ResultText::LocalTime(978307200, "yyyy-MM-dd HH:mm"));
}

} // namespace

int main(int argc, char** argv) {
    qputenv("TZ", "UTC");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
