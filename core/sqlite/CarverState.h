#pragma once
#include "core/sqlite/CCommonInterFace.h"
#include "core/sqlite/CarvedRecord.h"

#include <cstdint>
#include <vector>

// Working state of the carver of one CCommonInterFace: what a page scan builds and
// reuses from one candidate to the next. Only the carver reads or writes it.
class CarverState {
  public:
    CarverState();
    ~CarverState();
    CarverState(const CarverState&) = delete;
    CarverState& operator=(const CarverState&) = delete;

    std::vector<bool> skipPages; // per page: set for the pages of skipTables during a page scan
    // Cursor of SkipLiveRange: the ranges of one page and the index of the next one.
    uint64_t skipCursorPage = 0;
    std::vector<CellRange> skipCursorRanges;
    size_t skipCursorIndex = 0;
    CarvedRecord scratchRecord; // reused for every candidate of a page scan
    // Per column the accepted kinds (every kind when none declared), and a bit per pair
    // of one-byte serial types that the first two examined columns could start with.
    std::vector<uint32_t> columnAccept;
    std::vector<uint64_t> pairFilter;
    int32_t filterColumns = -1;
    // Per byte of the page in pageBuffer, read as the start of a serial type: its length
    // in bytes (0 when no valid serial type starts there: reserved, cut off by the page
    // end, or content larger than a candidate may hold), kind and content size, and how
    // many valid serial types follow one another from there (at most the number a
    // candidate needs). Built once per page by CarvePage.
    std::vector<uint8_t> stepLen;
    std::vector<uint8_t> stepKind;
    std::vector<uint32_t> stepSize;
    std::vector<uint32_t> stepRun;
    std::vector<CellRange> stepGaps;
    // Per column the kinds a sound candidate holds there (see CandidateSound).
    std::vector<uint32_t> columnSoundKinds;
    // A candidate that passed every test but is not sound, held back while the scan is
    // inside its bytes: a sound candidate lying wholly inside it takes its place.
    bool heldValid = false;
    CarvedRecord heldRecord;
    int32_t heldRowid = 0;
    uint64_t heldPage = 0;
    CellRange heldSpan;
    // The last held candidate that a sound row inside it replaced.
    uint64_t droppedPage = 0;
    CellRange droppedSpan;
    // Byte ranges of the candidates the subclass took from the page being carved.
    uint64_t acceptedSpansPage = 0;
    std::vector<CellRange> acceptedSpans;
    // No kinds declared: the walk only adds up sizes, sliding along from the offset before.
    bool acceptAll = true;
    bool windowValid = false;
    uint64_t windowStart = 0;
    uint64_t windowEnd = 0;
    uint64_t windowTotal = 0;
    enum class NullCandidate { Unknown, Refused, Taken };
    NullCandidate nullCandidate = NullCandidate::Unknown;
    // Per page: a trunk page of the freelist (page numbers where an overflow chain may once
    // have gone on); built by CarveTable when overflow pages are followed.
    std::vector<bool> freelistTrunks;
    // Start of the serial types DecodeInto copies from the step tables (none: UINT64_MAX).
    uint64_t lazyStepPos = UINT64_MAX;
};
