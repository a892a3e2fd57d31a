#pragma once
#include <QColor>
#include <QList>
#include <QString>
#include <QTextLayout>

// Small text helpers shared by several windows; pure functions.
class MyExtensions {
  public:
    MyExtensions() = delete;

    // The MD5 digest of the text's UTF-8 bytes, up to the first NUL character, as 32
    // lower-case hexadecimal digits.
    static QString md5(const QString& text);

    // A file name shortened to fit under a thumbnail: unchanged while its width is at
    // most 11, else up to width 5 from the start, "...", and up to width 5 from the end.
    static QString thumb13(const QString& text);
    // The same with the limits 15, 6 and 7.
    static QString thumb17(const QString& text);
    // The width the two above measure: characters U+0800 and above (Chinese, Japanese,
    // Korean, and characters beyond U+FFFF such as emoji, which are never split) weigh
    // 2, every other character 1.
    static int TextWidth(const QString& text);

    // The ranges of `text` to colour: the first occurrence of each word of `words`
    // (split at every single blank; empty and absent words are skipped), each with the
    // foreground colour. Nothing when `words` is null or the colour is invalid.
    static QList<QTextLayout::FormatRange> TextColor(const QString& text, const QString& words,
                                                     const QColor& color);
    // The same as rich text for a label: the text HTML-escaped, the ranges in colour.
    static QString TextColorHtml(const QString& text, const QString& words, const QColor& color);

  private:
    static QString Abbreviate(const QString& text, int limit, int headLimit, int tailLimit);
};
