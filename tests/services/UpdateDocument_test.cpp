// The update document's rules and the version comparison.
#include "services/UpdateDocument.h"

#include <gtest/gtest.h>

TEST(UpdateDocument, VersionComparison) {
    struct Case {
        const char* a;
        const char* b;
        bool newer;
    } cases[] = {
        {"2.0", "1.9.9", true},     {"1.2.1", "1.2", true},
        {"1.2.0", "1.2", false},    {"1.2", "1.2.1", false},
        {"1.2", "1.2", false},      {"1.10", "1.9", true},
        {"1.2.0.1", "1.2", true},   {"1.2", "1.2.0.1", false},
        {"1.a", "1.0", false},      {"1.3b", "1.2", true},
        {"x", "0", false},          {"1.-1", "1.0", false},
        {"1.2.0.-1", "1.2", false}, {"", "", false},
        {"2", "10", false},         {"99999999999999999999", "1", true},
    };
    for (const auto& tc : cases) {
        EXPECT_EQ(UpdateDocument::IsVersionBiggerThanVersion(tc.a, tc.b), tc.newer) << tc.a << " vs " << tc.b;
    }
}

TEST(UpdateDocument, OnlyWellTypedObjects) {
    const auto full =
        UpdateDocument::Parse(R"({"version":"2.0","info":"<b>notes</b>","download":"https://x.test/d"})");
    ASSERT_TRUE(full.has_value());
    EXPECT_EQ(full->version, "2.0");
    EXPECT_EQ(full->info, QString("<b>notes</b>"));
    EXPECT_EQ(full->download, QString("https://x.test/d"));
    const auto bare = UpdateDocument::Parse(R"({"version":"2.0"})");
    ASSERT_TRUE(bare.has_value());
    EXPECT_FALSE(bare->info.has_value());
    EXPECT_FALSE(bare->download.has_value());

    const QByteArray bad[] = {
        "",
        "not json",
        "\"2.0\"",
        "2",
        R"(["version","2.0"])",
        R"({"info":"x"})",
        R"({"version":2})",
        R"({"version":"2.0","info":7})",
        R"({"version":"2.0","download":["https://x"]})",
        R"({"version":"2.0")",
        "{\"version\":\"2.0\",\"info\":\"" + QByteArray(UpdateDocument::kMaxBytes, 'a') + "\"}",
    };
    for (const QByteArray& body : bad)
        EXPECT_FALSE(UpdateDocument::Parse(body).has_value()) << body.left(60).toStdString();
}

TEST(UpdateDocument, DownloadAddresses) {
    EXPECT_TRUE(UpdateDocument::DownloadUrl("https://example.org/get").has_value());
    EXPECT_TRUE(UpdateDocument::DownloadUrl("http://example.org/get").has_value());
    for (const char* bad : {"file:///etc/passwd", "javascript:alert(1)", "custom://open", "/relative/path",
                            "", "https://", "ftp://example.org/x"}) {
        EXPECT_FALSE(UpdateDocument::DownloadUrl(bad).has_value()) << bad;
    }
}
