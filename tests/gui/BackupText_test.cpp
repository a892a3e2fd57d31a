// Text from a backup: its reading direction comes from its own first strong character,
// and wrapped paragraphs break between words, inside a word only when it is longer than
// the line.
#include "gui/BackupText.h"

#include "tests/kit/QtTestMain.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

TEST(BackupText, DirectionFromTheFirstStrongCharacter) {
    const struct {
        const char* text;
        Qt::LayoutDirection fallback;
        Qt::LayoutDirection direction;
    } cases[] = {
        {"Hello！", Qt::RightToLeft, Qt::LeftToRight},
        {"明天上午开会，请准时参加！", Qt::RightToLeft, Qt::LeftToRight},
        {"!!! 123 see you", Qt::RightToLeft, Qt::LeftToRight},
        {"مرحبا، كيف حالك؟", Qt::LeftToRight, Qt::RightToLeft},
        {"12: שלום", Qt::LeftToRight, Qt::RightToLeft},
        {"\xF0\x9D\x90\x80 bold", Qt::RightToLeft, Qt::LeftToRight}, // a letter beyond U+FFFF
        {"2020/09/13 12:26:40", Qt::RightToLeft, Qt::RightToLeft},   // none: the interface's
        {"+49 30 1234567", Qt::LeftToRight, Qt::LeftToRight},
        {"", Qt::RightToLeft, Qt::RightToLeft},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.direction, BackupText::Direction(U(c.text), c.fallback));
        EXPECT_EQ(c.direction,
                  BackupText::WrappedOption(U(c.text), Qt::AlignLeft, c.fallback).textDirection());
    }
}

TEST(BackupText, IsolatedTextKeepsItsCharacters) {
    EXPECT_EQ(QString(), BackupText::Isolated(QString()));
    const QString isolated = BackupText::Isolated(U("Hello！"));
    EXPECT_EQ(QChar(0x2068), isolated.front());
    EXPECT_EQ(QChar(0x2069), isolated.back());
    EXPECT_EQ(U("Hello！"), isolated.mid(1, isolated.size() - 2));
}

TEST(BackupText, LinesBreakBetweenWordsAndInsideOnlyTooLongWords) {
    QFont font;
    font.setPixelSize(14);
    const QFontMetricsF metrics(font);
    const qreal width = 150;
    const QString sentence = U("Quarterly planning meeting with the regional sales team tomorrow morning "
                               "at the downtown office, please bring the updated spreadsheets!");
    const QString longWord = QString(40, QLatin1Char('w')); // far wider than a line
    const QString mixed = U("see ") + longWord + U(" soon");
    for (const QString& text : {sentence, mixed}) {
        SCOPED_TRACE(text.toStdString());
        const QStringList lines = BackupText::WrappedLines(
            text, font, width, BackupText::WrappedOption(text, Qt::AlignLeft, Qt::LeftToRight));
        ASSERT_GT(lines.size(), 1);
        EXPECT_EQ(text, lines.join(QString()));
        for (const QString& line : lines) {
            EXPECT_LE(metrics.horizontalAdvance(line.trimmed()), width + 0.5) << line.toStdString();
            // Each line holds whole words, unless a word is wider than the line.
            const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            for (const QString& word : words) {
                const bool whole = sentence.split(QLatin1Char(' ')).contains(word) ||
                                   mixed.split(QLatin1Char(' ')).contains(word);
                EXPECT_TRUE(whole || longWord.contains(word)) << word.toStdString();
            }
        }
    }
    // The over-long word is broken; its neighbours are not.
    const QStringList lines = BackupText::WrappedLines(
        mixed, font, width, BackupText::WrappedOption(mixed, Qt::AlignLeft, Qt::LeftToRight));
    EXPECT_EQ(U("see "), lines.front());
    EXPECT_EQ(U("soon"), lines.back().split(QLatin1Char(' ')).back());
    // Sizes follow the same lines.
    const QSizeF size = BackupText::WrappedSize(
        sentence, font, width, BackupText::WrappedOption(sentence, Qt::AlignLeft, Qt::LeftToRight));
    EXPECT_LE(size.width(), width + 0.5);
    EXPECT_GE(size.height(), (lines.size() > 0 ? 2 : 0) * metrics.height() - 1);
    EXPECT_EQ(QSizeF(0, 0), BackupText::WrappedSize(QString(), font, width, QTextOption()));
}

} // namespace

KIT_QT_TEST_MAIN(QGuiApplication)
