// Property lists through libplist: binary and XML, key paths, and damaged input.
#include "platform/PlistDocument.h"

#include "tests/scan/QtGtestMain.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <plist/plist.h>

namespace {

QByteArray Serialise(bool binary) {
    plist_t root = plist_new_dict();
    plist_t lockdown = plist_new_dict();
    plist_dict_set_item(lockdown, "ProductVersion", plist_new_string("16.1"));
    plist_dict_set_item(lockdown, "DeviceName", plist_new_string("Ann’s iPhone"));
    plist_dict_set_item(root, "Lockdown", lockdown);
    plist_dict_set_item(root, "IsEncrypted", plist_new_bool(1));
    plist_dict_set_item(root, "Count", plist_new_uint(0));
    plist_dict_set_item(root, "Flag", plist_new_uint(2));
    char* out = nullptr;
    uint32_t length = 0;
    if (binary)
        plist_to_bin(root, &out, &length);
    else
        plist_to_xml(root, &out, &length);
    QByteArray bytes(out, qsizetype(length));
    free(out);
    plist_free(root);
    return bytes;
}

} // namespace

TEST(PlistDocument, BinaryAndXmlReadAlike) {
    for (bool binary : {true, false}) {
        const PlistDocument doc = PlistDocument::FromBytes(Serialise(binary));
        ASSERT_TRUE(doc.isValid());
        EXPECT_EQ(doc.String({"Lockdown", "ProductVersion"}), QString("16.1"));
        EXPECT_EQ(doc.String({"Lockdown", "DeviceName"}), QString::fromUtf8("Ann’s iPhone"));
        EXPECT_TRUE(doc.HasDictionary({"Lockdown"}));
        EXPECT_TRUE(doc.HasDictionary({}));
        EXPECT_EQ(doc.Bool({"IsEncrypted"}), true);
        EXPECT_EQ(doc.Bool({"Count"}), false);
        EXPECT_EQ(doc.Bool({"Flag"}), true);
        // Missing keys and nodes of another type give nothing.
        EXPECT_EQ(doc.String({"Lockdown", "Missing"}), std::nullopt);
        EXPECT_EQ(doc.String({"Lockdown"}), std::nullopt);
        EXPECT_EQ(doc.String({"IsEncrypted", "x"}), std::nullopt);
        EXPECT_EQ(doc.Bool({"Lockdown"}), std::nullopt);
        EXPECT_FALSE(doc.HasDictionary({"IsEncrypted"}));
        EXPECT_EQ(doc.StringDictionary({"Lockdown"}).value("ProductVersion"), "16.1");
        EXPECT_TRUE(doc.StringDictionary({"Count"}).isEmpty());
    }
}

TEST(PlistDocument, DamagedInputIsNoDocument) {
    const QByteArray binary = Serialise(true);
    const QByteArray samples[] = {
        QByteArray(),
        QByteArray("bplist00"),
        binary.left(binary.size() / 2),
        QByteArray("<plist><dict><key>"),
        QByteArray(4096, '\xff'),
        QByteArray("bplist00") + QByteArray(64, '\xff'),
    };
    for (const QByteArray& bytes : samples) {
        const PlistDocument doc = PlistDocument::FromBytes(bytes);
        EXPECT_EQ(doc.String({"Lockdown", "ProductVersion"}), std::nullopt);
        EXPECT_EQ(doc.Bool({"IsEncrypted"}), std::nullopt);
    }

    QTemporaryDir dir;
    EXPECT_FALSE(PlistDocument::FromFile(dir.filePath("absent.plist")).isValid());
    EXPECT_FALSE(PlistDocument::FromFile(dir.path()).isValid()); // a folder
    QFile big(dir.filePath("big.plist"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write(binary);
    big.close();
    EXPECT_TRUE(PlistDocument::FromFile(big.fileName()).isValid());
    EXPECT_FALSE(PlistDocument::FromFile(big.fileName(), binary.size() - 1).isValid()); // over the limit
}

QT_GTEST_MAIN(QCoreApplication)

// A crafted list nested far deeper than any real one would exhaust libplist's
// recursion; it is refused instead.
TEST(PlistDocument, DeeplyNestedListIsRefusedNotACrash) {
    QByteArray xml = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (int i = 0; i < 1000000; ++i)
        xml += "<array>";
    EXPECT_FALSE(PlistDocument::FromBytes(xml).isValid());

    // Binary: each array holds the next one; 500,000 levels in about 1.5 MB.
    const int levels = 500000;
    QByteArray bin = "bplist00";
    QByteArray offsets;
    for (int i = 0; i < levels; ++i) {
        const quint32 at = quint32(bin.size());
        offsets.append(char(at >> 24)).append(char(at >> 16)).append(char(at >> 8)).append(char(at));
        bin.append('\xA1');
        const quint32 child = quint32(i + 1 < levels ? i + 1 : i); // the last one points at itself
        bin.append(char(child >> 24)).append(char(child >> 16)).append(char(child >> 8)).append(char(child));
    }
    const quint64 tableAt = quint64(bin.size());
    bin += offsets;
    QByteArray trailer(32, '\0');
    trailer[6] = 4;
    trailer[7] = 4;
    for (int b = 0; b < 8; ++b) {
        trailer[8 + b] = char(quint64(levels) >> (56 - 8 * b));
        trailer[24 + b] = char(tableAt >> (56 - 8 * b));
    }
    bin += trailer;
    EXPECT_FALSE(PlistDocument::FromBytes(bin).isValid());
}

TEST(PlistDocument, Dates) {
    // 2024-12-30 10:20:30.250 UTC, as seconds since 2001-01-01.
    const QDateTime when(QDate(2024, 12, 30), QTime(10, 20, 30, 250), Qt::UTC);
    const qint64 seconds = QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC).secsTo(when);
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "Last Backup Date", plist_new_date(int32_t(seconds), 250000));
    plist_dict_set_item(root, "Name", plist_new_string("x"));
    char* out = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &out, &length);
    const QByteArray binary(out, qsizetype(length));
    free(out);
    plist_free(root);
    const PlistDocument doc = PlistDocument::FromBytes(binary);
    EXPECT_EQ(doc.Date({"Last Backup Date"}), when);
    EXPECT_EQ(doc.Date({"Name"}), std::nullopt); // another type
    EXPECT_EQ(doc.Date({"Missing"}), std::nullopt);
    const PlistDocument xml = PlistDocument::FromBytes(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        "<key>Last Backup Date</key><date>2024-12-30T10:20:30Z</date></dict></plist>");
    EXPECT_EQ(xml.Date({"Last Backup Date"}), QDateTime(QDate(2024, 12, 30), QTime(10, 20, 30), Qt::UTC));
}
