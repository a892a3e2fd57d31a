#pragma once
#include "app/recovery/NSSelectDirizaTypeListData.h"

#include <QString>
#include <QStringList>

#include <vector>

// The rows of the recovery page's type list and the rules that keep their ticks, the
// heads' ticks and the device box consistent. The ticks live here, not in the cells
// that paint them, so repainting or reloading the list never loses one.
class DirizaTypeList {
  public:
    static constexpr int HeadSystem = 101;
    static constexpr int HeadMedia = 102;
    static constexpr int HeadChat = 103;
    static constexpr int StatusPage = 17;

    // What a tick asks of the result views: the types whose view selects (or clears)
    // all its records.
    struct ViewSelection {
        std::vector<int> types;
        bool select = false;
        bool operator==(const ViewSelection&) const = default;
    };

    // The member types of a head (empty for anything else) and the head of a type
    // (0 for none).
    static std::vector<int> Members(int head);
    static int HeadOf(int type);
    // The localised name and the icon of a type or head.
    static QString NameOf(int type);
    static QString IconOf(int type);
    // The count shown after a name: "n", or "n/10000" with the unit and "+" above 10000.
    static QString CountText(int n);
    // The text of a row: its name, with "(count)" once a count was reported.
    static QString RowText(const NSSelectDirizaTypeListData& row);

    // Appends the rows of a type selection (entries "1" are chosen): the system types
    // under 101, the media under 102, the chat apps under 103, each head only when one
    // of its types is chosen. The list is not emptied first.
    void Load(const QStringList& selection);
    void Clear();
    // Names looked up again (a language change); ticks and counts stay.
    void Relabel();

    const std::vector<NSSelectDirizaTypeListData>& Rows() const { return rows; }
    bool DeviceTicked() const { return device; }
    // False when the type has no row.
    bool SetCount(int type, int count);

    // The device box: every row takes its state; all fifteen views follow.
    ViewSelection TickDevice(bool on);
    // The user ticked or unticked the box of a row of `type` (a head included).
    ViewSelection TickRow(int type, bool on);
    // A result view reports whether all its records are ticked.
    void ViewisAllSelect(int type, bool all);

  private:
    void Add(int type, bool head);
    void CheckSelectState(int type, bool on);
    void SetTicks(int type, bool on);
    bool AllMembersTicked(int head) const;
    bool HasRowOf(int type) const;

    std::vector<NSSelectDirizaTypeListData> rows;
    bool device = false;
};
