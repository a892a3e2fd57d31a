#include "core/apps/CMemo.h"
#include "core/apps/NoteText.h"
#include "scan/engine/CScanManager.h"
#include "tests/kit/NoteBody.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using kit::field;
using kit::fieldVarint;
using kit::gzip;
using kit::incompressibleText;
using kit::noteBody;
using kit::noteProtobuf;
using kit::varint;

namespace {

struct DecodeCase {
    const char* name;
    std::string blob;
    bool ok;
    std::string text;
};

std::string corruptDeflate() {
    std::string b = noteBody(incompressibleText(400));
    // Damage the deflate data behind the 10-byte header.
    for (size_t i = 12; i < 40; ++i)
        b[i] = static_cast<char>(b[i] ^ 0x5A);
    return b;
}

std::string badCrc() {
    std::string b = noteBody("checked text");
    b[b.size() - 8] = static_cast<char>(b[b.size() - 8] ^ 0xFF);
    return b;
}

std::string lengthPastEnd() {
    // The text field claims 200 bytes but the document ends after 5.
    std::string note = std::string("\x12") + varint(200) + "short";
    std::string document = fieldVarint(0x08, 0) + fieldVarint(0x10, 0) + field(0x1A, note);
    return gzip(fieldVarint(0x08, 0) + field(0x12, document));
}

std::string wrongTag() {
    std::string document = fieldVarint(0x08, 0) + fieldVarint(0x18, 0) + field(0x1A, field(0x12, "x"));
    return gzip(fieldVarint(0x08, 0) + field(0x12, document));
}

std::string hugeVarint() {
    // A ten-byte varint where the first field's value is expected.
    return gzip(std::string("\x08") + std::string(10, '\xFF') + "\x01");
}

std::vector<DecodeCase> decodeCases() {
    const std::string longText = std::string(200000, 'a') + "end";
    std::string valid = noteBody("Shopping list\nmilk\neggs");
    return {
        {"valid note", valid, true, "Shopping list\nmilk\neggs"},
        {"empty blob", "", false, ""},
        {"one byte", "\x1F", false, ""},
        {"ten bytes of header only", valid.substr(0, 10), false, ""},
        {"seventeen bytes", valid.substr(0, 17), false, ""},
        {"not gzip", std::string(40, 'x'), false, ""},
        {"truncated stream", valid.substr(0, valid.size() - 12), false, ""},
        {"trailer missing", valid.substr(0, valid.size() - 8), false, ""},
        {"corrupt deflate", corruptDeflate(), false, ""},
        {"crc mismatch", badCrc(), false, ""},
        {"file name in header", gzip(noteProtobuf("named member"), "note.pb"), true, "named member"},
        {"100:1 compressible note decoded whole", noteBody(longText), true, longText},
        {"protobuf length past the end", lengthPastEnd(), false, ""},
        {"unexpected tag", wrongTag(), false, ""},
        {"overlong varint", hugeVarint(), false, ""},
        {"text cut at NUL", noteBody(std::string("before\0after", 12)), true, "before"},
    };
}

} // namespace

TEST(NoteDecoder, Table) {
    CScanManager owner(0x20, "/tmp/", "/tmp/", 14, nullptr, nullptr);
    CMemo memo(&owner);
    for (const auto& c : decodeCases()) {
        SCOPED_TRACE(c.name);
        std::string text = "stale";
        bool ok = memo.DecodeNoteData(c.blob.data(), c.blob.size(), &text);
        EXPECT_EQ(c.ok, ok);
        if (c.ok) {
            EXPECT_EQ(c.text, text);
        }
    }
}

TEST(NoteDecoder, CompressionRatioCheck) {
    // The 100:1 case really is that compressible (it would have been cut before).
    std::string blob = noteBody(std::string(200000, 'a'));
    EXPECT_GT(200000u / blob.size(), 100u);
}

TEST(NoteDecoder, NothingWhenCancelledOrOwnerless) {
    std::string blob = noteBody("text");
    std::string text;
    CMemo ownerless(nullptr);
    EXPECT_FALSE(ownerless.DecodeNoteData(blob.data(), blob.size(), &text));
    CScanManager owner(0x20, "/tmp/", "/tmp/", 14, nullptr, nullptr);
    CMemo memo(&owner);
    owner.Stop(false);
    EXPECT_FALSE(memo.DecodeNoteData(blob.data(), blob.size(), &text));
}

TEST(Gunzip, OutputCapRefusesLargerMembers) {
    std::string data(100000, 'z');
    std::string blob = gzip(data);
    std::string out;
    EXPECT_FALSE(gunzipMember(blob.data(), blob.size(), &out, 50000));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(gunzipMember(blob.data(), blob.size(), &out, 100000));
    EXPECT_EQ(data, out);
}

TEST(Gunzip, TrailingBytesAfterTheMemberAreIgnored) {
    std::string blob = gzip("payload") + "trailing junk";
    std::string out;
    ASSERT_TRUE(gunzipMember(blob.data(), blob.size(), &out));
    EXPECT_EQ("payload", out);
}

TEST(NoteProtobuf, WalkStaysInsideTheBuffer) {
    std::string pb = noteProtobuf("hello");
    std::string text;
    ASSERT_TRUE(noteTextFromProtobuf(reinterpret_cast<const uint8_t*>(pb.data()), pb.size(), &text));
    EXPECT_EQ("hello", text);
    // Every prefix of the document fails cleanly or yields a prefix-consistent text.
    for (size_t n = 0; n < pb.size(); ++n) {
        std::string cut = pb.substr(0, n);
        std::string t;
        bool ok = noteTextFromProtobuf(reinterpret_cast<const uint8_t*>(cut.data()), cut.size(), &t);
        if (ok) {
            EXPECT_EQ("hello", t) << n;
        }
    }
}

TEST(CleanNoteHtml, Table) {
    struct Case {
        const char* html;
        bool ok;
        const char* text;
    } cases[] = {
        {"Title<div>Line two</div><div>Line three</div>", true, "Title\nLine two\nLine three\n"},
        {"Title<div><br></div><div>After a blank</div>", true, "Title\nAfter a blank\n"},
        {"A&nbsp;B<div>c&nbsp;d<br>e</div>", true, "A&nbsp;B\nc d\ne\n"},
        {"<div>Only divs</div>", true, "\nOnly divs\n"},
        {"No markup at all", false, ""},
        {"", false, ""},
        {"Upper<DIV>case</DIV>", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.html);
        std::string text;
        EXPECT_EQ(c.ok, cleanNoteHtml(c.html, &text));
        if (c.ok) {
            EXPECT_EQ(c.text, text);
        }
    }
    std::string text;
    EXPECT_FALSE(cleanNoteHtml(nullptr, &text));
}
