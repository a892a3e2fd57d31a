// The per-language text tables: the table format, and the tables shipped with the
// application holding every key the scan looks up.
#include "scan/LanguageTable.h"

#include "scan/DeviceScanManager.h"
#include "tests/scan/QtGtestMain.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <gtest/gtest.h>

TEST(LanguageTable, Format) {
    LanguageTable t;
    ASSERT_TRUE(t.Parse(R"(/* comment */ "a" = "A";
        // line comment
        "quote" = "say \"hi\"\\n";  "multi"="1\n2";
        "中" = "文";)"));
    EXPECT_EQ(t.size(), 4);
    EXPECT_EQ(t.Text("a"), "A");
    EXPECT_EQ(t.Text("quote"), "say \"hi\"\\n");
    EXPECT_EQ(t.Text("multi"), "1\n2");
    EXPECT_EQ(t.Text(QString::fromUtf8("中")), QString::fromUtf8("文"));
    EXPECT_EQ(t.Text("missing"), "missing"); // a key the table lacks yields itself

    for (const char* bad :
         {"\"a\" = \"A\"", "\"a\" \"A\";", "\"a = \"A\";", "a = \"A\";", "/* open", "\"a\" = \"A\\"}) {
        LanguageTable b;
        EXPECT_FALSE(b.Parse(bad)) << bad;
        EXPECT_EQ(b.size(), 0);
    }
    EXPECT_TRUE(LanguageTable().Parse(""));
}

TEST(LanguageTable, ShippedTablesHoldTheScanKeys) {
    const char* keys[] = {"PROGRESSTXT_NOUSE",
                          "PROGRESSTXT_SMS",
                          "PROGRESSTXT_CALL",
                          "PROGRESSTXT_CONTACT",
                          "PROGRESSTXT_SAFARI",
                          "PROGRESSTXT_REMINDER",
                          "PROGRESSTXT_NOTE",
                          "PROGRESSTXT_CALENDAR",
                          "PROGRESSTXT_WXCONTACT",
                          "PROGRESSTXT_WXCHAT",
                          "ScanComplete",
                          "Unknown",
                          "HaoYou",
                          "GongZhongHao",
                          "Qun",
                          "WxTypeExp"};
    for (const char* language : {"en", "zh-Hans"}) {
        const auto table = LanguageTable::ForLanguage(language);
        ASSERT_TRUE(table) << language;
        for (const char* key : keys) {
            ASSERT_TRUE(table->Contains(key)) << language << " " << key;
            const QString text = table->Text(key);
            EXPECT_FALSE(text.isEmpty());
            EXPECT_LE(text.toUtf8().size(), 400) << key;
            // Progress formats take only the step done, the step count and the percentage.
            if (QString(key).startsWith("PROGRESSTXT_")) {
                EXPECT_FALSE(text.contains(QRegularExpression("%(?![123%])\\S"))) << key;
                EXPECT_TRUE(text.contains("%3")) << key;
            }
        }
    }
    EXPECT_FALSE(LanguageTable::ForLanguage("xx"));
    EXPECT_FALSE(LanguageTable::ForLanguage("../en"));
    EXPECT_FALSE(LanguageTable::ForLanguage(""));
}

QT_GTEST_MAIN(QCoreApplication)
