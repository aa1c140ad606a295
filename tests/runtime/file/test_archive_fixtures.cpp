// The committed archives of tests/runtime/file/fixtures, written once by
// tools/make_archive_fixtures.py: one layout packed for every version,
// packing and key. The reader and the packer share the format's constants,
// so a changed constant would still pass every round trip; these bytes are
// what existing archives hold.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>
#include <string>
#include <vector>

#include "runtime/file/archive_files.h"
#include "runtime/file/archive_reader.h"
#include "runtime/memory.h"
#include "tests/support/test_support.h"

namespace {

std::string FixturePath(const std::string& name)
{
    return std::string(TestArg(1)) + "/" + name;
}

std::vector<uint8_t> ReadFixture(const std::string& name)
{
    std::vector<uint8_t> data;
    ReadWholeFile(FixturePath(name), &data);
    return data;
}

std::vector<uint8_t> Bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

// What the generator packs (its FILES); the times are FILETIME values.
struct FixtureEntry {
    const char* path;
    bool directory;
    std::vector<uint8_t> data;
    uint64_t creation, lastWrite;
    bool compressed;              // an LZ block in the LZ archives
};

std::vector<FixtureEntry> FixtureEntries()
{
    std::string table = "id,name,value\r\n";
    for (int i = 1; i <= 20; i++)
        table += std::to_string(i) + ",alpha," + std::to_string(100 + i % 3) + "\r\n";
    return {
        {"Readme.txt", false, Bytes("Fixture archive: one layout, many packings.\r\n"), 0x01D5A1B2C3D4E5F6ull,
         0x01D6000011112222ull, false},
        {"data", true, {}, 0x01D4000000000001ull, 0x01D4000000000003ull, false},
        {"data\\Table.csv", false, Bytes(table), 0x01D7123456789ABCull, 0x01D8FEDCBA987654ull, true},
        {"data\\zero.bin", false, {}, 0x01D3000000000010ull, 0x01D3000000000030ull, false},
        {"ソフト", true, {}, 0x01D2000000000100ull, 0x01D2000000000300ull, false},
        {"ソフト\\表.txt", false, Bytes("shift-jis name\r\n"), 0x01D9000000001000ull, 0x01D9000000003000ull, false},
        {"Empty", true, {}, 0x01D1000000010000ull, 0x01D1000000030000ull, false},
    };
}

bool ReadWhole(ArchiveRecord* record, const char* path, std::vector<uint8_t>& out)
{
    ArchiveStream s;
    if (OpenArchiveStream(&s, record, path, 0) != 0)
        return false;
    out.clear();
    uint8_t buffer[64];
    for (uint32_t n; (n = ReadArchiveStream(&s, buffer, sizeof buffer)) > 0;)
        out.insert(out.end(), buffer, buffer + n);
    CloseArchiveStream(&s);
    return true;
}

std::vector<std::string> RootListing(ArchiveRecord* record)
{
    std::vector<std::string> names;
    FindRecord found;
    ArchiveFindState* find = FindFirstInArchive(record, "*", &found);
    if (!find)
        return names;
    for (;;) {
        names.push_back(std::string(found.name) + (found.isDirectory ? "/" : ""));
        if (FindNextInArchiveDir(find, &found) != 0)
            break;
        find->index++;
    }
    FreeTracked(find);
    return names;
}

TEST(ArchiveFixtures, EveryVersionPackingAndKeyReads)
{
    // The second key is what the reader falls back on after the game's key.
    struct {
        const char* name;
        const char* readerKey;
    } keys[] = {{"kowr", "KOWR"}, {"pattern", nullptr}, {"second", "KOWR"}};
    const std::vector<FixtureEntry> entries = FixtureEntries();
    int allocations = GetAllocCount();
    for (int version = 0; version <= 4; version++) {
        for (bool lz : {false, true}) {
            if (lz && version < 2)
                continue;
            for (auto& key : keys) {
                std::string name = "v" + std::to_string(version) + (lz ? "_lz_" : "_stored_") + key.name + ".ukx";
                SCOPED_TRACE(name);
                std::vector<uint8_t> bytes = ReadFixture(name);
                ASSERT_FALSE(bytes.empty()) << FixturePath(name);
                for (int streamed = 0; streamed <= 1; streamed++) {
                    SCOPED_TRACE(streamed ? "streamed" : "in memory");
                    ArchiveRecord record;
                    ClearArchiveRecord(&record);
                    std::vector<uint8_t> image = bytes;
                    int opened = streamed ? OpenArchiveFileStreamed(&record, FixturePath(name).c_str(), key.readerKey)
                                          : OpenArchiveInMemory(&record, image.data(), (uint32_t)image.size(),
                                                                key.readerKey);
                    ASSERT_EQ(0, opened);
                    EXPECT_EQ(version, record.header.version);
                    EXPECT_EQ(version == 4 ? 932u : 0u, record.header.codePage);

                    for (const FixtureEntry& e : entries) {
                        ArchiveFileEntry entry;
                        if (e.directory) {
                            EXPECT_EQ(-1, LookupArchiveFileEntry(&record, e.path, &entry)) << e.path;
                            EXPECT_EQ(0, ChangeArchiveDir(&record, e.path, 1, nullptr)) << e.path;
                            EXPECT_EQ(0, ChangeArchiveDir(&record, "\\", 1, nullptr));
                            continue;
                        }
                        ASSERT_EQ(0, LookupArchiveFileEntry(&record, e.path, &entry)) << e.path;
                        EXPECT_EQ(e.creation, entry.creation) << e.path;
                        EXPECT_EQ(e.lastWrite, entry.lastWrite) << e.path;
                        EXPECT_EQ(lz && e.compressed, !ArchiveEntryStored(&record, &entry)) << e.path;
                        std::vector<uint8_t> out;
                        ASSERT_TRUE(ReadWhole(&record, e.path, out)) << e.path;
                        EXPECT_EQ(e.data, out) << e.path;
                    }
                    EXPECT_EQ((std::vector<std::string>{"./", "Readme.txt", "data/", "ソフト/", "Empty/"}),
                              RootListing(&record));
                    CloseArchive(&record);
                    if (!streamed) {
                        EXPECT_EQ(bytes, image) << "scrambled back";
                    }
                }
            }
        }
    }
    EXPECT_EQ(allocations, GetAllocCount());
}

} // namespace
