#include "scan/LanguageTable.h"

#include <QFile>

namespace {

// Cursor over the table text.
struct Reader {
    const QString& s;
    qsizetype i = 0;

    bool atEnd() const { return i >= s.size(); }

    // Skips white space and comments; false on an unterminated comment.
    bool skipSpace() {
        while (!atEnd()) {
            const QChar c = s[i];
            if (c.isSpace()) {
                ++i;
            } else if (c == u'/' && i + 1 < s.size() && s[i + 1] == u'/') {
                while (!atEnd() && s[i] != u'\n')
                    ++i;
            } else if (c == u'/' && i + 1 < s.size() && s[i + 1] == u'*') {
                const qsizetype end = s.indexOf(QStringLiteral("*/"), i + 2);
                if (end < 0) return false;
                i = end + 2;
            } else {
                break;
            }
        }
        return true;
    }

    // A quoted string with escapes.
    std::optional<QString> quoted() {
        if (atEnd() || s[i] != u'"') return std::nullopt;
        ++i;
        QString out;
        while (!atEnd()) {
            const QChar c = s[i++];
            if (c == u'"') return out;
            if (c != u'\\') {
                out += c;
                continue;
            }
            if (atEnd()) return std::nullopt;
            const QChar e = s[i++];
            if (e == u'n')
                out += u'\n';
            else if (e == u't')
                out += u'\t';
            else if (e == u'r')
                out += u'\r';
            else
                out += e; // \" \\ and any other escaped character stand for themselves
        }
        return std::nullopt;
    }

    bool expect(QChar c) {
        if (!skipSpace() || atEnd() || s[i] != c) return false;
        ++i;
        return true;
    }
};

} // namespace

bool LanguageTable::Parse(const QString& text) {
    texts.clear();
    Reader r{text};
    QHash<QString, QString> parsed;
    while (true) {
        if (!r.skipSpace()) return false;
        if (r.atEnd()) break;
        auto key = r.quoted();
        if (!key || !r.expect(u'=') || !r.skipSpace()) return false;
        auto value = r.quoted();
        if (!value || !r.expect(u';')) return false;
        parsed.insert(*key, *value);
    }
    texts = std::move(parsed);
    return true;
}

bool LanguageTable::Load(const QString& path) {
    texts.clear();
    QFile file(path);
    constexpr qint64 kMaxTableBytes = 4 * 1024 * 1024;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxTableBytes) return false;
    return Parse(QString::fromUtf8(file.read(kMaxTableBytes)));
}

std::optional<LanguageTable> LanguageTable::ForLanguage(const QString& languageName,
                                                        const QString& resourceRoot) {
    if (languageName.isEmpty() || languageName.contains(u'/') || languageName.contains(QStringLiteral("..")))
        return std::nullopt;
    QString root = resourceRoot;
    if (!root.endsWith(u'/')) root += u'/';
    LanguageTable table;
    if (!table.Load(root + languageName + QStringLiteral(".lproj/Language.strings"))) return std::nullopt;
    return table;
}
