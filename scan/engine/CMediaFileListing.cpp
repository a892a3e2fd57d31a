#include "scan/engine/CMediaFileListing.h"

#include "core/backup/BackupFileRecord.h"
#include "core/backup/IFileParser.h"
#include "core/records/MediaFileRecord.h"
#include "core/util/CommonUtils.h"
#include "core/util/RegularFile.h"
#include "scan/engine/CScanManager.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <unordered_set>
#include <vector>

namespace {

bool isOneOf(const std::string& s, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (s == n) return true;
    return false;
}

// Stored names are hex digests; anything else (an empty name, a path such as "../x"
// from a damaged manifest) would point outside the backup folder.
bool isStoredName(const std::string& name) {
    if (name.empty()) return false;
    for (char c : name)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
    return true;
}

std::string lowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The device path of an entry without its extension, and its lower-case extension;
// false for a path without a file extension.
bool splitExtension(const std::string& path, std::string& stem, std::string& extension) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return false;
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < slash) return false;
    stem = path.substr(0, dot);
    extension = lowerAscii(path.substr(dot + 1));
    return true;
}

} // namespace

int CMediaFileListing::MatchKind(const std::string& extension, const std::string& photo,
                                 const std::string& video, const std::string& audio, const std::string& other,
                                 bool withOther) {
    const std::string key = "*." + extension + ";";
    if (photo.find(key) != std::string::npos) return KindPhoto;
    if (video.find(key) != std::string::npos) return KindVideo;
    if (audio.find(key) != std::string::npos) return KindAudio;
    if (withOther && other.find(key) != std::string::npos) return KindOther;
    return -1;
}

std::string CMediaFileListing::DisplayName(int number, const std::string& extension) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%.6d", number);
    std::string name = digits;
    name += '.';
    name += extension;
    return name;
}

void CMediaFileListing::List(int category, RecordList<MediaFileRecord>* const targets[4], bool withOther,
                             Naming naming, int& processed, int total) {
    if (owner.cancelled || !owner.fileParser) return;
    const BackupEntryList* entries = owner.fileParser->GetEntryList(category);
    if (!entries || entries->empty()) return;

    // Newest first, equal times in manifest order. The manifest reader's own list is
    // left as it is: the sort works on a copy.
    std::vector<const BackupFileRecord*> sorted;
    sorted.reserve(entries->size());
    for (const BackupFileRecord* e : *entries)
        if (e) sorted.push_back(e);
    std::stable_sort(sorted.begin(), sorted.end(), [](const BackupFileRecord* a, const BackupFileRecord* b) {
        return a->ctime > b->ctime;
    });

    // WeChat keeps a small copy "N.pic_thum" beside a picture "N.pic": a thumbnail
    // whose picture is listed is not a picture of its own (one whose picture is gone
    // is kept). The pictures' files are checked here once, for both walks.
    std::unordered_set<std::string> listedPictures; // device paths without ".pic"
    std::unordered_set<const BackupFileRecord*> checkedPictures;
    if (naming == Naming::WeChat) {
        std::string stem, extension;
        for (const BackupFileRecord* entry : sorted) {
            if (owner.cancelled) return;
            if (!splitExtension(entry->devicePath, stem, extension) || extension != "pic") continue;
            if (!isStoredName(entry->storedName)) continue;
            const int kind = MatchKind(extension, owner.photoSuffixes, owner.videoSuffixes,
                                       owner.audioSuffixes, owner.otherSuffixes, withOther);
            if (kind < 0 || !targets[kind]) continue;
            if (RegularFile::Probe(owner.BackupDir(),
                                   backupStoredPath(entry->storedName, owner.iosVersion)) !=
                RegularFile::Kind::Regular)
                continue;
            listedPictures.insert(stem);
            checkedPictures.insert(entry);
        }
    }

    int numbers[4] = {0, 0, 0, 0};
    for (const BackupFileRecord* entry : sorted) {
        if (owner.cancelled) break;
        ++processed;
        owner.ReportProgress(0, 1, processed, total, false);

        if (!isStoredName(entry->storedName)) continue;
        const std::string& path = entry->devicePath;
        const size_t slash = path.rfind('/');
        if (slash == std::string::npos) continue;
        const std::string fileName = path.substr(slash + 1);
        const size_t dot = fileName.rfind('.');
        if (dot == std::string::npos) continue;
        std::string extension = fileName.substr(dot + 1);
        for (char& c : extension)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');

        const int kind = MatchKind(extension, owner.photoSuffixes, owner.videoSuffixes, owner.audioSuffixes,
                                   owner.otherSuffixes, withOther);
        if (kind < 0 || !targets[kind]) continue;
        if (naming == Naming::WeChat && extension == "pic_thum" &&
            listedPictures.count(path.substr(0, path.size() - fileName.size() + dot)) != 0)
            continue;

        // An interrupted or partial backup lists files it does not hold: they could be
        // neither shown nor saved. One stat per entry, nothing read.
        std::string storedPath = backupStoredPath(entry->storedName, owner.iosVersion);
        // A stored file that is a symbolic link, or sits in a folder that is one, is a
        // damaged entry: it is neither shown nor read.
        if (checkedPictures.count(entry) == 0) {
            const RegularFile::Kind kind = RegularFile::Probe(owner.BackupDir(), storedPath);
            if (kind != RegularFile::Kind::Regular) {
                if (kind == RegularFile::Kind::Link)
                    ++owner.linkedMediaFiles;
                else
                    ++owner.missingMediaFiles;
                continue;
            }
        }

        auto record = std::make_unique<MediaFileRecord>();
        record->kind = kind;
        record->storedPath = std::move(storedPath);
        record->day = formatLocalTime(static_cast<time_t>(entry->ctime), "%Y-%m-%d");

        std::string shownExtension = extension;
        if (naming == Naming::WeChat && kind == KindPhoto && extension != "png") {
            shownExtension = "jpg";
        } else if (naming == Naming::WhatsApp) {
            if (kind == KindPhoto &&
                isOneOf(extension, {"pic", "pic_thum", "video_thum", "pic_hd", "pic_mid"}))
                shownExtension = "jpg";
            else if (kind == KindAudio && extension == "opus")
                shownExtension = "mp3";
        }
        record->displayName = DisplayName(++numbers[kind], shownExtension);
        targets[kind]->append(std::move(record));
    }
}

void CMediaFileListing::ListCameraRollMedia(int& processed, int total) {
    RecordList<MediaFileRecord>* const targets[4] = {&owner.photoList, &owner.videoList, &owner.voiceMemoList,
                                                     nullptr};
    List(CategoryMedia, targets, false, Naming::Plain, processed, total);
}

void CMediaFileListing::ListSmsAttachments(int& processed, int total) {
    RecordList<MediaFileRecord>* const targets[4] = {&owner.smsAttachmentList, &owner.smsAttachmentList,
                                                     &owner.smsAttachmentList, &owner.smsAttachmentList};
    List(CategorySms, targets, true, Naming::Plain, processed, total);
}

void CMediaFileListing::ListNoteAttachments(int& processed, int total) {
    RecordList<MediaFileRecord>* const targets[4] = {&owner.noteAttachmentList, &owner.noteAttachmentList,
                                                     &owner.noteAttachmentList, &owner.noteAttachmentList};
    List(CategoryNotes, targets, true, Naming::Plain, processed, total);
}

void CMediaFileListing::ListWxAttachments(int& processed, int total) {
    RecordList<MediaFileRecord>* const targets[4] = {&owner.wxAttachmentList, &owner.wxAttachmentList,
                                                     &owner.wxAttachmentList, &owner.wxAttachmentList};
    List(CategoryWeChat, targets, true, Naming::WeChat, processed, total);
}

void CMediaFileListing::ListWaAttachments(int& processed, int total) {
    RecordList<MediaFileRecord>* const targets[4] = {&owner.waAttachmentList, &owner.waAttachmentList,
                                                     &owner.waAttachmentList, &owner.waAttachmentList};
    List(CategoryWhatsApp, targets, true, Naming::WhatsApp, processed, total);
}
