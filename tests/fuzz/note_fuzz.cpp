// Fuzz target of the note body decoders and the archived-string reader: the input is one
// stored body, tried as a gzip member, a note document, the HTML of an older note and an
// archived attributed string. Nothing may crash, hang or leak.
#include "core/apps/ArchivedStringText.h"
#include "core/apps/NoteText.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());

    std::string text;
    if (looksLikeGzipMember(p, bytes.size())) {
        std::string inflated;
        // A small output bound keeps every run short; the bound itself is under test.
        if (gunzipMember(bytes.data(), bytes.size(), &inflated, 1u << 20))
            noteTextFromProtobuf(reinterpret_cast<const uint8_t*>(inflated.data()), inflated.size(), &text);
    }
    noteTextFromProtobuf(p, bytes.size(), &text);
    cleanNoteHtml(bytes.c_str(), &text);

    ArchivedStringText::HasArchiveHeader(p, bytes.size());
    ArchivedStringText::Read(p, bytes.size());
    return 0;
}
