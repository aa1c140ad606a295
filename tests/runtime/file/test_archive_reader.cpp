// One archive at a time: keys and scrambling, every version with and without
// compression opened every way, names and directories, and damaged archives
// that must be refused cleanly.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string.h>
#include <vector>

#include "runtime/file/archive_files.h"
#include "runtime/file/archive_reader.h"
#include "runtime/memory.h"
#include "tests/runtime/file/archive_fixtures.h"
#include "tests/support/test_support.h"

namespace {

uint32_t Get32(const std::vector<uint8_t>& b, size_t at)
{
    uint32_t v;
    memcpy(&v, &b[at], 4);
    return v;
}

void Set32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    memcpy(&b[at], &v, 4);
}

// Reads a whole entry through an archive stream; false when it cannot be
// opened.
bool ReadEntry(ArchiveRecord* archive, const char* path, std::vector<uint8_t>& out, int async = 0)
{
    ArchiveStream s;
    if (OpenArchiveStream(&s, archive, path, async) != 0)
        return false;
    out.clear();
    uint8_t buffer[7001];
    for (;;) {
        uint32_t n = ReadArchiveStream(&s, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (async)
            while (!PollArchiveStream(&s))
                Sleep(0);
        out.insert(out.end(), buffer, buffer + n);
    }
    EXPECT_EQ(-1, ArchiveStreamEof(&s));
    // An asynchronously read LZ block that does not decode gives no bytes.
    bool damaged = s.damaged != 0;
    EXPECT_TRUE(!damaged || out.empty());
    CloseArchiveStream(&s);
    return !damaged;
}

// ---------------------------------------------------------------------------
// Keys

TEST(ArchiveKey, KeyStringRepetition)
{
    struct {
        const char* key;
        const char* raw;
    } cases[] = {
        {"KOWR", "KOWRKOWRKOWR"},
        {"ABCDE", "ABCDEABCDEAB"},
        {"0123456789ABCDEF", "0123456789AB"},
        {"0123456789AB", "0123456789AB"},
        {"Z", "ZZZZZZZZZZZZ"},
    };
    for (auto& c : cases) {
        uint8_t key[12];
        MakeArchiveKey(c.key, key);
        for (int i = 0; i < 12; i++)
            EXPECT_EQ(ApplyArchiveKeyOperation(i, (uint8_t)c.raw[i]), key[i]) << c.key << " at " << i;
        // The packer builds the same key on its own.
        PackOptions options;
        options.keyString = c.key;
        uint8_t packed[12];
        MakePackKey(options, packed);
        EXPECT_EQ(0, memcmp(key, packed, 12)) << c.key;
    }
    uint8_t key[12];
    MakeArchiveKey(nullptr, key);
    for (int i = 0; i < 12; i++)
        EXPECT_EQ(ApplyArchiveKeyOperation(i, ARCHIVE_KEY_PATTERN), key[i]);
    // Every position has its own operation: the pattern key is not flat.
    EXPECT_NE(key[0], key[1]);
}

TEST(ArchiveKey, XorMatchesBytewiseAtEveryAlignment)
{
    uint8_t key[12];
    MakeArchiveKey("KOWR", key);
    std::vector<uint8_t> data = TestBytes(64, 4, 8);
    for (uint32_t position = 0; position < 14; position++) {
        for (uint32_t length = 0; length <= 40; length++) {
            std::vector<uint8_t> fast(data.begin(), data.begin() + length);
            XorArchiveData(length, fast.data(), position, key);
            for (uint32_t i = 0; i < length; i++)
                ASSERT_EQ((uint8_t)(data[i] ^ key[(position + i) % 12]), fast[i]) << position << "/" << length;
        }
    }
}

// ---------------------------------------------------------------------------
// Every version, compression and key, opened every way

std::vector<PackFile> SampleFiles()
{
    return {
        MakePackFile("a.txt", TextBytes("alpha text")),
        MakePackFile("Sub/b.bin", TestBytes(150000, 1)),
        MakePackFile("Sub/Deep/c.dat", TestBytes(3000, 2, 8)),
        MakePackFile("empty.txt", {}),
        MakePackFile("ソフト/表.txt", TextBytes("shift-jis")),
        MakePackDir("EmptyDir"),
    };
}

enum KeyKind { NoKey, ShortKey, LongKey, SecondKey };
enum OpenKind { InMemory, Streamed, WholeFile, WholeFileAsync };

// Opens an archive the given way: `image` (a copy of the file's bytes) in
// memory, or the file at `path`.
int OpenArchiveAs(OpenKind kind, ArchiveRecord* record, std::vector<uint8_t>& image, const std::string& path,
                  const char* key)
{
    return kind == InMemory   ? OpenArchiveInMemory(record, image.data(), (uint32_t)image.size(), key)
           : kind == Streamed ? OpenArchiveFileStreamed(record, path.c_str(), key)
                              : OpenArchiveFileToMemory(record, path.c_str(), key, kind == WholeFileAsync);
}

struct Variant {
    int version;
    PackCompression compression;
    KeyKind key;
};

class ArchiveVariants : public testing::TestWithParam<std::tuple<int, PackCompression, KeyKind>> {
protected:
    void SetUp() override
    {
        dir = MakeTempDir("reader");
        allocations = GetAllocCount();
    }
    void TearDown() override
    {
        EXPECT_EQ(allocations, GetAllocCount());
        RemoveTree(dir);
    }
    std::string dir;
    int allocations = 0;
};

TEST_P(ArchiveVariants, OpenEveryWayAndReadBack)
{
    int version = std::get<0>(GetParam());
    PackCompression compression = std::get<1>(GetParam());
    KeyKind keyKind = std::get<2>(GetParam());
    PackOptions options;
    options.version = version;
    options.compression = compression;
    options.keyString = keyKind == ShortKey ? "KOWR" : keyKind == LongKey ? "0123456789ABCDEFG" : nullptr;
    options.secondKey = keyKind == SecondKey;
    // The second key is what the reader falls back on after its own fails.
    const char* readerKey = keyKind == SecondKey ? "KOWR" : options.keyString;

    std::vector<PackFile> files = SampleFiles();
    std::vector<uint8_t> archive = BuildOrDie(files, options);
    ASSERT_FALSE(archive.empty());
    std::string path = dir + "\\sample.ukx";
    ASSERT_TRUE(WriteWholeFile(path, archive.data(), archive.size()));

    for (OpenKind kind : {InMemory, Streamed, WholeFile, WholeFileAsync}) {
        SCOPED_TRACE(kind);
        ArchiveRecord record;
        ClearArchiveRecord(&record);
        std::vector<uint8_t> image = archive;
        int opened = OpenArchiveAs(kind, &record, image, path, readerKey);
        ASSERT_EQ(0, opened);
        EXPECT_EQ((uint16_t)version, record.header.version);
        EXPECT_EQ(version == 4 ? 1 : 0, record.charSet);
        EXPECT_EQ(kind != Streamed, GetArchiveImage(&record) != nullptr);
        if (kind != Streamed) {
            EXPECT_EQ(0, memcmp(GetArchiveImage(&record), "VE", 2)) << "the image is whole and unscrambled";
        }
        if (kind == WholeFileAsync)
            while (!PollArchiveLoad(&record))
                Sleep(0);

        for (const PackFile& f : files) {
            if (f.directory)
                continue;
            std::vector<uint8_t> out;
            ASSERT_TRUE(ReadEntry(&record, f.path.c_str(), out)) << f.path;
            EXPECT_EQ(f.data, out) << f.path;
            uint32_t offset = 0, size = 0;
            ASSERT_EQ(0, GetArchiveFileLocation(&record, f.path.c_str(), &offset, &size));
            EXPECT_EQ(f.data.size(), size);
            bool stored = version < 2 || compression == PACK_STORED || f.data.empty();
            if (kind != Streamed && stored && size > 0) {
                EXPECT_EQ(0, memcmp((uint8_t*)GetArchiveImage(&record) + offset, f.data.data(), size)) << f.path;
            }
        }
        // Asynchronous streams and reads after seeks, on the large entry.
        std::vector<uint8_t> out;
        ASSERT_TRUE(ReadEntry(&record, "SUB\\B.BIN", out, 1));
        EXPECT_EQ(files[1].data, out);
        ArchiveStream s;
        ASSERT_EQ(0, OpenArchiveStream(&s, &record, "sub/b.bin", 0));
        uint8_t part[300];
        struct {
            long offset;
            int origin;
            uint32_t expected;
        } seeks[] = {{140000, 0, 140000}, {-100, 1, 140200}, {-300, 2, 149700}, {-5, 0, 0}, {10, 2, 150000}};
        for (auto& k : seeks) {
            EXPECT_EQ(0, SeekArchiveStream(&s, k.offset, k.origin));
            EXPECT_EQ((long)k.expected, TellArchiveStream(&s));
            uint32_t n = ReadArchiveStream(&s, part, sizeof part);
            EXPECT_EQ(std::min<uint32_t>(300, 150000 - k.expected), n);
            EXPECT_EQ(0, memcmp(part, &files[1].data[k.expected], n));
        }
        EXPECT_EQ(-1, ArchiveStreamEof(&s));
        CloseArchiveStream(&s);

        EXPECT_EQ(0, CloseArchive(&record));
        if (kind == InMemory) {
            EXPECT_EQ(archive, image) << "the caller's image is scrambled back";
        }
    }
}

std::string VariantName(const testing::TestParamInfo<std::tuple<int, PackCompression, KeyKind>>& info)
{
    static const char* keys[] = {"NoKey", "ShortKey", "LongKey", "SecondKey"};
    return "V" + std::to_string(std::get<0>(info.param)) +
           (std::get<1>(info.param) == PACK_STORED ? "Stored" : "Lz") + keys[std::get<2>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(All, ArchiveVariants,
                         testing::Combine(testing::Range(0, 5), testing::Values(PACK_STORED, PACK_ALWAYS),
                                          testing::Values(NoKey, ShortKey, LongKey, SecondKey)),
                         VariantName);

// ---------------------------------------------------------------------------
// Names and directories

class SampleArchive : public testing::Test {
protected:
    void SetUp() override
    {
        PackOptions options;
        options.keyString = "KOWR";
        image = BuildOrDie(SampleFiles(), options);
        ClearArchiveRecord(&record);
        ASSERT_EQ(0, OpenArchiveInMemory(&record, image.data(), (uint32_t)image.size(), "KOWR"));
    }
    void TearDown() override { CloseArchive(&record); }
    std::vector<uint8_t> image;
    ArchiveRecord record;
};

TEST_F(SampleArchive, SearchNames)
{
    ArchiveSearchName a, b;
    int length = 0;
    ASSERT_EQ(0, MakeArchiveSearchName(&record, "ABCD\\rest", &a, &length));
    EXPECT_EQ(4, length);
    EXPECT_EQ(2, a.units) << "4 bytes take two units";
    EXPECT_EQ(0, memcmp(a.form, "ABCD\0\0\0\0", 8));
    EXPECT_EQ('A' + 'B' + 'C' + 'D', a.checkSum);
    ASSERT_EQ(0, MakeArchiveSearchName(&record, "abcd", &b, nullptr));
    EXPECT_EQ(a.units, b.units);
    EXPECT_EQ(a.checkSum, b.checkSum);
    EXPECT_EQ(0, memcmp(a.form, b.form, 8));
    // Trail bytes stay as they are (ソ is 83 5C, フ 83 74, ト 83 67).
    ASSERT_EQ(0, MakeArchiveSearchName(&record, "ソフトa", &a, &length));
    EXPECT_EQ(7, length);
    EXPECT_EQ(0, memcmp(a.form, "\x83\x5C\x83\x74\x83\x67" "A", 8));
    // Too long for the search form.
    std::string longName(ARCHIVE_NAME_FORM_SIZE, 'n');
    EXPECT_EQ(-1, MakeArchiveSearchName(&record, longName.c_str(), &a, nullptr));
}

TEST_F(SampleArchive, DirectoryWalks)
{
    EXPECT_EQ(-1, ChangeArchiveDir(&record, "..", 1, nullptr)) << "no parent at the root";
    EXPECT_EQ(0, ChangeArchiveDir(&record, ".", 1, nullptr));
    EXPECT_EQ(0, ChangeArchiveDir(&record, "sub\\deep", 1, nullptr));
    uint32_t deep = record.currentDir;
    EXPECT_NE(0u, deep);
    std::vector<uint8_t> out;
    EXPECT_TRUE(ReadEntry(&record, "C.DAT", out)) << "relative to the current directory";
    EXPECT_EQ(0, ChangeArchiveDir(&record, "..", 1, nullptr));
    EXPECT_TRUE(ReadEntry(&record, "deep/c.dat", out));
    EXPECT_EQ(0, ChangeArchiveDir(&record, "\\", 1, nullptr));
    EXPECT_EQ(0u, record.currentDir);

    // A failing walk goes back with the restore flag and stays where it
    // stopped without it; the failing name is given out.
    ArchiveSearchName last;
    EXPECT_EQ(-1, ChangeArchiveDir(&record, "sub\\nothing\\deep", 1, &last));
    EXPECT_EQ(0u, record.currentDir);
    EXPECT_EQ(0, memcmp(last.form, "NOTHING", 8));
    EXPECT_EQ(-1, ChangeArchiveDir(&record, "sub\\nothing", 0, nullptr));
    EXPECT_NE(0u, record.currentDir);
    // An empty component goes to the root.
    EXPECT_EQ(0, ChangeArchiveDir(&record, "deep\\\\sub", 1, nullptr));
    EXPECT_EQ(0, ChangeArchiveDir(&record, "\\", 1, nullptr));
    EXPECT_EQ(-1, ChangeArchiveDir(&record, "a.txt", 1, nullptr)) << "a file is not a directory";
}

TEST_F(SampleArchive, Lookups)
{
    ArchiveFileEntry e;
    EXPECT_EQ(0, LookupArchiveFileEntry(&record, "A.TXT", &e));
    EXPECT_EQ(10u, e.dataSize);
    EXPECT_EQ(0, LookupArchiveFileEntry(&record, "ソフト\\表.TXT", &e));
    EXPECT_EQ(-1, LookupArchiveFileEntry(&record, "sub", &e)) << "a directory is no file";
    EXPECT_EQ(-1, LookupArchiveFileEntry(&record, "sub\\deep", &e));
    EXPECT_EQ(-1, LookupArchiveFileEntry(&record, "emptydir\\x", &e));
    EXPECT_EQ(-1, LookupArchiveFileEntry(&record, "missing\\a.txt", &e)) << "the missing directory stops the walk";
    EXPECT_EQ(-1, LookupArchiveFileEntry(&record, "a.txt\\more", &e)) << "a file in the middle of the path";
    EXPECT_EQ(-1, LookupArchiveFileEntry(&record, "sub\\b.bin\\", &e));
    EXPECT_EQ(0, LookupArchiveFileEntry(&record, "\\sub\\deep\\c.dat", &e));
    EXPECT_EQ(0u, record.currentDir) << "look-ups keep the current directory";
    EXPECT_EQ(-1, GetArchiveFileLocation(&record, "sub\\x.bin", nullptr, nullptr));
}

// ---------------------------------------------------------------------------
// Refused archives

TEST(ArchiveOpen, VersionAboveFourAndUnknownKeysAreRefused)
{
    PackOptions options;
    options.keyString = "KOWR";
    std::vector<uint8_t> archive = BuildOrDie(SampleFiles(), options);
    uint8_t key[12];
    MakeArchiveKey("KOWR", key);
    std::vector<uint8_t> v5 = archive;
    v5[2] ^= 4 ^ 5; // version 4 -> 5 under the scrambling
    ArchiveRecord record;
    ClearArchiveRecord(&record);
    std::vector<uint8_t> image = v5;
    EXPECT_EQ(-1, OpenArchiveInMemory(&record, image.data(), (uint32_t)image.size(), "KOWR"));
    EXPECT_EQ(v5, image) << "left scrambled as it was";
    EXPECT_EQ(nullptr, record.image);

    image = archive;
    EXPECT_EQ(-1, OpenArchiveInMemory(&record, image.data(), (uint32_t)image.size(), "WRONG")) << "neither key";
    EXPECT_EQ(archive, image);
    EXPECT_EQ(-1, OpenArchiveInMemory(&record, image.data(), 7, "KOWR"));

    // A busy record takes no second archive.
    ASSERT_EQ(0, OpenArchiveInMemory(&record, image.data(), (uint32_t)image.size(), "KOWR"));
    std::vector<uint8_t> other = archive;
    EXPECT_EQ(-1, OpenArchiveInMemory(&record, other.data(), (uint32_t)other.size(), "KOWR"));
    EXPECT_EQ(-1, OpenArchiveFileStreamed(&record, "C:\\none.ukx", "KOWR"));
    EXPECT_EQ(0, CloseArchiveRecord(&record));
    EXPECT_EQ(archive, image);
    EXPECT_EQ(0, CloseArchive(&record)) << "closing a free record does nothing";
}

// A small archive (v4, LZ, key "KOWR") with the layout positions the damage
// table changes; damage is done on the unscrambled bytes.
struct SmallArchive {
    std::vector<uint8_t> plain;     // unscrambled
    uint8_t key[12];
    uint32_t block, fileTable, dirTable, data;
    // Entries: 0 a.txt (LZ), 1 s.txt (stored), 2 Sub; Sub holds b.txt.
    size_t Entry(int i) const { return block + fileTable + (size_t)i * ARCHIVE_FILE_ENTRY_SIZE; }
    size_t Dir(int i) const { return block + dirTable + (size_t)i * ARCHIVE_DIR_ENTRY_SIZE; }
    std::vector<uint8_t> Scrambled(const std::vector<uint8_t>& bytes) const
    {
        std::vector<uint8_t> out = bytes;
        XorArchiveData((uint32_t)out.size(), out.data(), 0, key);
        return out;
    }
};

const std::vector<uint8_t> SmallA = TestBytes(400, 21);
const std::vector<uint8_t> SmallS = TextBytes("stored!");
const std::vector<uint8_t> SmallB = TestBytes(120, 22);

SmallArchive MakeSmallArchive()
{
    SmallArchive s;
    PackOptions options;
    options.keyString = "KOWR";
    options.compression = PACK_AUTO;
    std::vector<uint8_t> archive = BuildOrDie({MakePackFile("a.txt", SmallA), MakePackFile("s.txt", SmallS),
                                               MakePackFile("Sub/b.txt", SmallB)},
                                              options);
    MakeArchiveKey("KOWR", s.key);
    s.plain = archive;
    XorArchiveData((uint32_t)s.plain.size(), s.plain.data(), 0, s.key);
    s.block = Get32(s.plain, ARCHIVE_HEADER_BLOCK_OFFSET);
    s.fileTable = Get32(s.plain, ARCHIVE_HEADER_FILE_TABLE);
    s.dirTable = Get32(s.plain, ARCHIVE_HEADER_DIR_TABLE);
    s.data = Get32(s.plain, ARCHIVE_HEADER_DATA_OFFSET);
    return s;
}

// Opens the bytes in memory and streamed; every open that succeeds must
// serve each file exactly or refuse it (with `exact` false, a served file
// may differ: damaged tables can point at other bytes that still read).
// Returns how many opens succeeded and how many files were served.
struct Outcome {
    int opens = 0;
    int served = 0;
};

Outcome TryArchive(const std::vector<uint8_t>& bytes, const std::string& path, bool exact = true)
{
    Outcome o;
    struct {
        const char* path;
        const std::vector<uint8_t>* data;
    } files[] = {{"a.txt", &SmallA}, {"s.txt", &SmallS}, {"sub\\b.txt", &SmallB}};
    EXPECT_TRUE(WriteWholeFile(path, bytes.data(), bytes.size()));
    for (int mode = 0; mode < 3; mode++) {
        std::vector<uint8_t> image = bytes;
        ArchiveRecord record;
        ClearArchiveRecord(&record);
        int opened = OpenArchiveAs((OpenKind)mode, &record, image, path, "KOWR");
        if (opened != 0) {
            EXPECT_EQ(nullptr, record.image);
            EXPECT_EQ(0u, record.file);
            if (mode == 0) {
                EXPECT_EQ(bytes, image) << "a refused image is left as it was";
            }
            continue;
        }
        o.opens++;
        for (auto& f : files) {
            std::vector<uint8_t> out;
            for (int async = 0; async <= 1; async++) {
                if (ReadEntry(&record, f.path, out, async)) {
                    if (exact) {
                        EXPECT_EQ(*f.data, out) << f.path;
                    }
                    o.served++;
                }
            }
            FindRecord found;
            ArchiveFindState* find = FindFirstInArchive(&record, "*", &found);
            if (find) {
                while (FindNextInArchiveDir(find, &found) == 0)
                    find->index++;
                FreeTracked(find);
            }
        }
        CloseArchive(&record);
        if (mode == 0) {
            EXPECT_EQ(bytes, image);
        }
    }
    return o;
}

class DamagedArchives : public testing::Test {
protected:
    void SetUp() override
    {
        dir = MakeTempDir("damaged");
        path = dir + "\\damaged.ukx";
        allocations = GetAllocCount();
    }
    void TearDown() override
    {
        EXPECT_EQ(allocations, GetAllocCount()) << "nothing is left allocated";
        RemoveTree(dir);
    }
    std::string dir, path;
    int allocations = 0;
};

TEST_F(DamagedArchives, EveryTruncation)
{
    SmallArchive s = MakeSmallArchive();
    std::vector<uint8_t> whole = s.Scrambled(s.plain);
    Outcome full = TryArchive(whole, path);
    EXPECT_EQ(3, full.opens);
    EXPECT_EQ(18, full.served);
    for (size_t n = 0; n < whole.size(); n++) {
        SCOPED_TRACE(n);
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + n);
        Outcome o = TryArchive(cut, path);
        if (n < s.data) {
            EXPECT_EQ(0, o.opens) << "the header block is cut";
        }
        EXPECT_LT(o.served, 18) << "at least the last file is cut";
    }
}

TEST_F(DamagedArchives, EveryHeaderAndTableByteFlipped)
{
    // Each byte of the header and the header block (names, file table,
    // directory table) changed in turn, wholly and in its lowest bit: every
    // open either fails or serves what it finds, and leaves nothing behind.
    SmallArchive s = MakeSmallArchive();
    for (uint8_t flip : {0xFF, 0x01}) {
        for (size_t at = 0; at < s.data; at++) {
            SCOPED_TRACE(testing::Message() << "byte " << at << " ^ " << (int)flip);
            std::vector<uint8_t> plain = s.plain;
            plain[at] ^= flip;
            TryArchive(s.Scrambled(plain), path, false);
        }
    }
}

TEST_F(DamagedArchives, EntryTooLargeToHold)
{
    // An LZ entry whose size and block output are both 0xFFFFFFFF, in a block
    // long enough for its tokens to stand for that much: its buffer of size
    // + 1 bytes cannot be had, so every open of it is refused.
    PackOptions options;
    options.keyString = "KOWR";
    options.compression = PACK_ALWAYS;
    std::vector<uint8_t> plain = BuildOrDie({MakePackFile("big.bin", TestBytes(2200000, 31, 8))}, options);
    ASSERT_FALSE(plain.empty());
    uint8_t key[12];
    MakeArchiveKey("KOWR", key);
    XorArchiveData((uint32_t)plain.size(), plain.data(), 0, key);
    size_t entry = Get32(plain, ARCHIVE_HEADER_BLOCK_OFFSET) + Get32(plain, ARCHIVE_HEADER_FILE_TABLE);
    size_t lz = Get32(plain, ARCHIVE_HEADER_DATA_OFFSET) + Get32(plain, entry + ARCHIVE_ENTRY_DATA);
    uint32_t packed = Get32(plain, entry + ARCHIVE_ENTRY_PACKED);
    ASSERT_NE(ARCHIVE_STORED, packed);
    Set32(plain, entry + ARCHIVE_ENTRY_SIZE, 0xFFFFFFFFu);
    Set32(plain, lz, 0xFFFFFFFFu);
    ASSERT_EQ(0, CheckArchiveLzHeader(&plain[lz], packed, 0xFFFFFFFFu)) << "the block header alone passes";
    std::vector<uint8_t> bytes = plain;
    XorArchiveData((uint32_t)bytes.size(), bytes.data(), 0, key);
    ASSERT_TRUE(WriteWholeFile(path, bytes.data(), bytes.size()));

    for (int mode = 0; mode < 3; mode++) {
        std::vector<uint8_t> image = bytes;
        ArchiveRecord record;
        ClearArchiveRecord(&record);
        int opened = OpenArchiveAs((OpenKind)mode, &record, image, path, "KOWR");
        ASSERT_EQ(0, opened) << mode;
        for (int async = 0; async <= 1; async++) {
            ArchiveStream s;
            EXPECT_EQ(-1, OpenArchiveStream(&s, &record, "big.bin", async)) << mode << "/" << async;
        }
        CloseArchive(&record);
    }
}

TEST_F(DamagedArchives, BlockHeaderCheckedBeforeTheEntryIsAllocated)
{
    // An LZ entry that claims 64 MiB, with a block that decodes to another
    // size or one far too short to stand for that much: every open of the
    // streamed archive is refused before the entry's size is held, the
    // asynchronous one (which reads the block later) included.
    SmallArchive s = MakeSmallArchive();
    uint32_t aData = s.data + Get32(s.plain, s.Entry(0) + ARCHIVE_ENTRY_DATA);
    const uint32_t claimed = 64u << 20;
    for (bool blockAgrees : {false, true}) {
        std::vector<uint8_t> plain = s.plain;
        Set32(plain, s.Entry(0) + ARCHIVE_ENTRY_SIZE, claimed);
        if (blockAgrees)
            Set32(plain, aData, claimed);
        std::vector<uint8_t> bytes = s.Scrambled(plain);
        ASSERT_TRUE(WriteWholeFile(path, bytes.data(), bytes.size()));
        ArchiveRecord record;
        ClearArchiveRecord(&record);
        ASSERT_EQ(0, OpenArchiveFileStreamed(&record, path.c_str(), "KOWR"));
        for (int async = 0; async <= 1; async++) {
            int before = GetAllocTotalSize();
            ArchiveStream stream;
            int opened = OpenArchiveStream(&stream, &record, "a.txt", async);
            EXPECT_EQ(-1, opened) << "block output " << blockAgrees << ", async " << async;
            EXPECT_LT(GetAllocTotalSize() - before, (int)claimed / 2);
            if (opened == 0)
                CloseArchiveStream(&stream);
            std::vector<uint8_t> out;
            EXPECT_TRUE(ReadEntry(&record, "sub\\b.txt", out, async));
            EXPECT_EQ(SmallB, out) << "the entry after the header read";
        }
        CloseArchive(&record);
    }
}

TEST_F(DamagedArchives, HostileFields)
{
    SmallArchive s = MakeSmallArchive();
    uint32_t blockSize = Get32(s.plain, ARCHIVE_HEADER_BLOCK_SIZE);
    uint32_t aData = s.data + Get32(s.plain, s.Entry(0) + ARCHIVE_ENTRY_DATA);
    ASSERT_NE(ARCHIVE_STORED, Get32(s.plain, s.Entry(0) + ARCHIVE_ENTRY_PACKED)) << "a.txt is compressed";
    ASSERT_EQ(ARCHIVE_STORED, Get32(s.plain, s.Entry(1) + ARCHIVE_ENTRY_PACKED)) << "s.txt is stored";

    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        int opens;   // expected successful opens of the three kinds
        int served;  // expected files served (of 18)
    } cases[] = {
        {"magic", [&](auto& b) { b[0] = 'X'; }, 0, 0},
        {"version 5", [&](auto& b) { b[2] = 5; }, 0, 0},
        {"header block size", [&](auto& b) { Set32(b, ARCHIVE_HEADER_BLOCK_SIZE, 0xFFFFFFF0u); }, 0, 0},
        {"header block past the end", [&](auto& b) { Set32(b, ARCHIVE_HEADER_BLOCK_OFFSET, (uint32_t)b.size() - 8); }, 0, 0},
        {"data area past the end", [&](auto& b) { Set32(b, ARCHIVE_HEADER_DATA_OFFSET, 0xFFFFFFFFu); }, 0, 0},
        {"file table outside the block", [&](auto& b) { Set32(b, ARCHIVE_HEADER_FILE_TABLE, blockSize + 4); }, 0, 0},
        {"root outside the block", [&](auto& b) { Set32(b, ARCHIVE_HEADER_DIR_TABLE, blockSize - 8); }, 0, 0},
        {"root entry count", [&](auto& b) { Set32(b, s.Dir(0) + ARCHIVE_DIR_COUNT, 0xFFFFFFFFu); }, 3, 0},
        {"root first entry", [&](auto& b) { Set32(b, s.Dir(0) + ARCHIVE_DIR_FIRST, 0x7FFFFFF0u); }, 3, 0},
        {"name offset", [&](auto& b) { Set32(b, s.Entry(0) + ARCHIVE_ENTRY_NAME, 0xFFFFFFF0u); }, 3, 12},
        {"name units", [&](auto& b) { Set32(b, s.block + Get32(b, s.Entry(0)), 0xFFFF); }, 3, 12},
        {"data offset", [&](auto& b) { Set32(b, s.Entry(0) + ARCHIVE_ENTRY_DATA, 0xFFFFFF00u); }, 3, 12},
        {"LZ block size", [&](auto& b) { Set32(b, s.Entry(0) + ARCHIVE_ENTRY_PACKED, 0xFFFFFFF0u); }, 3, 12},
        {"LZ block too short", [&](auto& b) { Set32(b, s.Entry(0) + ARCHIVE_ENTRY_PACKED, 5); }, 3, 12},
        {"entry size against LZ output", [&](auto& b) { Set32(b, s.Entry(0) + ARCHIVE_ENTRY_SIZE, 401); }, 3, 12},
        {"LZ output size", [&](auto& b) { Set32(b, aData, 100000000); }, 3, 12},
        {"LZ inner block size", [&](auto& b) { Set32(b, aData + 4, 12); }, 3, 12},
        {"LZ distance kind 3", [&](auto& b) {
             uint8_t e = b[aData + 8];
             b[aData + 9] = e;
             b[aData + 10] = 3 < e ? 3 : 4; // m = 3: length field 0, distance kind 3
         }, 3, 12},
        {"stored size past the end", [&](auto& b) { Set32(b, s.Entry(1) + ARCHIVE_ENTRY_SIZE, 0x10000000u); }, 3, 12},
        {"directory entry offset", [&](auto& b) { Set32(b, s.Entry(2) + ARCHIVE_ENTRY_DATA, 0xFFFFFF00u); }, 3, 12},
        {"directory entry count", [&](auto& b) { Set32(b, s.Dir(1) + ARCHIVE_DIR_COUNT, 0x20000000u); }, 3, 12},
        {"directory is its own parent", [&](auto& b) { Set32(b, s.Dir(1) + ARCHIVE_DIR_PARENT, 16); }, 3, 18},
    };
    for (auto& c : cases) {
        std::vector<uint8_t> plain = s.plain;
        c.damage(plain);
        Outcome o = TryArchive(s.Scrambled(plain), path);
        EXPECT_EQ(c.opens, o.opens) << c.what;
        EXPECT_EQ(c.served, o.served) << c.what;
    }
}

} // namespace
