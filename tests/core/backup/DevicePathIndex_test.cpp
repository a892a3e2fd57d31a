#include "core/backup/DevicePathIndex.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

// Claims, hand-overs and lookups agree with a plain map over many paths (the table
// grows many times), with paths claimed more than once and paths never claimed.
TEST(DevicePathIndex, AgreesWithAMapOfFirstClaims) {
    std::mt19937 rng(3);
    std::vector<std::unique_ptr<BackupFileRecord>> records;
    for (int i = 0; i < 20000; ++i) {
        std::string rel = "Media/DCIM/" + std::to_string(rng() % 9000) + ".JPG";
        records.push_back(
            std::make_unique<BackupFileRecord>(i % 2 ? "MediaDomain" : "CameraRollDomain", rel, 1, 0, 0, 0));
    }
    DevicePathIndex index;
    std::map<std::string, BackupFileRecord*> expected;
    for (auto& r : records) {
        const bool fresh = expected.emplace(r->devicePath, r.get()).second;
        EXPECT_EQ(fresh, index.Claim(r.get()));
        if (!fresh && rng() % 4 == 0) { // the later entry takes the path over
            index.Replace(r.get());
            expected[r->devicePath] = r.get();
        }
    }
    EXPECT_EQ(expected.size(), index.Size());
    for (const auto& [path, record] : expected)
        EXPECT_EQ(record, index.Find(path));
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(nullptr, index.Find("/var/mobile/Media/DCIM/" + std::to_string(9000 + i) + ".JPG"));
    EXPECT_EQ(nullptr, index.Find(""));

    index.Clear();
    EXPECT_EQ(0u, index.Size());
    EXPECT_EQ(nullptr, index.Find(records[0]->devicePath));
    EXPECT_TRUE(index.Claim(records[0].get()));
    EXPECT_EQ(records[0].get(), index.Find(records[0]->devicePath));

    DevicePathIndex empty;
    EXPECT_EQ(nullptr, empty.Find("/var/mobile/x"));
    empty.Replace(records[0].get()); // nothing claimed: nothing to hand over
    EXPECT_EQ(0u, empty.Size());
}
