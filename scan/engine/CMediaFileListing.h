#pragma once
#include "core/records/RecordList.h"

#include <string>

class CScanManager;
struct MediaFileRecord;

// Turns the manifest entries of one category into the scan manager's media lists:
// newest first, only files whose extension is named in a suffix list, each sorted
// into a kind (photo, video, audio, other) by the first list that names it, dated by
// its local day and given a numbered display name.
//
// Each listing takes the processed-entries counter shared by every listing of one
// media scan and their common progress total.
class CMediaFileListing {
  public:
    enum Kind { KindPhoto = 0, KindVideo = 1, KindAudio = 2, KindOther = 3 };

    explicit CMediaFileListing(CScanManager& owner) : owner(owner) {}

    // Category 8: photos to photoList, videos to videoList, audio to voiceMemoList.
    void ListCameraRollMedia(int& processed, int total);
    // Category 1, 4, 9 and 10: every kind into one list.
    void ListSmsAttachments(int& processed, int total);
    void ListNoteAttachments(int& processed, int total);
    void ListWxAttachments(int& processed, int total);
    void ListWaAttachments(int& processed, int total);

    // The kind of a lower-case extension: the first of the lists (photo, video, audio
    // and, when `withOther`, other) that holds the entry "*.<extension>;"; -1 for none.
    static int MatchKind(const std::string& extension, const std::string& photo, const std::string& video,
                         const std::string& audio, const std::string& other, bool withOther);
    // "%.6d.%s" of a running number and an extension.
    static std::string DisplayName(int number, const std::string& extension);

  private:
    enum class Naming { Plain, WeChat, WhatsApp };

    // Lists `category` into targets[kind] (a null target drops that kind).
    void List(int category, RecordList<MediaFileRecord>* const targets[4], bool withOther, Naming naming,
              int& processed, int total);

    CScanManager& owner;
};
