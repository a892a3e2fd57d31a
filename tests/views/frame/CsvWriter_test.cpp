#include "views/frame/CsvWriter.h"
#include "views/frame/ResultText.h"
#include "views/frame/SaveNames.h"
#include "tests/kit/CsvReader.h"
#include "tests/kit/ScratchFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

TEST(CsvWriter, NewFileHasTheMarkAndAppendingAddsAHeaderEachTime) {
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
    EXPECT_EQ(CsvWriter::Bom() + one + one, ReadAll(dir.path() / "Bookmarks.csv"));
}

TEST(CsvWriter, AnExistingNonEmptyFileGetsNoMark) {
    kit::ScratchFolder dir("csv");
    std::ofstream(dir.path() / "x.csv") << "old\n";
    {
        CsvWriter w(SaveFolder(QString::fromStdString(dir.path().string())), "x.csv", {});
        EXPECT_TRUE(w.WriteHeader("h"));
    }
    EXPECT_EQ(QByteArray("old\nh\n"), ReadAll(dir.path() / "x.csv"));
}

TEST(CsvWriter, PlacesThatCannotBeWrittenFail) {
    kit::ScratchFolder dir("csv");
    const QString root = QString::fromStdString(dir.path().string());
    // The name taken by a folder; a link; a folder that is gone.
    std::filesystem::create_directory(dir.path() / "taken.csv");
    std::filesystem::create_symlink("/tmp", dir.path() / "link.csv");
    for (const char* name : {"taken.csv", "link.csv"}) {
        CsvWriter w(SaveFolder(root), name, {});
        EXPECT_FALSE(w.IsOpen()) << name;
        EXPECT_FALSE(w.WriteHeader("h"));
        EXPECT_FALSE(w.WriteLine({"a"}));
    }
    CsvWriter gone(SaveFolder(root + "/missing"), "a.csv", {});
    EXPECT_FALSE(gone.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
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
