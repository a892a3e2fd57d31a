// Text from a backup: its reading direction comes from its own first strong character,
// and wrapped paragraphs break between words, inside a word only when it is longer than
// the line.
#include "gui/BackupText.h"

#include "tests/kit/QtTestMain.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QTextLayout>

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

TEST(BackupText, DirectionFromTheFirstStrongCharacter) {
    const struct {
        const char* text;
        Qt::LayoutDirection direction;
    } cases[] = {
        {"Hello！", Qt::LeftToRight},
        {"明天上午开会，请准时参加！", Qt::LeftToRight},
        {"!!! 123 see you", Qt::LeftToRight},
        {"مرحبا، كيف حالك؟", Qt::RightToLeft},
        {"12: שלום", Qt::RightToLeft},
        {"\xF0\x9D\x90\x80 bold", Qt::LeftToRight}, // a letter beyond U+FFFF
        {"2020/09/13 12:26:40", Qt::LeftToRight},   // none: left to right, as digits read
        {"+49 30 1234567", Qt::LeftToRight},
        {"\xE2\x81\xA7abc\xE2\x81\xA9 \xD7\xA9", Qt::RightToLeft}, // an isolate is passed over
        {"", Qt::LeftToRight},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.direction, BackupText::Direction(U(c.text)));
        EXPECT_EQ(c.direction, BackupText::WrappedOption(U(c.text), Qt::AlignLeft).textDirection());
    }
}

// A wrapped paragraph starts at its own leading side: the right one for a right-to-left
// text (a text layout takes left as left), unless the alignment is absolute.
TEST(BackupText, WrappedTextStartsAtItsLeadingSide) {
    const QString arabic = U("مرحبا، كيف حالك؟");
    const QString english = U("Hello there");
    EXPECT_TRUE(BackupText::WrappedOption(arabic, Qt::AlignLeft | Qt::AlignTop).alignment() & Qt::AlignRight);
    EXPECT_TRUE(BackupText::WrappedOption(english, Qt::AlignLeft | Qt::AlignTop).alignment() & Qt::AlignLeft);
    EXPECT_TRUE(BackupText::WrappedOption(arabic, Qt::AlignLeft | Qt::AlignAbsolute).alignment() &
                Qt::AlignLeft);
    // Drawn in a box wider than the text, the Arabic line ends at the box's right edge.
    QFont font;
    font.setPixelSize(14);
    const QTextOption option = BackupText::WrappedOption(arabic, Qt::AlignLeft | Qt::AlignTop);
    QString shown = arabic;
    QTextLayout layout(shown, font);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(400);
    layout.endLayout();
    EXPECT_GT(line.naturalTextRect().left(), 100);
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
        const QStringList lines =
            BackupText::WrappedLines(text, font, width, BackupText::WrappedOption(text, Qt::AlignLeft));
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
    const QStringList lines =
        BackupText::WrappedLines(mixed, font, width, BackupText::WrappedOption(mixed, Qt::AlignLeft));
    EXPECT_EQ(U("see "), lines.front());
    EXPECT_EQ(U("soon"), lines.back().split(QLatin1Char(' ')).back());
    // Sizes follow the same lines.
    const QSizeF size =
        BackupText::WrappedSize(sentence, font, width, BackupText::WrappedOption(sentence, Qt::AlignLeft));
    EXPECT_LE(size.width(), width + 0.5);
    EXPECT_GE(size.height(), (lines.size() > 0 ? 2 : 0) * metrics.height() - 1);
    EXPECT_EQ(QSizeF(0, 0), BackupText::WrappedSize(QString(), font, width, QTextOption()));
}

} // namespace

KIT_QT_TEST_MAIN(QGuiApplication)
