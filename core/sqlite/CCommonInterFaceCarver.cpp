// The deleted-record carver of CCommonInterFace: tries every byte offset of every page
// that no live cell covers as the start of a record's serial-type list, decodes what
// such a list describes and hands every candidate the parser accepts to OnCarvedRecord.
#include "core/sqlite/CCommonInterFace.h"
#include "core/sqlite/CarverState.h"

#include "core/records/ScanDataType.h"
#include "core/sqlite/CarvedColumn.h"
#include "core/sqlite/IParserOwner.h"
#include "core/util/CommonUtils.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

inline uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// The longest start of the first `n` bytes of `p` that ends with a whole UTF-8
// character: a character the end cuts through is left out.
uint64_t Utf8WholeLength(const uint8_t* p, uint64_t n) {
    // The last lead byte among the final four, and whether its character fits.
    for (uint64_t back = 1; back <= 4 && back <= n; ++back) {
        const uint8_t b = p[n - back];
        if ((b & 0xC0) == 0x80) continue; // a continuation byte: look further back
        const uint64_t need = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
        return need <= back ? n : n - back;
    }
    return n;
}

// Serial types 10 and 11 are reserved: never part of a record.
constexpr uint32_t kReservedKind = 0xffffffffu;

// Kind and content size of every one-byte serial type, the common case of the scan.
struct SmallSerialTypes {
    std::array<uint32_t, 128> kind{};
    std::array<uint32_t, 128> size{};
    constexpr SmallSerialTypes() {
        for (uint32_t t = 0; t < 128; ++t) {
            switch (t) {
            case 0:
                kind[t] = KindNull, size[t] = 0;
                break;
            case 1:
                kind[t] = KindInt8, size[t] = 1;
                break;
            case 2:
                kind[t] = KindInt16, size[t] = 2;
                break;
            case 3:
                kind[t] = KindInt24, size[t] = 3;
                break;
            case 4:
                kind[t] = KindInt32, size[t] = 4;
                break;
            case 5:
                kind[t] = KindInt48, size[t] = 6;
                break;
            case 6:
                kind[t] = KindInt64, size[t] = 8;
                break;
            case 7:
                kind[t] = KindDouble, size[t] = 8;
                break;
            case 8:
                kind[t] = KindZero, size[t] = 0;
                break;
            case 9:
                kind[t] = KindOne, size[t] = 0;
                break;
            case 10:
            case 11:
                kind[t] = kReservedKind, size[t] = 0;
                break;
            default:
                kind[t] = (t & 1) ? KindText : KindBlob;
                size[t] = (t & 1) ? (t - 13) / 2 : (t - 12) / 2;
            }
        }
    }
};
constexpr SmallSerialTypes kSmall;

// Run of the step tables that reaches bytes not filled for the page.
constexpr uint32_t kUnknownRun = 0xffffffffu;

// Most overflow pages a candidate may follow. A long message (its text and its archived
// copy) easily takes more than three pages; the chain is read only for a candidate whose
// every serial type passed, so the cap only bounds the reads of a damaged chain.
constexpr int kMaxOverflowPages = 64;

int64_t signExtend(const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    const int shift = 64 - 8 * bytes;
    return int64_t(v << shift) >> shift;
}

// A double cut toward zero; INT64_MIN for NaN and values no 64-bit integer holds.
int64_t truncatedDouble(const uint8_t* p) {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits = (bits << 8) | p[i];
    double d = 0;
    memcpy(&d, &bits, sizeof d);
    if (std::isnan(d) || d >= 9223372036854775808.0 || d < -9223372036854775808.0) return INT64_MIN;
    return int64_t(d);
}

// A 32-bit value in the low half of the slot, the high half 0.
inline void setLow32(CarvedValue& v, int32_t x) {
    v.i64 = int64_t(uint64_t(uint32_t(x)));
}

// One serial type at `pos`, its varint ending before `limit`: its kind and content size,
// with `pos` moved past it. False for a type no record holds (reserved 10 and 11, in any
// form) or a varint cut at the limit.
inline bool readSerialType(const uint8_t* data, uint64_t& pos, uint64_t limit, uint32_t& kind,
                           uint64_t& size) {
    uint64_t type = data[pos];
    if (type < 0x80) {
        ++pos;
        kind = kSmall.kind[type];
        size = kSmall.size[type];
        return kind != kReservedKind;
    }
    const int len = CCommonInterFace::ParseVarint(data + pos, int32_t(limit - pos), &type);
    if (len < 0 || type == 10 || type == 11) return false;
    pos += uint64_t(len);
    size = CCommonInterFace::SerialTypeSize(type, &kind);
    return true;
}

} // namespace

uint64_t CCommonInterFace::SerialTypeSize(uint64_t serialType, uint32_t* kind) {
    uint32_t k = KindNotRead;
    uint64_t size = 0;
    if (serialType < 128) {
        k = kSmall.kind[serialType];
        size = kSmall.size[serialType];
        if (k == kReservedKind) k = KindNotRead; // reserved types 10 and 11: no value
    } else if (serialType & 1) {
        k = KindText;
        size = (serialType - 13) / 2;
    } else {
        k = KindBlob;
        size = (serialType - 12) / 2;
    }
    if (kind) *kind = k;
    return size;
}

bool CCommonInterFace::FirstColumnIsRowid() const {
    return !columns.empty() && columns[0].isIntegerPrimaryKey;
}

bool CCommonInterFace::CarveTable(const char* table) {
    if (Cancelled() || !table) return false;
    columnCount = 0;
    ClearColumns();
    pageBuffer.clear();
    currentPage = 0;
    columnKinds.clear();
    columnSizes.clear();
    acceptedKinds.clear();
    carver->filterColumns = -1;
    carver->heldValid = false;
    carver->droppedPage = 0;
    firstTypeUnderFreeblock = false;
    tableName = table;
    int n = LoadColumns(table);
    if (n <= 0) return false;
    columnCount = n;
    if (!PrepareTable()) {
        ClearColumns();
        columnCount = 0;
        return false;
    }
    progressDone = 0;
    progressTotal = int32_t(std::min<uint64_t>(pageCount, INT32_MAX));
    columnKinds.assign(size_t(n), 0);
    columnSizes.assign(size_t(n), 0);
    PrepareFilters();
    // Where an overflow chain can no longer go on: the freelist's trunk pages.
    if (followOverflow)
        FreelistPages(nullptr, &carver->freelistTrunks);
    else
        carver->freelistTrunks.clear();
    carver->nullCandidate = CarverState::NullCandidate::Unknown;
    ScanAllPages();
    return true;
}

void CCommonInterFace::ScanAllPages() {
    if (!owner) return;
    // Pages of the skipped tables, as one bit per page.
    carver->skipPages.assign(pageCount + 1, false);
    for (const TableEntry& t : skipTables) {
        for (uint64_t p : t.pages) {
            if (p >= 1 && p <= pageCount) carver->skipPages[p] = true;
        }
    }
    for (uint64_t page = 1; page <= pageCount; ++page) {
        if (owner->CancelFlag().load()) break;
        ReportProgress(2, false);
        if (carver->skipPages[page]) continue;
        if (!ReadPage(page)) continue;
        CarvePage(page, liveCells.find(page) != liveCells.end());
    }
}

bool CCommonInterFace::CarvePage(uint64_t page, bool hasLiveCells) {
    if (!owner) return false;
    // Fresh cursor for this page.
    carver->skipCursorPage = 0;
    carver->acceptedSpans.clear();
    carver->acceptedSpansPage = page;
    uint32_t offset = 0;
    if (hasLiveCells) offset = SkipLiveRange(page, 0);
    const size_t n = columnCount > 0 ? size_t(columnCount) : 0;
    if (n == 0 || pageSize == 0 || pageBuffer.size() != pageSize || columnKinds.size() < n ||
        columnSizes.size() < n || (FirstColumnIsRowid() && n == 1)) {
        // Nothing to examine; TryRecordAt gives the answer for the first offset.
        TryRecordAt(page, &offset);
        return true;
    }
    if (carver->filterColumns != columnCount) PrepareFilters();
    // With declared kinds the pair filter drops nearly every offset and the walk stops at
    // the first refused kind: the tables would cost more than they save.
    const bool useSteps = carver->pairFilter.empty();
    carver->windowValid = false;
    const size_t wanted = n - (FirstColumnIsRowid() ? 1 : 0);
    // A page of zeros (never written, or wiped) holds nothing but refused NULL records.
    if (pageBuffer[0] == 0 && ZeroRunEnd(pageBuffer.data(), 0, pageSize) == pageSize &&
        NullCandidateRefused(page))
        return true;
    if (useSteps) BuildStepTables(wanted, ContentBound(), hasLiveCells);
    const uint32_t* runs = carver->stepRun.data();
    // The same walk as TryRecordAt offset by offset, with the per-page work hoisted: the
    // next live range is known in advance, and the pair filter drops most offsets
    // before any varint is parsed.
    const uint64_t last = pageSize - n; // the last offset with room for one byte per column
    const uint8_t* data = pageBuffer.data();
    const uint64_t* pairs = carver->pairFilter.empty() ? nullptr : carver->pairFilter.data();
    uint64_t nextLive = UINT64_MAX;
    auto refreshNextLive = [&]() {
        nextLive = UINT64_MAX;
        if (!hasLiveCells) return;
        const std::vector<CellRange>& ranges = carver->skipCursorRanges;
        for (size_t i = carver->skipCursorIndex; i < ranges.size(); ++i) {
            if (ranges[i].end > offset) {
                nextLive = ranges[i].start;
                break;
            }
        }
    };
    refreshNextLive();
    while (!owner->CancelFlag().load(std::memory_order_relaxed)) {
        if (offset > last) break;
        if (offset >= nextLive) {
            const uint32_t moved = SkipLiveRange(page, offset);
            const uint32_t was = offset;
            offset = moved;
            refreshNextLive();
            if (moved != was) continue;
            // Only ranges out of order (set by a subclass) get here: look again one further.
            if (nextLive <= offset) nextLive = uint64_t(offset) + 1;
        }
        if (data[offset] == 0 && NullCandidateRefused(page)) {
            // A run of zero bytes: every offset whose serial types all lie in the run
            // reads as the same record of NULLs, which the table refuses. Only the
            // offsets whose types reach past the run are left to examine.
            const uint64_t runEnd = ZeroRunEnd(data, offset, pageSize);
            if (runEnd - offset >= wanted) {
                offset = uint32_t(runEnd - wanted + 1);
                continue;
            }
        }
        if (firstTypeUnderFreeblock && offset >= 4) ExamineWithoutFirstType(page, offset);
        if (pairs) {
            const uint32_t key = uint32_t(data[offset]) << 8 | data[offset + 1];
            if ((pairs[key >> 6] & (1ull << (key & 63))) == 0) {
                ++offset;
                continue;
            }
        }
        if (useSteps) {
            // Most offsets fail here: an invalid serial type among the ones needed.
            if (runs[offset] >= wanted) ExamineWithSteps(page, offset);
        } else
            ExamineCandidate(page, offset);
        ++offset;
    }
    FlushHeldCandidate();
    return true;
}

void CCommonInterFace::BuildStepTables(size_t typesWanted, uint64_t bound, bool hasLiveCells) {
    const size_t ps = size_t(pageSize);
    carver->stepLen.resize(ps);
    carver->stepKind.resize(ps);
    carver->stepSize.resize(ps);
    carver->stepRun.resize(ps);
    // Only the bytes a candidate can reach: every gap between live ranges plus as many
    // bytes after it as the serial types of one candidate can span.
    // Serial types are mostly one byte long: a chain that runs past this margin (only
    // possible with many longer types) meets an unknown run and takes the plain walk.
    const size_t reach = typesWanted * 2 + 16;
    std::vector<CellRange>& gaps = carver->stepGaps;
    gaps.clear();
    bool sorted = true;
    if (hasLiveCells) {
        uint64_t at = 0;
        for (const CellRange& r : carver->skipCursorRanges) {
            if (r.start < at || r.end < r.start) {
                sorted = false;
                break;
            }
            if (r.start > at) gaps.push_back({at, std::min<uint64_t>(r.start, ps)});
            at = r.end;
            if (at >= ps) break;
        }
        if (sorted && at < ps) gaps.push_back({at, ps});
    }
    if (!hasLiveCells || !sorted) {
        gaps.clear();
        gaps.push_back({0, ps});
    }
    size_t doneLo = ps, doneHi = ps; // the block filled last: [doneLo, doneHi)
    for (size_t g = gaps.size(); g-- > 0;) {
        const size_t lo = size_t(gaps[g].start);
        const size_t hi = size_t(std::min<uint64_t>(ps, gaps[g].end + reach));
        if (lo >= hi || lo >= doneLo) continue;
        if (hi >= doneLo) {
            FillSteps(lo, doneLo, doneHi, typesWanted, bound);
        } else {
            FillSteps(lo, hi, hi, typesWanted, bound);
            doneHi = hi;
        }
        doneLo = lo;
    }
}

void CCommonInterFace::FillSteps(size_t lo, size_t hi, size_t limit, size_t typesWanted, uint64_t bound) {
    // Positions from limit on count as holding no serial type; a candidate's chain never
    // gets that far before it has all the types it needs.
    const size_t ps = size_t(pageSize);
    const uint8_t* data = pageBuffer.data();
    uint8_t* lens = carver->stepLen.data();
    uint8_t* kinds = carver->stepKind.data();
    uint32_t* sizes = carver->stepSize.data();
    uint32_t* runs = carver->stepRun.data();
    const uint32_t cap = uint32_t(std::min<size_t>(typesWanted, kUnknownRun - 1));
    // Past limit lies either the page end (no more types) or bytes not filled for this
    // page (the run is unknown there, and so is every run that reaches them).
    const uint32_t beyond = limit >= ps ? 0 : kUnknownRun;
    auto extend = [cap](uint32_t after) {
        return after == kUnknownRun ? kUnknownRun : after < cap ? after + 1 : cap;
    };
    // From the end backwards, so that the run after a serial type is known; the run of
    // the byte after is kept at hand for the common one-byte type.
    uint32_t runAfter = hi < limit ? runs[hi] : beyond;
    for (size_t p = hi; p-- > lo;) {
        const uint32_t b = data[p];
        uint32_t run = 0;
        if (b < 0x80) {
            const uint32_t kind = kSmall.kind[b];
            if (kind != kReservedKind) {
                // One-byte types hold at most 57 bytes: within any bound.
                lens[p] = 1;
                kinds[p] = uint8_t(kind);
                sizes[p] = kSmall.size[b];
                run = extend(runAfter);
            } else {
                lens[p] = 0;
                kinds[p] = 0;
                sizes[p] = 0;
            }
        } else {
            uint64_t type = 0;
            uint32_t kind = 0;
            uint64_t size = 0;
            const int parsed = ParseVarint(data + p, int32_t(ps - p), &type);
            if (parsed > 0 && type != 10 && type != 11) size = SerialTypeSize(type, &kind);
            if (parsed <= 0 || type == 10 || type == 11 || size > bound) {
                lens[p] = 0;
                kinds[p] = 0;
                sizes[p] = 0;
            } else {
                lens[p] = uint8_t(parsed);
                kinds[p] = uint8_t(kind);
                sizes[p] = uint32_t(size); // size <= bound <= 65 x 65536
                const size_t next = p + size_t(parsed);
                run = extend(next < limit ? runs[next] : beyond);
            }
        }
        runs[p] = run;
        runAfter = run;
    }
}

int CCommonInterFace::ExamineWithSteps(uint64_t page, uint32_t start) {
    // The walk of ExamineCandidate on the tables of BuildStepTables: the same candidates
    // pass, without parsing any serial type twice.
    const size_t n = size_t(columnCount);
    const size_t startColumn = FirstColumnIsRowid() ? 1 : 0;
    const size_t wanted = n - startColumn;
    if (carver->stepRun[start] < wanted) return 1; // an invalid type or the page end comes first
    if (carver->stepRun[start] == kUnknownRun) {
        // The chain runs into bytes the tables do not cover.
        carver->windowValid = false;
        return ExamineCandidate(page, start);
    }
    if (startColumn == 1) {
        columnKinds[0] = KindNotRead;
        columnSizes[0] = 0;
    }
    const uint8_t* lens = carver->stepLen.data();
    const uint32_t* sizes = carver->stepSize.data();
    // Content of a candidate never exceeds the page, or its overflow chain's reach.
    const uint64_t bound = ContentBound();
    if (carver->acceptAll) {
        // Every kind is accepted: only where the types end and how much content they
        // describe matter. When the candidate before started one byte earlier with a
        // one-byte type, this one drops that type and takes in the next one.
        uint64_t end;
        uint64_t total;
        if (carver->windowValid && carver->windowStart + 1 == start && lens[carver->windowStart] == 1) {
            total = carver->windowTotal - sizes[carver->windowStart] + sizes[carver->windowEnd];
            end = carver->windowEnd + lens[carver->windowEnd];
        } else {
            end = start;
            total = 0;
            for (size_t k = 0; k < wanted; ++k) {
                total += sizes[end];
                end += lens[end];
            }
        }
        carver->windowValid = true;
        carver->windowStart = start;
        carver->windowEnd = end;
        carver->windowTotal = total;
        if (ContentPastBound(end, total, bound)) return 1;
        // The kinds and sizes are copied column by column as DecodeInto reaches them.
        carver->lazyStepPos = start;
        const int result = FinishCandidate(page, start, end, total);
        carver->lazyStepPos = UINT64_MAX;
        return result;
    }
    const uint32_t* accepted = carver->columnAccept.data();
    const uint8_t* kinds = carver->stepKind.data();
    uint64_t pos = start;
    uint64_t contentTotal = 0;
    for (size_t c = startColumn; c < n; ++c) {
        const uint32_t kind = kinds[pos];
        if ((accepted[c] & (1u << kind)) == 0) return 1;
        const uint32_t size = sizes[pos];
        contentTotal += size;
        columnKinds[c] = kind;
        columnSizes[c] = size;
        pos += lens[pos];
    }
    if (ContentPastBound(pos, contentTotal, bound)) return 1;
    return FinishCandidate(page, start, pos, contentTotal);
}

uint64_t CCommonInterFace::ZeroRunEnd(const uint8_t* data, uint64_t from, uint64_t end) {
    uint64_t at = from;
    // Byte by byte up to a word boundary, then a word at a time.
    while (at < end && (at & 7) != 0) {
        if (data[at] != 0) return at;
        ++at;
    }
    while (end - at >= 8) {
        uint64_t word;
        memcpy(&word, data + at, sizeof word);
        if (word != 0) break;
        at += 8;
    }
    while (at < end && data[at] == 0)
        ++at;
    return at;
}

bool CCommonInterFace::NullCandidateRefused(uint64_t page) {
    if (carver->nullCandidate == CarverState::NullCandidate::Unknown) {
        const size_t n = columnCount > 0 ? size_t(columnCount) : 0;
        const size_t startColumn = FirstColumnIsRowid() ? 1 : 0;
        bool refused = false;
        for (size_t c = startColumn; c < n && !refused; ++c)
            refused = c < carver->columnAccept.size() && (carver->columnAccept[c] & (1u << KindNull)) == 0;
        if (!refused && n > startColumn) {
            // Ask the table once, as the decoder would for such a candidate.
            if (startColumn == 1) {
                columnKinds[0] = KindNotRead;
                columnSizes[0] = 0;
            }
            for (size_t c = startColumn; c < n; ++c) {
                columnKinds[c] = KindNull;
                columnSizes[c] = 0;
            }
            const uint64_t savedStep = carver->lazyStepPos;
            carver->lazyStepPos = UINT64_MAX;
            static const uint8_t kNoContent = 0;
            refused = !DecodeInto(carver->scratchRecord, page, &kNoContent, 0, 0);
            carver->lazyStepPos = savedStep;
        }
        carver->nullCandidate =
            refused ? CarverState::NullCandidate::Refused : CarverState::NullCandidate::Taken;
    }
    return carver->nullCandidate == CarverState::NullCandidate::Refused;
}

uint32_t CCommonInterFace::SkipLiveRange(uint64_t page, uint32_t offset) {
    if (page != carver->skipCursorPage || carver->skipCursorPage == 0) {
        carver->skipCursorPage = page;
        carver->skipCursorIndex = 0;
        auto it = liveCells.find(page);
        if (it == liveCells.end())
            carver->skipCursorRanges.clear();
        else
            carver->skipCursorRanges = it->second;
    }
    const std::vector<CellRange>& ranges = carver->skipCursorRanges;
    size_t& i = carver->skipCursorIndex;
    // The ranges are sorted and merged; the cursor moves back only for an earlier offset.
    while (i > 0 && ranges[i - 1].end > offset)
        --i;
    while (i < ranges.size() && ranges[i].end <= offset)
        ++i;
    if (i < ranges.size() && ranges[i].start <= offset) {
        uint64_t end = ranges[i].end;
        return end > UINT32_MAX ? UINT32_MAX : uint32_t(end);
    }
    return offset;
}

int CCommonInterFace::TryRecordAt(uint64_t page, uint32_t* offset) {
    const size_t n = columnCount > 0 ? size_t(columnCount) : 0;
    if (!owner || !offset || pageSize == 0 || pageBuffer.size() != pageSize || n == 0 ||
        columnKinds.size() < n || columnSizes.size() < n)
        return -1;
    const uint32_t start = *offset;
    if (uint64_t(start) + n > pageSize) return 0;
    if (FirstColumnIsRowid() && n == 1) return 0; // nothing but the rowid: no record content to look for
    if (carver->filterColumns != columnCount) PrepareFilters();
    const int result = ExamineCandidate(page, start);
    FlushHeldCandidate();
    return result;
}

void CCommonInterFace::PrepareFilters() {
    const size_t n = columnCount > 0 ? size_t(columnCount) : 0;
    carver->filterColumns = columnCount;
    carver->nullCandidate = CarverState::NullCandidate::Unknown;
    carver->columnAccept.assign(n, ~0u);
    carver->columnSoundKinds.assign(n, ~0u);
    bool declared = false;
    for (size_t c = 0; c < n && c < acceptedKinds.size(); ++c) {
        if (acceptedKinds[c] != 0) {
            carver->columnAccept[c] = acceptedKinds[c];
            declared = true;
        }
    }
    // A candidate is sound when its values fit the schema's declared column types. The
    // parser's declared kinds are left out of it: a record the parser accepts fits them
    // anyway, and declaring them must only make the carver faster, never change what it
    // finds.
    for (size_t c = 0; c < n; ++c) {
        if (c < columns.size() && !(c == 0 && columns[c].isIntegerPrimaryKey))
            carver->columnSoundKinds[c] = declaredTypeKinds(columns[c].type);
    }
    carver->acceptAll = !declared;
    carver->pairFilter.clear();
    const size_t first = FirstColumnIsRowid() ? 1 : 0;
    if (!declared || first + 2 > n) return;
    // Which pairs of bytes can open a serial-type list: the first examined column's type
    // must be of an accepted kind, and so must the second's when the first is one byte;
    // a first type of two bytes must also leave room for its content. A longer varint is
    // left to the full test. The filter only drops candidates the full test would drop.
    const uint64_t bound = ContentBound();
    const uint32_t a0 = carver->columnAccept[first], a1 = carver->columnAccept[first + 1];
    const bool longOk1 = (a1 & ((1u << KindBlob) | (1u << KindText))) != 0;
    auto acceptedType = [](uint32_t accept, uint64_t type) {
        if (type == 10 || type == 11) return false;
        uint32_t kind = 0;
        SerialTypeSize(type, &kind);
        return (accept & (1u << kind)) != 0;
    };
    carver->pairFilter.assign(65536 / 64, 0);
    for (uint32_t b0 = 0; b0 < 256; ++b0) {
        for (uint32_t b1 = 0; b1 < 256; ++b1) {
            bool ok;
            if (b0 >= 0x80) {
                if (b1 >= 0x80) {
                    ok = true;
                } else {
                    const uint64_t type = uint64_t(b0 & 0x7f) << 7 | b1;
                    uint32_t kind = 0;
                    const uint64_t size = SerialTypeSize(type, &kind);
                    ok = acceptedType(a0, type) && size + 2 <= bound;
                }
            } else {
                ok = acceptedType(a0, b0) && (b1 >= 0x80 ? longOk1 : acceptedType(a1, b1));
            }
            if (ok) carver->pairFilter[(b0 << 8 | b1) >> 6] |= 1ull << ((b0 << 8 | b1) & 63);
        }
    }
}

int CCommonInterFace::ExamineCandidate(uint64_t page, uint32_t start) {
    // Called with start + columnCount <= pageSize and at least one column to examine.
    const size_t n = size_t(columnCount);
    const uint64_t ps = pageSize;
    const uint8_t* data = pageBuffer.data();
    const size_t startColumn = FirstColumnIsRowid() ? 1 : 0;
    if (startColumn == 1) {
        // The INTEGER PRIMARY KEY is stored as NULL; its value is the rowid.
        columnKinds[0] = KindNotRead;
        columnSizes[0] = 0;
    }
    // Content of a candidate never exceeds the page, or its overflow chain's reach.
    const uint64_t bound = ContentBound();
    const uint32_t* accepted = carver->columnAccept.data();

    uint64_t pos = start;
    uint64_t contentTotal = 0;
    for (size_t c = startColumn; c < n; ++c) {
        if (pos >= ps) return 1;
        uint32_t kind;
        uint64_t size;
        if (!readSerialType(data, pos, ps, kind, size)) return 1;
        if ((accepted[c] & (1u << kind)) == 0) return 1;
        if (size > bound) return 1;
        contentTotal += size;
        if (ContentPastBound(pos, contentTotal, bound)) return 1;
        columnKinds[c] = kind;
        columnSizes[c] = size;
    }
    return FinishCandidate(page, start, pos, contentTotal);
}

uint64_t CCommonInterFace::ContentBound() const {
    if (!followOverflow) return pageSize;
    // The local part and a full chain, and never more than the file holds.
    const uint64_t reach = pageSize * uint64_t(kMaxOverflowPages + 1);
    return std::max<uint64_t>(pageSize, std::min<uint64_t>(reach, fileSizeBytes));
}

int CCommonInterFace::ExamineWithoutFirstType(uint64_t page, uint32_t start) {
    // The freeblock header ends at start: the next freeblock's offset (0, or past this
    // one) and this one's size, which must take in the whole row.
    const size_t n = size_t(columnCount);
    if (n < 2 || FirstColumnIsRowid() || followOverflow || start < 4 || uint64_t(start) >= pageSize) return 1;
    const uint8_t* data = pageBuffer.data();
    const uint64_t block = start - 4;
    const uint64_t next = (uint64_t(data[block]) << 8) | data[block + 1];
    const uint64_t size = (uint64_t(data[block + 2]) << 8) | data[block + 3];
    const uint64_t blockEnd = block + size;
    if (size < 4 + n || blockEnd > pageSize) return 1;
    if (next != 0 && (next < blockEnd || next + 4 > pageSize)) return 1;
    const uint32_t* accepted = carver->columnAccept.data();
    if ((accepted[0] & ((1u << KindNull) | (1u << KindZero) | (1u << KindOne))) == 0) return 1;
    columnKinds[0] = KindNull;
    columnSizes[0] = 0;
    uint64_t pos = start;
    uint64_t contentTotal = 0;
    for (size_t c = 1; c < n; ++c) {
        if (pos >= blockEnd) return 1;
        uint32_t kind;
        uint64_t bytes;
        if (!readSerialType(data, pos, blockEnd, kind, bytes)) return 1;
        if ((accepted[c] & (1u << kind)) == 0) return 1;
        contentTotal += bytes;
        if (pos + contentTotal > blockEnd) return 1;
        columnKinds[c] = kind;
        columnSizes[c] = bytes;
    }
    const uint64_t savedStep = carver->lazyStepPos;
    carver->lazyStepPos = UINT64_MAX;
    const bool savedWindow = carver->windowValid;
    const int result = FinishCandidate(page, start, pos, contentTotal);
    carver->lazyStepPos = savedStep;
    carver->windowValid = savedWindow;
    return result;
}

bool CCommonInterFace::ContentPastBound(uint64_t contentStart, uint64_t contentTotal, uint64_t bound) const {
    // Without overflow pages the content must end within the page. With them only its
    // length is capped: the local part's place in the page is checked once the payload's
    // split is known (FinishCandidate), so a long record near the page's end still counts.
    return followOverflow ? contentTotal > bound : contentStart + contentTotal > bound;
}

int CCommonInterFace::FinishCandidate(uint64_t page, uint32_t start, uint64_t pos, uint64_t contentTotal) {
    // The serial types of [start, pos) are in columnKinds / columnSizes and passed every
    // test of the walk; their content, contentTotal bytes, starts at pos.
    const uint64_t ps = pageSize;
    const size_t startColumn = FirstColumnIsRowid() ? 1 : 0;
    const uint32_t headerBytes = uint32_t(pos - start);
    const uint8_t* content = pageBuffer.data() + pos;

    bool decoded = false;
    uint64_t end = pos + contentTotal; // end of the candidate's bytes on this page
    if (!followOverflow) {
        if (InsideAcceptedCandidate(page, start, end)) return 1;
        decoded = DecodeInto(carver->scratchRecord, page, content, contentTotal, contentTotal);
    } else {
        // The payload as SQLite stores it: header-size varint, the rowid column's NULL
        // type, the other serial types, then the content. Its local part follows the
        // file format's rule; the rest lives on overflow pages.
        const uint64_t typesBytes = headerBytes + startColumn;
        const uint64_t sizeVarint = typesBytes + 1 < 0x80 ? 1 : (typesBytes + 2 < 0x4000 ? 2 : 3);
        const uint64_t prefix = sizeVarint + typesBytes;
        const uint64_t payload = prefix + contentTotal;
        const uint64_t local = LocalPayloadSize(payload, false);
        if (local >= payload) {
            if (pos + contentTotal > ps) return 1;
            if (InsideAcceptedCandidate(page, start, end)) return 1;
            decoded = DecodeInto(carver->scratchRecord, page, content, contentTotal, contentTotal);
        } else {
            if (local <= prefix) return 1; // the serial types themselves would continue elsewhere
            const uint64_t localContent = local - prefix;
            if (pos + localContent + 4 > ps) return 1;
            end = pos + localContent + 4;
            if (InsideAcceptedCandidate(page, start, end)) return 1;
            const uint32_t first = be32(content + localContent);
            const uint64_t perPage = usableSize - 4;
            const uint64_t pages = (contentTotal - localContent + perPage - 1) / perPage;
            if (pages < 1 || pages > uint64_t(kMaxOverflowPages)) return 1;
            // The chain is followed while it holds; a record whose chain broke keeps what
            // was read before the break (its columns past it are not read).
            uint64_t reached = 0;
            if (!ReadOverflow(first, int(pages), content, int(localContent), &reached)) return 1;
            decoded = DecodeInto(carver->scratchRecord, page, overflowBuffer.data(), contentTotal,
                                 std::min(reached, contentTotal));
        }
    }
    if (!decoded) return 1;

    int32_t rowid = RecoverRowid(start, headerBytes, contentTotal, int(startColumn));
    const bool sound = CandidateSound(carver->scratchRecord);
    if (carver->heldValid) {
        const bool inside = carver->heldPage == page && start >= carver->heldSpan.start &&
                            end <= carver->heldSpan.end &&
                            end - start < carver->heldSpan.end - carver->heldSpan.start;
        if (inside) {
            // A sound row inside a candidate that is not: the outer one was that row
            // read from a wrong offset. A candidate no sounder than it is its fragment.
            if (!sound) return 1;
            carver->heldValid = false;
            carver->droppedSpan = carver->heldSpan;
            carver->droppedPage = carver->heldPage;
        } else {
            FlushHeldCandidate();
        }
    }
    if (!sound) {
        // Another misaligned read of bytes already given to a sound row.
        if (carver->droppedPage == page && start >= carver->droppedSpan.start &&
            end <= carver->droppedSpan.end)
            return 1;
        carver->heldRecord = carver->scratchRecord;
        for (size_t c = 0; c < carver->heldRecord.values.size() && c < carver->heldRecord.kinds.size(); ++c) {
            // The copied text and blob slots point at the copy's own buffers.
            if (carver->heldRecord.kinds[c] == KindText)
                carver->heldRecord.values[c].text = carver->heldRecord.buffers[c].data();
            if (carver->heldRecord.kinds[c] == KindBlob)
                carver->heldRecord.values[c].blob =
                    reinterpret_cast<uint8_t*>(carver->heldRecord.buffers[c].data());
        }
        carver->heldRowid = rowid;
        carver->heldPage = page;
        carver->heldSpan = {start, end};
        carver->heldValid = true;
        return 1;
    }
    if (OnCarvedRecord(&carver->scratchRecord, rowid)) {
        if (carver->acceptedSpansPage != page) {
            carver->acceptedSpans.clear();
            carver->acceptedSpansPage = page;
        }
        carver->acceptedSpans.push_back({start, end});
    }
    return 1;
}

bool CCommonInterFace::CandidateSound(const CarvedRecord& record) const {
    const size_t n = std::min<size_t>(record.kinds.size(), carver->columnSoundKinds.size());
    for (size_t c = 0; c < n; ++c) {
        const uint32_t kind = record.kinds[c];
        if (kind == KindNotRead) continue;
        if ((carver->columnSoundKinds[c] & (1u << kind)) == 0) return false;
        if (kind != KindText || c >= record.buffers.size()) continue;
        // The whole content: a NUL inside cut the text short.
        const std::vector<char>& b = record.buffers[c];
        const size_t size = std::min<size_t>(record.sizes[c], b.size());
        size_t from = 0;
        while (from <= size) {
            // Carriage returns are line ends of real texts.
            const void* cr = memchr(b.data() + from, '\r', size - from);
            const size_t to = cr ? size_t(static_cast<const char*>(cr) - b.data()) : size;
            if (!isReadableText(b.data() + from, to - from)) return false;
            from = to + 1;
        }
    }
    return true;
}

void CCommonInterFace::FlushHeldCandidate() {
    if (!carver->heldValid) return;
    carver->heldValid = false;
    if (Cancelled()) return;
    if (OnCarvedRecord(&carver->heldRecord, carver->heldRowid)) {
        if (carver->acceptedSpansPage != carver->heldPage) {
            carver->acceptedSpans.clear();
            carver->acceptedSpansPage = carver->heldPage;
        }
        carver->acceptedSpans.push_back(carver->heldSpan);
    }
}

bool CCommonInterFace::InsideAcceptedCandidate(uint64_t page, uint64_t start, uint64_t end) const {
    // A candidate whose bytes lie wholly within a longer candidate already taken from
    // this page is that record read from a wrong offset (a fragment of a name, a text
    // read as a number), not a record of its own.
    if (carver->acceptedSpansPage != page) return false;
    for (const CellRange& r : carver->acceptedSpans) {
        if (start >= r.start && end <= r.end && end - start < r.end - r.start) return true;
    }
    return false;
}

bool CCommonInterFace::OverflowChainPage(uint64_t page, const uint8_t head[4]) const {
    if (page < 2 || page > pageCount) return false;
    if (page < carver->freelistTrunks.size() && carver->freelistTrunks[page]) return false;
    if (liveCells.count(page)) return false;
    // An overflow page starts with the number of the next one, whose first byte is 0 or 1
    // in a file of fewer than 2^25 pages; a b-tree page starts with its type instead.
    if (pageCount < (uint64_t(1) << 25)) {
        const uint8_t type = head[0];
        if (type == 2 || type == 5 || type == 10 || type == 13) return false;
    }
    return true;
}

bool CCommonInterFace::ReadOverflow(uint64_t firstPage, int pages, const uint8_t* local, int localLength,
                                    uint64_t* reached) {
    if (!local || !reached || pages < 1 || pages > kMaxOverflowPages || pageSize == 0 || usableSize < 480 ||
        file < 0 || localLength < 0 || uint64_t(localLength) >= pageSize)
        return false;
    const uint64_t perPage = usableSize - 4;
    const uint64_t need = uint64_t(localLength) + uint64_t(pages) * perPage;
    overflowBuffer.assign(std::max<uint64_t>(3 * pageSize, need), 0);
    memcpy(overflowBuffer.data(), local, size_t(localLength));
    uint64_t next = firstPage;
    uint64_t at = uint64_t(localLength);
    std::vector<uint64_t> seen;
    for (int i = 0; i < pages; ++i) {
        // A chain that leaves the file, loops, or runs into a page that is now something
        // else (a b-tree page, a freelist trunk whose first bytes list page numbers) is
        // broken there: what its pages held before stays, nothing after is guessed.
        if (next == 0 || next > pageCount || std::find(seen.begin(), seen.end(), next) != seen.end()) break;
        const uint64_t start = (next - 1) * pageSize;
        uint8_t link[4];
        if (!ReadAt(start, link, sizeof link) || !OverflowChainPage(next, link)) break;
        if (!ReadAt(start + 4, overflowBuffer.data() + at, size_t(perPage))) {
            std::fill(overflowBuffer.begin() + std::ptrdiff_t(at), overflowBuffer.end(), uint8_t(0));
            break;
        }
        seen.push_back(next);
        at += perPage;
        next = be32(link);
    }
    *reached = at;
    return true;
}

bool CCommonInterFace::DecodeInto(CarvedRecord& record, uint64_t page, const uint8_t* content,
                                  uint64_t contentLength, uint64_t available) {
    const size_t n = columnCount > 0 ? size_t(columnCount) : 0;
    if (n == 0 || !content || columnKinds.size() < n || columnSizes.size() < n) return false;
    record.valid = true;
    record.cut = false;
    record.page = uint32_t(page);
    record.columnCount = columnCount;
    available = std::min(available, contentLength);
    if (record.values.size() != n || record.kinds.size() != n || record.sizes.size() != n ||
        record.buffers.size() != n) {
        record.values.resize(n);
        record.kinds.resize(n);
        record.sizes.resize(n);
        record.buffers.resize(n);
    }
    uint64_t at = 0;
    // During a page scan the serial types may still sit in the page's step tables.
    uint64_t step = carver->lazyStepPos;
    const size_t firstStepColumn = FirstColumnIsRowid() ? 1 : 0;
    // The record's arrays belong to the carver: no hook can resize them.
    CarvedValue* values = record.values.data();
    uint32_t* kinds = record.kinds.data();
    uint32_t* sizes = record.sizes.data();
    std::vector<char>* buffers = record.buffers.data();
    for (size_t c = 0; c < n; ++c) {
        if (step != UINT64_MAX && c >= firstStepColumn) {
            columnKinds[c] = carver->stepKind[step];
            columnSizes[c] = carver->stepSize[step];
            step += carver->stepLen[step];
        }
        const uint32_t kind = columnKinds[c];
        uint64_t size = columnSizes[c];
        if (size > contentLength - at) return false;
        const uint8_t* p = content + at;
        CarvedValue v;
        v.i64 = 0;
        std::vector<char>& buffer = buffers[c];
        buffer.clear();
        const uint64_t begin = at;
        at += size; // where the next column's bytes begin
        if (size > 0 && begin + size > available) {
            // Bytes past a break of the overflow chain: a text or blob keeps what was read
            // of it (a text up to its last whole character), any other value is not read.
            record.cut = true;
            uint64_t have = begin < available ? available - begin : 0;
            if (kind == KindText) have = Utf8WholeLength(p, have);
            if (have == 0 || (kind != KindText && kind != KindBlob)) {
                kinds[c] = KindNotRead;
                sizes[c] = 0;
                values[c] = v;
                continue;
            }
            size = have;
        }
        switch (kind) {
        case KindNotRead:
        case KindNull:
        case KindZero:
            break;
        case KindOne:
            setLow32(v, 1);
            break;
        case KindInt8:
        case KindInt16:
        case KindInt24:
        case KindInt32:
            if (size > 4) return false;
            setLow32(v, int32_t(signExtend(p, int(size))));
            break;
        case KindInt48:
            v.i64 = signExtend(p, 6);
            break;
        case KindInt64:
            v.i64 = signExtend(p, 8);
            break;
        case KindDouble:
            v.i64 = truncatedDouble(p);
            break;
        case KindBlob:
            // Copied as chars, so that the copy is one block move.
            buffer.reserve(size_t(size) + 1);
            buffer.assign(reinterpret_cast<const char*>(p), reinterpret_cast<const char*>(p) + size);
            buffer.push_back('\0');
            v.blob = reinterpret_cast<uint8_t*>(buffer.data());
            break;
        case KindText: {
            // The text stops at its first NUL; the rest of the buffer stays zero.
            const void* nul = memchr(p, 0, size_t(size));
            size_t len = nul ? size_t(static_cast<const uint8_t*>(nul) - p) : size_t(size);
            buffer.reserve(size_t(size) + 1);
            buffer.assign(reinterpret_cast<const char*>(p), reinterpret_cast<const char*>(p) + len);
            buffer.resize(size_t(size) + 1, '\0');
            v.text = buffer.data();
            break;
        }
        default:
            return false;
        }
        kinds[c] = kind;
        sizes[c] = uint32_t(size);
        values[c] = v;
        if (!CheckCarvedValue(int32_t(c), kind, &values[c], uint32_t(size))) return false;
    }
    return true;
}

CarvedRecord* CCommonInterFace::DecodeRecord(uint64_t page, const uint8_t* content, uint64_t contentLength,
                                             int columnsWanted) {
    if (columnCount < 1 || columnsWanted != columnCount) return nullptr;
    auto record = std::make_unique<CarvedRecord>();
    if (!DecodeInto(*record, page, content, contentLength, contentLength)) return nullptr;
    return record.release();
}

void CCommonInterFace::FreeRecord(CarvedRecord* record) {
    if (!record) return;
    record->valid = false;
    record->columnCount = 0;
    record->values.clear();
    record->kinds.clear();
    record->sizes.clear();
    record->buffers.clear();
}

int32_t CCommonInterFace::RecoverRowid(uint32_t start, uint32_t headerBytes, uint64_t contentTotal,
                                       int startColumn) const {
    // A table leaf cell is: payload length varint, rowid varint, then the record, which
    // starts with its header-size varint. Nothing before the page's first byte is read.
    if (start < 3 || pageBuffer.size() != pageSize) return 0;
    const uint8_t* data = pageBuffer.data();
    uint64_t payload = contentTotal + headerBytes;
    uint64_t header = headerBytes;
    uint32_t p = start;
    if (startColumn == 1) {
        if (data[start - 1] != 0x00) return 0;
        p = start - 1;
        header += 1;
        payload += 1;
    }
    uint32_t h = 0;
    if (header + 1 < 0x80) {
        if (p < 1 || data[p - 1] != header + 1) return 0;
        h = p - 1;
        payload += 1;
    } else {
        if (p < 2) return 0;
        uint8_t b0 = data[p - 2], b1 = data[p - 1];
        if (b0 < 0x80 || b1 >= 0x80) return 0;
        if (((uint64_t(b0 & 0x7f) << 7) | b1) != header + 2) return 0;
        h = p - 2;
        payload += 2;
    }
    // Rowid varint ending right before the header size.
    uint64_t rowid = 0;
    uint32_t r = 0;
    bool found = false;
    for (uint32_t k = std::min<uint32_t>(9, h); k >= 1; --k) {
        uint64_t v = 0;
        if (ParseVarint(data + h - k, int32_t(k), &v) == int(k)) {
            rowid = v;
            r = h - k;
            found = true;
            break;
        }
    }
    if (!found) return 0;
    // Payload-length varint ending right before the rowid. When a varint can end there it
    // must be the payload length in its one (shortest) encoding: trying the longest
    // varint first would take in the last bytes of the cell before.
    if (r > 0 && data[r - 1] < 0x80) {
        uint32_t len = 1;
        while (len < 9 && (len == 8 ? payload >= (1ull << 56) : payload >= (1ull << (7 * len))))
            ++len;
        uint64_t v = 0;
        if (r < len || ParseVarint(data + r - len, int32_t(len), &v) != int(len) || v != payload) return 0;
    }
    return int32_t(uint32_t(rowid));
}
