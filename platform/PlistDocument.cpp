#include "platform/PlistDocument.h"

#include "core/backup/PlistGuard.h"
#include "core/util/RegularFile.h"

#include <QFile>

#include <plist/plist.h>

PlistDocument PlistDocument::FromFile(const QString& path, qint64 maxBytes) {
    if (path.startsWith(QLatin1Char(':')) || path.startsWith(QLatin1String("qrc:"))) {
        // A property list of the application's own resources.
        QFile resource(path);
        if (!resource.open(QIODevice::ReadOnly)) return PlistDocument();
        const qint64 size = resource.size();
        if (size <= 0 || size > maxBytes) return PlistDocument();
        return FromBytes(resource.read(size));
    }
    // Files on disk (a backup's property lists above all) through the backup files' one
    // reader: a pipe in a property list's place is refused at once instead of blocking.
    RegularFile file;
    if (maxBytes <= 0 || !file.Open(QFile::encodeName(path).toStdString())) return PlistDocument();
    std::string bytes;
    if (file.Size() == 0 || !file.ReadAll(bytes, size_t(maxBytes))) return PlistDocument();
    return FromBytes(QByteArray(bytes.data(), qsizetype(bytes.size())));
}

PlistDocument PlistDocument::FromBytes(const QByteArray& bytes) {
    PlistDocument doc;
    if (bytes.isEmpty() || bytes.size() > qsizetype(UINT32_MAX)) return doc;
    // libplist recurses once per nesting level: refuse a document nested deeper than
    // any real one before it can exhaust the stack; and one whose keys libplist would
    // assert on when the document's dictionaries are walked.
    if (!plistSoundForReading(bytes.constData(), size_t(bytes.size()))) return doc;
    plist_t node = nullptr;
    plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &node);
    if (node) doc.root = std::shared_ptr<void>(node, [](void* n) { plist_free(static_cast<plist_t>(n)); });
    return doc;
}

void* PlistDocument::Node(std::initializer_list<const char*> path) const {
    plist_t node = root.get();
    for (const char* key : path) {
        if (!node || plist_get_node_type(node) != PLIST_DICT) return nullptr;
        node = plist_dict_get_item(node, key);
    }
    return node;
}

bool PlistDocument::HasDictionary(std::initializer_list<const char*> path) const {
    plist_t node = Node(path);
    return node && plist_get_node_type(node) == PLIST_DICT;
}

std::optional<QString> PlistDocument::String(std::initializer_list<const char*> path) const {
    plist_t node = Node(path);
    if (!node || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    if (!text) return std::nullopt;
    return QString::fromUtf8(text, qsizetype(length));
}

std::optional<QDateTime> PlistDocument::Date(std::initializer_list<const char*> path) const {
    plist_t node = Node(path);
    if (!node || plist_get_node_type(node) != PLIST_DATE) return std::nullopt;
    int32_t seconds = 0, micros = 0;
    plist_get_date_val(node, &seconds, &micros);
    // Property-list dates count from 2001-01-01 00:00:00 UTC.
    static const QDateTime epoch(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    return epoch.addMSecs(qint64(seconds) * 1000 + micros / 1000);
}

std::optional<bool> PlistDocument::Bool(std::initializer_list<const char*> path) const {
    plist_t node = Node(path);
    if (!node) return std::nullopt;
    if (plist_get_node_type(node) == PLIST_BOOLEAN) {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return value != 0;
    }
    if (plist_get_node_type(node) == PLIST_UINT) {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return value != 0;
    }
    return std::nullopt;
}

QHash<QString, QString> PlistDocument::StringDictionary(std::initializer_list<const char*> path) const {
    QHash<QString, QString> out;
    plist_t dict = Node(path);
    if (!dict || plist_get_node_type(dict) != PLIST_DICT) return out;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(dict, &it);
    if (!it) return out;
    while (true) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(dict, it, &key, &value);
        if (!key) break;
        if (value && plist_get_node_type(value) == PLIST_STRING) {
            uint64_t length = 0;
            const char* text = plist_get_string_ptr(value, &length);
            if (text) out.insert(QString::fromUtf8(key), QString::fromUtf8(text, qsizetype(length)));
        }
        free(key);
    }
    free(it);
    return out;
}
