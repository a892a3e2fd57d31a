#include "core/backup/CWxAccountDiscovery.h"

#include "core/backup/BackupFileRecord.h"
#include "core/util/CommonUtils.h"
#include "core/util/FileBytes.h"
#include "core/util/MD5_CTX.h"
#include "core/backup/PlistGuard.h"

#include <plist/plist.h>

#include <cstring>
#include <memory>

namespace {

constexpr std::string_view kChatDb = "/DB/MM.sqlite";
constexpr std::string_view kSettingsMarker = "MMappedKV/mmsetting.archive.";

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}
bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

struct PlistDeleter {
    void operator()(plist_t p) const { plist_free(p); }
};
using Plist = std::unique_ptr<void, PlistDeleter>;

bool stringNode(plist_t node, std::string* out) {
    if (!node || plist_get_node_type(node) != PLIST_STRING) return false;
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    if (!text) return false;
    // Texts end at their first NUL.
    size_t n = strnlen(text, size_t(length));
    out->assign(text, n);
    return true;
}

} // namespace

CWxAccountDiscovery::CWxAccountDiscovery(IFileParser& files, std::string backupRoot, int iosMajorVersion,
                                         std::string avatarPrefix)
    : files(files), backupRoot(std::move(backupRoot)), iosMajorVersion(iosMajorVersion),
      avatarPrefix(std::move(avatarPrefix)) {}

std::string CWxAccountDiscovery::FullPath(const std::string& storedPath) const {
    if (backupRoot.empty() || backupRoot.back() == '/') return backupRoot + storedPath;
    return backupRoot + "/" + storedPath;
}

size_t CWxAccountDiscovery::ReadSettingsVarint(std::string_view bytes, size_t at, uint64_t* value) {
    if (value) *value = 0;
    if (at >= bytes.size()) return 0;
    uint64_t v = 0;
    size_t used = 0;
    for (size_t i = 0; i < 9; ++i) {
        if (at + i >= bytes.size()) return 0;
        const uint8_t b = uint8_t(bytes[at + i]);
        if (i == 8) {
            v |= uint64_t(b) << 56;
            used = 9;
            break;
        }
        v |= uint64_t(b & 0x7f) << (7 * i);
        if (b < 0x80) {
            used = i + 1;
            break;
        }
    }
    if (used == 0) return 0;
    const size_t left = bytes.size() - at - used;
    if (v > left) return 0;
    if (value) *value = v;
    return used;
}

CWxAccountDiscovery::Settings CWxAccountDiscovery::ReadMmkvSettings(std::string_view bytes,
                                                                    std::string_view id) {
    Settings s;
    if (id.empty()) return s;
    bool have87 = false, have88 = false, haveHead = false;
    bool seenId = false;
    // A value whose declared size T is its length varint plus its bytes; returns the
    // value's start (0: nothing taken).
    auto takeValue = [&bytes](size_t at, std::string* out) -> size_t {
        uint64_t t = 0, s = 0;
        const size_t lt = ReadSettingsVarint(bytes, at, &t);
        if (lt == 0) return 0;
        const size_t ls = ReadSettingsVarint(bytes, at + lt, &s);
        if (ls == 0) return 0;
        if (uint64_t(ls) + s != t) return 0;
        if (s > kMaxValue) return 0;
        const size_t start = at + lt + ls;
        // The value ends at its first NUL, as every record text does.
        const std::string_view value = bytes.substr(start, size_t(s));
        out->assign(value.substr(0, value.find('\0')));
        return start;
    };
    size_t pos = 0;
    while (pos < bytes.size() && !(have87 && have88 && haveHead)) {
        if (bytes.size() - pos >= id.size() && bytes.compare(pos, id.size(), id) == 0) {
            seenId = true;
            pos += id.size();
            continue;
        }
        if (!seenId) {
            ++pos;
            continue;
        }
        size_t next = 0;
        const size_t left = bytes.size() - pos;
        if (left >= 3 && pos >= 4 && bytes[pos] == 0x02 && bytes[pos + 1] == '8' &&
            (bytes[pos + 2] == '7' || bytes[pos + 2] == '8')) {
            if (bytes[pos + 2] == '7' && !have87) {
                next = takeValue(pos + 3, &s.userName);
                if (next) have87 = true;
            } else if (bytes[pos + 2] == '8' && !have88) {
                next = takeValue(pos + 3, &s.nickName);
                if (next) have88 = true;
            }
        } else if (left >= 10 && pos >= 11 && !haveHead && bytes.compare(pos, 10, "headimgurl") == 0) {
            next = takeValue(pos + 10, &s.headImageUrl);
            if (next) haveHead = true;
        }
        pos = next ? next : pos + 1;
    }
    return s;
}

bool CWxAccountDiscovery::ReadAccountArchive(std::string_view bytes, const std::string& avatarPrefix,
                                             std::string* userName, std::string* nickName,
                                             std::string* headImageUrl) {
    if (bytes.empty() || bytes.size() > FileBytes::kDefaultLimit) return false;
    if (!plistNestingWithin(bytes.data(), bytes.size())) return false;
    plist_t rootNode = nullptr;
    plist_from_memory(bytes.data(), uint32_t(bytes.size()), &rootNode);
    Plist root(rootNode);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return false;
    plist_t objects = plist_dict_get_item(root.get(), "$objects");
    if (!objects || plist_get_node_type(objects) != PLIST_ARRAY) return false;
    const uint32_t count = plist_array_get_size(objects);
    std::string avatar;
    for (uint32_t i = 0; i < count; ++i) {
        std::string text;
        if (!stringNode(plist_array_get_item(objects, i), &text)) continue;
        if (text.size() <= avatarPrefix.size()) continue;
        if (!avatarPrefix.empty() && startsWith(text, avatarPrefix)) avatar = text;
        if (endsWith(text, "132")) break;
    }
    std::string name, nick;
    if (count > 2) stringNode(plist_array_get_item(objects, 2), &name);
    if (count > 3) stringNode(plist_array_get_item(objects, 3), &nick);
    if (userName) *userName = name;
    if (nickName) *nickName = nick;
    if (headImageUrl) *headImageUrl = avatar;
    return true;
}

void CWxAccountDiscovery::ReadAllSettings(WxAccountList& temporary) {
    const BackupEntryList* entries = files.GetEntryList(CategoryWeChat);
    if (!entries) return;
    for (const BackupFileRecord* r : *entries) {
        if (!r) continue;
        const size_t at = r->devicePath.find(kSettingsMarker);
        if (at == std::string::npos) continue;
        const std::string id = r->devicePath.substr(at + kSettingsMarker.size());
        if (id.empty() || id.find('.') != std::string::npos || id.find("(null)") != std::string::npos)
            continue;
        auto entry = std::make_unique<WxAccountEntry>();
        entry->accountId = id;
        entry->userName = id;
        entry->matchKey = getMd5String(id);
        std::string bytes;
        if (FileBytes::ReadAll(FullPath(r->StoredPath(iosMajorVersion)), bytes)) {
            Settings s = ReadMmkvSettings(bytes, id);
            if (!s.userName.empty()) entry->userName = s.userName;
            entry->nickName = s.nickName;
            entry->headImageUrl = s.headImageUrl;
        }
        temporary.push_back(std::move(entry));
    }
}

void CWxAccountDiscovery::CollectFiles(WxAccountEntry& account) {
    const BackupEntryList* entries = files.GetEntryList(CategoryWeChat);
    if (!entries) return;
    const std::string& folder = account.accountFolder;
    const std::string sessionPrefix = folder + "/session/data/";
    const std::string lsmPrefix = folder + "/session/lsm_data/";
    const std::string contactPath = folder + "/DB/WCDB_Contact.sqlite";
    const std::string ftsPath = folder + "/fts/fts_message.db";
    const std::string messagePrefix = folder + "/DB/message_";
    const std::string brandPrefix = folder + "/Brand/BrandMsg";
    bool haveContact = false, haveFts = false;
    for (const BackupFileRecord* r : *entries) {
        if (!r) continue;
        const std::string& path = r->devicePath;
        if (!startsWith(path, folder)) continue;
        if (startsWith(path, sessionPrefix)) {
            if (path.find('.', sessionPrefix.size()) == std::string::npos)
                account.sessionFiles.push_back(r->StoredPath(iosMajorVersion));
        } else if (startsWith(path, lsmPrefix)) {
            if (path.find('.', lsmPrefix.size()) == std::string::npos)
                account.lsmFiles.push_back(r->StoredPath(iosMajorVersion));
        } else if (!haveContact && path == contactPath) {
            account.contactDbPath = r->StoredPath(iosMajorVersion);
            haveContact = true;
        } else if (!haveFts && path == ftsPath) {
            account.ftsDbPath = r->StoredPath(iosMajorVersion);
            haveFts = true;
        } else if (startsWith(path, messagePrefix) && endsWith(path, ".sqlite")) {
            account.messageDbFiles.push_back(r->StoredPath(iosMajorVersion));
        } else if (startsWith(path, brandPrefix) && endsWith(path, ".db")) {
            account.brandDbPath = r->StoredPath(iosMajorVersion);
        }
    }
}

void CWxAccountDiscovery::Discover(WxAccountList& accounts) {
    accounts.clear();
    const BackupEntryList* entries = files.GetEntryList(CategoryWeChat);
    if (!entries) return;
    WxAccountList settings;
    ReadAllSettings(settings);
    int32_t nextIndex = 0;
    for (const BackupFileRecord* r : *entries) {
        if (!r) continue;
        const std::string& path = r->devicePath;
        if (path.size() < kChatDb.size()) continue;
        const size_t at = path.find(kChatDb);
        if (at == std::string::npos || at + kChatDb.size() != path.size()) continue;
        auto entry = std::make_unique<WxAccountEntry>();
        entry->index = nextIndex;
        entry->accountFolder = path.substr(0, at);
        std::string archive;
        const std::string archivePath = entry->accountFolder + "/" + "mmsetting.archive";
        if (files.GetBackupFileName(CategoryWeChat, archivePath.c_str(), &archive)) {
            const std::string full = FullPath(archive);
            // A path that is not UTF-8 cannot name the file to the property-list reader.
            bool ascii = true;
            for (unsigned char ch : full)
                ascii = ascii && ch < 0x80;
            if (!ascii && !isValidUtf8(reinterpret_cast<const uint8_t*>(full.data()), full.size())) continue;
            std::string bytes;
            if (FileBytes::ReadAll(full, bytes))
                ReadAccountArchive(bytes, avatarPrefix, &entry->userName, &entry->nickName,
                                   &entry->headImageUrl);
            entry->accountId = entry->userName;
        } else {
            const WxAccountEntry* match = nullptr;
            for (const auto& s : settings) {
                if (entry->accountFolder.find(s->matchKey) != std::string::npos) {
                    match = s.get();
                    break;
                }
            }
            if (!match) continue;
            entry->userName = match->userName;
            entry->accountId = match->accountId;
            entry->nickName = match->nickName;
            entry->headImageUrl = match->headImageUrl;
        }
        entry->chatDbPath = r->StoredPath(iosMajorVersion);
        accounts.push_back(std::move(entry));
        ++nextIndex;
    }
    for (auto& account : accounts)
        CollectFiles(*account);
}
