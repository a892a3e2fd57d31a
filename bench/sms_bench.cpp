// Messages parser over a generated sms.db: 200,000 messages over 2,000 handles, 20% of
// them deleted (secure_delete off), in two shapes: the text column filled (up to iOS 15)
// and the words only in the archived attributedBody (iOS 16 on, text NULL). Measures a whole parser run and
// how many deleted messages come back out of those whose text still lies in the file, counted without the
// parser by searching the raw bytes for each deleted message's unique text.
// A third shape holds 17,000 messages, every tenth 2,900 to 5,700 characters long (Latin
// and Chinese words), with the text column filled: its long deleted messages whose start
// still lies in the file are counted apart, as recovered whole or as their first part
// (a record whose overflow chain broke).
#include "core/apps/CSMS.h"
#include "core/records/SmsConversationRecord.h"
#include "scan/engine/CScanManager.h"
#include "tests/kit/ArchivedBody.h"
#include "tests/kit/BackupBuilder.h"
#include "tests/kit/DevicePathManifest.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/SystemSchemas.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kMessages = 200000;
constexpr int kLongShapeMessages = 17000;
constexpr int kHandles = 2000;
constexpr double kDeletedShare = 0.20;
constexpr const char* kRelative = "Library/SMS/sms.db";

struct Fixture {
    fs::path root;
    fs::path backup;
    fs::path out;
    kit::DevicePathManifest parser;
    std::vector<std::string> deletedTexts;
    size_t surviving = 0; // deleted messages whose text is still in the file
    // Long shape: the long deleted messages, and how many start (first 100 bytes) in the file.
    std::vector<std::string> deletedLong;
    size_t longStarting = 0;
};

std::string guidFor(int n) {
    char b[40];
    std::snprintf(b, sizeof b, "%08X-5A5A-4B4B-8C8C-%012X", n, n * 2654435761u);
    return b;
}

// Texts are unique per message ("#<number>" and a varying tail); the archived body holds
// a different token, so a text found in the file is the text column itself.
std::string textFor(int n, std::mt19937& rng) {
    static const char* const words[] = {
        "ok",      "see you",        "on my way",   "call me later",
        "thanks!", "where are you?", "dinner at 7", "the meeting moved to Friday"};
    std::string t = "msg #" + std::to_string(n) + " ";
    int k = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < k; ++i) {
        t += words[rng() % 8];
        t += ' ';
    }
    return t;
}

// A long text of 2,900 to 5,700 characters, unique by its "msg #<n> " start.
std::string longTextFor(int n, std::mt19937& rng) {
    static const char* const words[] = {
        "the weather ", "tomorrow ",       "\xe6\x98\x8e\xe5\xa4\xa9 ", "\xe4\xbc\x9a\xe8\xae\xae ",
        "remember to ", "bring the keys ", "\xe8\xb0\xa2\xe8\xb0\xa2 ", "and then "};
    std::string t = "msg #" + std::to_string(n) + " long ";
    const size_t chars = 2900 + rng() % 2801;
    size_t count = 0;
    while (count < chars) {
        const std::string w = words[rng() % 8];
        t += w;
        for (unsigned char c : w)
            count += (c & 0xC0) != 0x80;
    }
    return t;
}

// shape 0: text column, 1: archived body only, 2: long messages (text column).
Fixture& fixture(int shape) {
    const bool bodyOnly = shape == 1;
    const bool longShape = shape == 2;
    const int total = longShape ? kLongShapeMessages : kMessages;
    auto build = [bodyOnly, longShape, total] {
        Fixture x;
        std::string tmpl = (fs::temp_directory_path() / "smsbench-XXXXXX").string();
        x.root = mkdtemp(tmpl.data());
        x.backup = x.root / "backup";
        x.out = x.root / "out";
        fs::create_directories(x.out);
        fs::path db = x.root / "sms.db";
        std::mt19937 rng(20240601);
        {
            kit::FixtureDb f(db);
            f.exec(kit::kSmsSchema);
            f.exec("BEGIN");
            for (int h = 1; h <= kHandles; ++h)
                f.run("INSERT INTO handle(id,country,service) VALUES(?1,'us','SMS')",
                      {"+1555" + std::to_string(1000000 + h)});
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(f.handle(),
                               "INSERT INTO message(guid,text,handle_id,attributedBody,service,account,"
                               "account_guid,date,date_read,date_delivered,is_from_me,is_read,is_delivered,"
                               "is_finished) VALUES(?1,?2,?3,?4,'SMS','p:0',?5,?6,0,0,?7,1,1,1)",
                               -1, &st, nullptr);
            const std::string accountGuid = "A1B2C3D4-0000-4000-8000-00000000ACC0";
            int64_t date = (1500000000LL - 978307200LL) * 1000000000LL;
            std::vector<std::string> texts(size_t(total) + 1);
            auto add = [&](int i) {
                std::string guid = guidFor(i);
                std::string text = longShape && i % 10 == 0 ? longTextFor(i, rng) : textFor(i, rng);
                if (size_t(i) >= texts.size()) texts.resize(size_t(i) + 1);
                texts[size_t(i)] = text;
                // The text shape's archive holds another token, so that a text found in
                // the file is the text column itself; the other shape has only the archive.
                std::string body =
                    bodyOnly ? kit::archivedBody(text)
                             : std::string("\x04\x0bstreamtyped\x81\xe8\x03\x84\x01\x40\x84\x84\x84", 19) +
                                   "NSAttributedString body " + std::to_string(i * 7);
                date += static_cast<int64_t>(30 + rng() % 1200) * 1000000000LL; // about four years in all
                sqlite3_bind_text(st, 1, guid.c_str(), -1, SQLITE_TRANSIENT);
                if (bodyOnly)
                    sqlite3_bind_null(st, 2);
                else
                    sqlite3_bind_text(st, 2, text.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int64(st, 3, 1 + static_cast<int64_t>(rng() % kHandles));
                sqlite3_bind_blob(st, 4, body.data(), static_cast<int>(body.size()), SQLITE_TRANSIENT);
                sqlite3_bind_text(st, 5, accountGuid.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int64(st, 6, date);
                sqlite3_bind_int(st, 7, static_cast<int>(rng() % 2));
                sqlite3_step(st);
                sqlite3_reset(st);
            };
            for (int i = 1; i <= total; ++i)
                add(i);
            f.exec("COMMIT");

            // 20% of the messages, picked at random, are deleted one statement at a time
            // as the phone does.
            std::vector<int> ids(static_cast<size_t>(total));
            for (int i = 0; i < total; ++i)
                ids[size_t(i)] = i + 1;
            std::shuffle(ids.begin(), ids.end(), rng);
            ids.resize(static_cast<size_t>(total * kDeletedShare));
            // In the long shape new messages keep arriving between the deletions (one after
            // each), as on a phone in use: they take pages from the free list, so that the
            // list runs empty and freed overflow pages become its trunk pages.
            int next = total;
            f.exec("BEGIN");
            sqlite3_stmt* exists = nullptr;
            sqlite3_prepare_v2(f.handle(), "SELECT 1 FROM message WHERE ROWID=?1", -1, &exists, nullptr);
            sqlite3_stmt* del = nullptr;
            sqlite3_prepare_v2(f.handle(), "DELETE FROM message WHERE ROWID=?1", -1, &del, nullptr);
            for (int id : ids) {
                sqlite3_bind_int(exists, 1, id);
                if (sqlite3_step(exists) == SQLITE_ROW) {
                    x.deletedTexts.push_back(texts[size_t(id)]);
                    if (longShape && id % 10 == 0) x.deletedLong.push_back(texts[size_t(id)]);
                }
                sqlite3_reset(exists);
                sqlite3_bind_int(del, 1, id);
                sqlite3_step(del);
                sqlite3_reset(del);
                if (longShape) add(++next);
            }
            sqlite3_finalize(exists);
            sqlite3_finalize(del);
            sqlite3_finalize(st);
            f.exec("COMMIT");
        }

        // Survivors, counted on the raw bytes alone.
        std::ifstream in(db, std::ios::binary);
        std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // Index every "msg #<n> " in the file by n, then compare each deleted text there.
        std::unordered_multimap<long, size_t> at;
        for (size_t pos = raw.find("msg #"); pos != std::string::npos; pos = raw.find("msg #", pos + 1))
            at.emplace(std::strtol(raw.c_str() + pos + 5, nullptr, 10), pos);
        for (const std::string& t : x.deletedTexts) {
            auto [lo, hi] = at.equal_range(std::strtol(t.c_str() + 5, nullptr, 10));
            for (auto it = lo; it != hi; ++it) {
                if (raw.compare(it->second, t.size(), t) == 0) {
                    ++x.surviving;
                    break;
                }
            }
        }
        for (const std::string& t : x.deletedLong) {
            auto [lo, hi] = at.equal_range(std::strtol(t.c_str() + 5, nullptr, 10));
            for (auto it = lo; it != hi; ++it) {
                if (raw.compare(it->second, 100, t, 0, 100) == 0) {
                    ++x.longStarting;
                    break;
                }
            }
        }

        kit::BackupBuilder b(x.backup, kit::BackupBuilder::Generation::Mbdb);
        b.AddFileFrom("HomeDomain", kRelative, db);
        b.Finish();
        x.parser.Add(CategorySms, "/var/mobile/" + std::string(kRelative),
                     b.StoredPath("HomeDomain", kRelative));
        return x;
    };
    struct Remover {
        fs::path root;
        ~Remover() {
            std::error_code ec;
            fs::remove_all(root, ec);
        }
    };
    if (shape == 1) {
        static Fixture f = build();
        static Remover remover{f.root};
        return f;
    }
    if (shape == 2) {
        static Fixture f = build();
        static Remover remover{f.root};
        return f;
    }
    static Fixture f = build();
    static Remover remover{f.root};
    return f;
}

// state.range(0): 0 text column, 1 archived body only, 2 long messages.
void BM_SmsParserRun(benchmark::State& state) {
    Fixture& f = fixture(int(state.range(0)));
    std::unordered_set<std::string> deleted(f.deletedTexts.begin(), f.deletedTexts.end());
    // Long deleted messages by their unique start.
    std::unordered_map<std::string, const std::string*> longByStart;
    for (const std::string& t : f.deletedLong)
        longByStart.emplace(t.substr(0, 100), &t);
    size_t recovered = 0, falseDeleted = 0, messages = 0, conversations = 0, longWhole = 0, longPart = 0;
    for (auto _ : state) {
        CScanManager mgr(ScanSms, f.out.c_str(), f.backup.c_str(), 12, nullptr, &f.parser);
        CSMS parser(&mgr);
        bool ok = parser.Scan();
        benchmark::DoNotOptimize(ok);
        state.PauseTiming();
        recovered = falseDeleted = messages = longWhole = longPart = 0;
        conversations = static_cast<size_t>(mgr.smsList.count);
        for (const SmsConversationRecord* c = mgr.smsList.first; c; c = c->next)
            for (const SmsMessageRecord* m = c->messages.first; m; m = m->next) {
                ++messages;
                if (!m->deleted) continue;
                const auto longOne =
                    m->text.size() >= 100 ? longByStart.find(m->text.substr(0, 100)) : longByStart.end();
                if (longOne != longByStart.end() && m->text == *longOne->second) ++longWhole;
                if (deleted.count(m->text)) {
                    ++recovered;
                } else if (longOne != longByStart.end() &&
                           longOne->second->compare(0, m->text.size(), m->text) == 0) {
                    ++longPart; // the first part of a long message whose end is lost
                } else {
                    ++falseDeleted;
                }
            }
        state.ResumeTiming();
    }
    state.counters["deleted"] = static_cast<double>(f.deletedTexts.size());
    state.counters["surviving"] = static_cast<double>(f.surviving);
    state.counters["recovered"] = static_cast<double>(recovered);
    state.counters["not_real"] = static_cast<double>(falseDeleted);
    state.counters["messages"] = static_cast<double>(messages);
    state.counters["conversations"] = static_cast<double>(conversations);
    if (!f.deletedLong.empty()) {
        state.counters["long_deleted"] = static_cast<double>(f.deletedLong.size());
        state.counters["long_starting"] = static_cast<double>(f.longStarting);
        state.counters["long_whole"] = static_cast<double>(longWhole);
        state.counters["long_part"] = static_cast<double>(longPart);
    }
}
BENCHMARK(BM_SmsParserRun)
    ->ArgName("body_only")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

BENCHMARK_MAIN();
