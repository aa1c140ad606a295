// Archive-aware file access through the stream function table: full paths,
// which archive serves a path, the path cache, references, limits, reads and
// seeks inside archives, asynchronous archive files and finding files.
#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>
#include <vector>

#include "runtime/file/archive_files.h"
#include "runtime/file/disk_files.h"
#include "runtime/file/stream.h"
#include "runtime/helpers.h"
#include "runtime/memory.h"
#include "tests/runtime/file/archive_fixtures.h"
#include "tests/support/test_support.h"

namespace {

std::string Upper(std::string s)
{
    UpperCaseText(&s[0]);
    return s;
}

// Everything a file handle of the table gives, read to the end.
std::vector<uint8_t> ReadAll(StreamHandle f, int async = 0)
{
    std::vector<uint8_t> out;
    uint8_t buffer[4099];
    for (;;) {
        size_t n = FileStreamRead(buffer, 1, sizeof buffer, f);
        if (async)
            while (!FileStreamIdle(f))
                Sleep(0);
        if (n == 0)
            break;
        out.insert(out.end(), buffer, buffer + n);
    }
    return out;
}

std::vector<uint8_t> ReadPath(const char* path, int async = 0)
{
    StreamHandle f = OpenFileStream(path, async);
    if (!f)
        return TextBytes("<not opened>");
    std::vector<uint8_t> out = ReadAll(f, async);
    EXPECT_EQ(0, FileStreamClose(f));
    return out;
}

class ArchiveFiles : public testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof savedDir, savedDir);
        dir = MakeTempDir("files");
        ASSERT_FALSE(dir.empty());
        ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
        SetArchiveExtension("ukx");
        SetArchiveKeyString("KOWR");
        allocations = GetAllocCount();
    }
    void TearDown() override
    {
        TerminateArchives();
        EXPECT_EQ(0, GetOpenArchiveCount()) << "every reference was given back";
        EXPECT_EQ(allocations, GetAllocCount());
        SetCurrentDirectoryA(savedDir);
        RemoveTree(dir);
        for (auto& p : extraFiles)
            DeleteFileA(p.c_str());
    }
    void Archive(const std::string& path, const std::vector<PackFile>& files, PackOptions options = PackOptions())
    {
        if (!options.keyString && !options.secondKey)
            options.keyString = "KOWR";
        std::vector<uint8_t> bytes = BuildOrDie(files, options);
        ASSERT_FALSE(bytes.empty());
        ASSERT_TRUE(WriteWholeFile(path, bytes.data(), bytes.size()));
    }
    void Loose(const std::string& path, const char* text)
    {
        std::string full = dir + "\\" + path;
        for (size_t i = dir.size() + 1; i < full.size(); i++)
            if (full[i] == '\\')
                CreateDirectoryA(full.substr(0, i).c_str(), nullptr);
        ASSERT_TRUE(WriteWholeFile(full, text, strlen(text)));
    }
    // The standard layout: img.ukx beside a loose img directory.
    void ImageArchive()
    {
        Loose("img\\a.txt", "disk a");
        Loose("img\\only_disk.txt", "disk only");
        Loose("loose\\c.txt", "loose c");
        Archive(dir + "\\img.ukx", {MakePackFile("a.txt", TextBytes("archive a")),
                                    MakePackFile("Sub/b.txt", TextBytes("archive b")),
                                    MakePackFile("ソフト/表.txt", TextBytes("archive sjis")),
                                    MakePackFile("ten.bin", TextBytes("0123456789")),
                                    MakePackFile("big.bin", TestBytes(200000, 5))});
    }
    char savedDir[MAX_PATH];
    std::string dir;
    std::vector<std::string> extraFiles;
    int allocations = 0;
};

TEST_F(ArchiveFiles, FullPaths)
{
    char out[FULL_PATH_SIZE];
    std::string up = Upper(dir);
    ASSERT_EQ(0, MakeArchiveFullPath("img/title/a.png", out));
    EXPECT_EQ(up + "\\IMG\\TITLE\\A.PNG", out);
    std::string parent = up.substr(0, up.rfind('\\'));
    ASSERT_EQ(0, MakeArchiveFullPath("..\\x\\..\\y.bmp", out));
    EXPECT_EQ(parent + "\\Y.BMP", out);
    ASSERT_EQ(0, MakeArchiveFullPath(nullptr, out));
    EXPECT_EQ(up, out);
    ASSERT_EQ(0, MakeArchiveFullPath("\\\\server\\share\\x", out));
    EXPECT_STREQ("\\\\SERVER\\SHARE\\X", out);
    ASSERT_EQ(0, MakeArchiveFullPath("q:a.txt", out));
    EXPECT_STREQ("Q:\\A.TXT", out);
    ASSERT_EQ(0, MakeArchiveFullPath("ソフト\\a", out));
    EXPECT_EQ(up + "\\ソフト\\A", out) << "trail bytes are not upper-cased";
    std::string tooLong(300, 'x');
    EXPECT_EQ(-1, MakeArchiveFullPath(tooLong.c_str(), out));
}

TEST_F(ArchiveFiles, ArchiveServesItsDirectoryAlone)
{
    ImageArchive();
    EXPECT_EQ(TextBytes("archive a"), ReadPath("img\\a.txt"));
    EXPECT_EQ(TextBytes("archive a"), ReadPath((dir + "/IMG/A.TXT").c_str()));
    EXPECT_EQ(TextBytes("archive b"), ReadPath("img/sub/B.txt"));
    EXPECT_EQ(TextBytes("archive sjis"), ReadPath("img\\ソフト\\表.txt"));
    EXPECT_EQ(TestBytes(200000, 5), ReadPath("img\\big.bin"));
    // Only the archive is looked at, even when the file exists on disk.
    EXPECT_EQ(0u, OpenFileStream("img\\only_disk.txt", 0));
    EXPECT_EQ(0u, OpenFileStream("img\\sub", 0)) << "a directory path finds no file";
    EXPECT_EQ(0u, OpenFileStream("img\\sub\\", 0));
    EXPECT_EQ(0u, OpenFileStream("img", 0));
    // Without an archive, from disk.
    EXPECT_EQ(TextBytes("loose c"), ReadPath("loose\\c.txt"));

    int index = -1;
    char archivePath[ARCHIVE_PATH_SIZE], inner[FULL_PATH_SIZE];
    ASSERT_EQ(0, ResolveArchivePath("img\\sub\\b.txt", &index, archivePath, inner));
    EXPECT_EQ(Upper(dir) + "\\IMG.ukx", archivePath);
    EXPECT_STREQ("SUB\\B.TXT", inner);
    ReleaseArchiveReference(index);
    EXPECT_EQ(-1, ResolveArchivePath("Q:\\x.txt", &index, nullptr, nullptr)) << "a file in a drive's root";
    EXPECT_EQ(-1, ResolveArchivePath("loose\\c.txt", &index, nullptr, nullptr));
}

TEST_F(ArchiveFiles, PathCacheAndWalkOrder)
{
    ImageArchive();
    EXPECT_EQ(TextBytes("archive a"), ReadPath("img\\a.txt"));
    // An archive named after the working directory itself now exists; the
    // cache still leads paths under img to img.ukx without trying it.
    std::string outer = dir + ".ukx";
    extraFiles.push_back(outer);
    Archive(outer, {MakePackFile("img/a.txt", TextBytes("outer a")),
                    MakePackFile("other/c.txt", TextBytes("outer c"))});
    EXPECT_EQ(TextBytes("archive a"), ReadPath("img\\a.txt"));
    // A path outside the cached prefix walks from the drive down, and the
    // first archive that opens wins, for every path below it from then on.
    EXPECT_EQ(TextBytes("outer c"), ReadPath("other\\c.txt"));
    EXPECT_EQ(TextBytes("outer a"), ReadPath("img\\a.txt"));
    EXPECT_EQ(0u, OpenFileStream("loose\\c.txt", 0));
    TerminateArchives();
}

TEST_F(ArchiveFiles, ReleasedArchiveIsFoundAgain)
{
    ImageArchive();
    StreamHandle f = OpenFileStream("img\\a.txt", 0);
    ASSERT_NE(0u, f);
    int index = -1;
    ASSERT_EQ(0, ResolveArchivePath("img\\a.txt", &index, nullptr, nullptr));
    ArchiveTableEntry* entry = GetArchiveTableEntry(index);
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(2, entry->references);
    ReleaseArchiveReference(index);
    EXPECT_EQ(0, FileStreamClose(f));
    EXPECT_EQ(0, entry->references);
    EXPECT_EQ(1, GetOpenArchiveCount()) << "kept open at no references";
    StreamHandle archiveFile = entry->record.file;

    f = OpenFileStream("img\\sub\\b.txt", 0);
    ASSERT_NE(0u, f);
    EXPECT_EQ(entry, GetArchiveTableEntry(index)) << "the same entry, not reopened";
    EXPECT_EQ(archiveFile, entry->record.file);
    EXPECT_EQ(1, entry->references);
    EXPECT_EQ(1, GetOpenArchiveCount());
    TerminateArchives();
    EXPECT_EQ(1, GetOpenArchiveCount()) << "a referenced archive stays";
    EXPECT_EQ(0, FileStreamClose(f));
    ReleaseArchiveReference(index);
    EXPECT_EQ(0, entry->references) << "never below 0";
    TerminateArchives();
    EXPECT_EQ(0, GetOpenArchiveCount());
    EXPECT_EQ(nullptr, GetArchiveTableEntry(index));
    // A released cached index is opened again through its path.
    EXPECT_EQ(TextBytes("archive a"), ReadPath("img\\a.txt"));
}

TEST_F(ArchiveFiles, OpenFileLimit)
{
    ImageArchive();
    std::vector<StreamHandle> handles;
    for (int i = 0; i < ARCHIVE_FILE_TABLE_SIZE; i++) {
        StreamHandle f = OpenFileStream("img\\a.txt", 0);
        ASSERT_NE(0u, f) << i;
        EXPECT_EQ(ARCHIVE_FILE_HANDLE_BITS | (uint32_t)i, (uint32_t)f);
        handles.push_back(f);
    }
    EXPECT_EQ(0u, OpenFileStream("img\\a.txt", 0)) << "the 513th";
    EXPECT_EQ(0u, OpenFileStream("loose\\c.txt", 0));
    EXPECT_EQ(0, FileStreamClose(handles[100]));
    handles[100] = OpenFileStream("loose\\c.txt", 0);
    EXPECT_EQ(ARCHIVE_FILE_HANDLE_BITS | 100u, (uint32_t)handles[100]) << "the first free slot";
    for (StreamHandle f : handles)
        EXPECT_EQ(0, FileStreamClose(f));
}

TEST_F(ArchiveFiles, FullArchiveTable)
{
    // 512 archives, each held by a resolved path, fill the table: a path into
    // another archive counts as leading into none and is read from disk.
    Loose("spare\\x.txt", "disk spare");
    Archive(dir + "\\spare.ukx", {MakePackFile("x.txt", TextBytes("archive spare"))});
    PackOptions options;
    options.keyString = "KOWR";
    std::vector<uint8_t> bytes = BuildOrDie({MakePackFile("x.txt", TextBytes("archive"))}, options);
    ASSERT_FALSE(bytes.empty());
    std::vector<int> indices;
    for (int i = 0; i < ARCHIVE_TABLE_SIZE; i++) {
        std::string name = "a" + std::to_string(i);
        ASSERT_TRUE(WriteWholeFile(dir + "\\" + name + ".ukx", bytes.data(), bytes.size()));
        int index = -1;
        ASSERT_EQ(0, ResolveArchivePath((name + "\\x.txt").c_str(), &index, nullptr, nullptr)) << i;
        indices.push_back(index);
    }
    EXPECT_EQ(ARCHIVE_TABLE_SIZE, GetOpenArchiveCount());
    EXPECT_EQ(TextBytes("disk spare"), ReadPath("spare\\x.txt"));
    EXPECT_EQ(TextBytes("archive"), ReadPath("a7\\x.txt")) << "an archive in the table still serves";

    // An archive nothing references stays open until room is needed; then
    // it is closed and its slot taken.
    int freed = indices[7];
    ReleaseArchiveReference(freed);
    EXPECT_EQ(ARCHIVE_TABLE_SIZE, GetOpenArchiveCount());
    EXPECT_EQ(TextBytes("archive spare"), ReadPath("spare\\x.txt"));
    EXPECT_EQ(ARCHIVE_TABLE_SIZE, GetOpenArchiveCount());
    ArchiveTableEntry* entry = GetArchiveTableEntry(freed);
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(Upper(dir) + "\\SPARE.ukx", entry->path);
    EXPECT_EQ(0, entry->references);
    // The spare archive, now unused, makes room for a7 again.
    EXPECT_EQ(TextBytes("archive"), ReadPath("a7\\x.txt"));
    entry = GetArchiveTableEntry(freed);
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(Upper(dir) + "\\A7.ukx", entry->path);

    for (int i = 0; i < ARCHIVE_TABLE_SIZE; i++)
        if (i != 7)
            ReleaseArchiveReference(indices[i]);
}

TEST_F(ArchiveFiles, CurrentDirectoryLongerThanItsBuffer)
{
    // The archive set keeps 256 bytes of the current directory, the disk set
    // 260. A directory that does not fit is reported, never taken as empty:
    // a relative path would otherwise be made one from the drive's root.
    std::string fits = MakeNestedDir(dir, ARCHIVE_PATH_SIZE - 1);
    std::string tooLong = MakeNestedDir(dir, ARCHIVE_PATH_SIZE);
    ASSERT_FALSE(fits.empty());
    ASSERT_FALSE(tooLong.empty());
    char buffer[FULL_PATH_SIZE + 4];
    char out[FULL_PATH_SIZE];

    ASSERT_TRUE(SetCurrentDirectoryA(fits.c_str()));
    EXPECT_EQ(0, ArchiveFileGetDir(buffer));
    EXPECT_EQ(fits, buffer);
    EXPECT_EQ(0, MakeFullPath("a", out, nullptr));
    EXPECT_EQ(fits + "\\a", out);

    ASSERT_TRUE(SetCurrentDirectoryA(tooLong.c_str()));
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(-1, ArchiveFileGetDir(buffer));
    EXPECT_STREQ("", buffer);
    memset(out, 'x', sizeof out);
    EXPECT_EQ(-1, MakeFullPath("a", out, nullptr));
    EXPECT_STREQ("", out);
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(ARCHIVE_PATH_SIZE, DiskGetCurrentDir(buffer));
    EXPECT_EQ(tooLong, buffer);
    StreamFunctionTable saved = StreamFunctions;
    SetStreamFunctions(GetDiskStreamFunctionSet());
    EXPECT_EQ(0, MakeFullPath("a", out, nullptr));
    EXPECT_EQ(tooLong + "\\a", out);
    SetStreamFunctions(&saved);
    SetCurrentDirectoryA(dir.c_str());
}

TEST_F(ArchiveFiles, ItemsSeeksAndEnd)
{
    ImageArchive();
    PackOptions lz;
    lz.compression = PACK_ALWAYS;
    Archive(dir + "\\lz.ukx", {MakePackFile("ten.bin", TextBytes("0123456789"))}, lz);
    for (const char* path : {"img\\ten.bin", "lz\\ten.bin"}) {
        SCOPED_TRACE(path);
        StreamHandle f = OpenFileStream(path, 0);
        ASSERT_NE(0u, f);
        char out[16] = {};
        // 3 items of 4 with 10 bytes left: 2 counted, all 10 consumed.
        EXPECT_EQ(2u, FileStreamRead(out, 4, 3, f));
        EXPECT_EQ(0, memcmp(out, "0123456789", 10));
        EXPECT_EQ(10, FileStreamTell(f));
        EXPECT_EQ(0, FileStreamEof(f));
        EXPECT_EQ(0u, FileStreamRead(out, 1, 1, f));
        EXPECT_EQ(-1, FileStreamEof(f));
        // Seeks clamp to the entry and clear the end.
        EXPECT_EQ(0, FileStreamSeek(f, -5, 0));
        EXPECT_EQ(0, FileStreamTell(f));
        EXPECT_EQ(0, FileStreamEof(f));
        EXPECT_EQ(0, FileStreamSeek(f, 100, 2));
        EXPECT_EQ(10, FileStreamTell(f));
        EXPECT_EQ(0, FileStreamSeek(f, -3, 1));
        EXPECT_EQ(3u, FileStreamRead(out, 1, 0x7FFFFFFF, f)) << "a huge count does not wrap";
        EXPECT_EQ(0, memcmp(out, "789", 3));
        EXPECT_EQ(0, FileStreamSeek(f, 2, 0));
        EXPECT_EQ(0u, FileStreamRead(out, 0, 3, f)) << "item size 0";
        EXPECT_EQ(1u, FileStreamRead(out, 8, 1, f));
        EXPECT_EQ(0, memcmp(out, "23456789", 8));
        EXPECT_EQ(1, FileStreamIdle(f));
        EXPECT_EQ(0, FileStreamClose(f));
    }
}

TEST_F(ArchiveFiles, AsynchronousArchiveFiles)
{
    ImageArchive();
    PackOptions lz;
    lz.compression = PACK_ALWAYS;
    std::vector<uint8_t> big = TestBytes(300000, 8);
    Archive(dir + "\\lz.ukx", {MakePackFile("big.bin", big), MakePackFile("t.csv", TextBytes("1,2\n"))}, lz);
    EXPECT_EQ(TestBytes(200000, 5), ReadPath("img\\big.bin", 1)) << "stored";
    EXPECT_EQ(big, ReadPath("lz\\big.bin", 1)) << "compressed";

    // Seeks and tells wait for the read in flight.
    StreamHandle f = OpenFileStream("img\\big.bin", 1);
    ASSERT_NE(0u, f);
    std::vector<uint8_t> part(100000);
    EXPECT_EQ(100000u, FileStreamRead(part.data(), 1, part.size(), f));
    EXPECT_EQ(100000, FileStreamTell(f));
    EXPECT_EQ(0, memcmp(part.data(), TestBytes(200000, 5).data(), part.size()));
    EXPECT_EQ(0, FileStreamClose(f));

    // The game's byte reader over an archive file.
    for (int async = 0; async <= 1; async++) {
        StreamHandle t = OpenFileStream("lz\\t.csv", async);
        ASSERT_NE(0u, t);
        std::string text;
        for (int c; (c = ReadStreamByte(t)) != -1;)
            text += (char)c;
        EXPECT_EQ("1,2\n", text);
        EXPECT_EQ(0, FileStreamClose(t));
    }
}

TEST_F(ArchiveFiles, FindInArchives)
{
    ImageArchive();
    auto list = [](const char* pattern) {
        std::vector<std::string> names;
        FindRecord r;
        intptr_t h = StreamFunctions.findFirst(pattern, &r);
        if (h == -1)
            return names;
        do
            names.push_back(std::string(r.name) + (r.isDirectory ? "/" : "") +
                            (r.isDirectory ? "" : ":" + std::to_string(r.sizeLow)));
        while (StreamFunctions.findNext(h, &r) == 0);
        EXPECT_EQ(0, StreamFunctions.findClose(h));
        return names;
    };
    // Entries in table order (the packer sorts them by their search form).
    EXPECT_EQ((std::vector<std::string>{"./", "a.txt:9", "big.bin:200000", "Sub/", "ten.bin:10", "ソフト/"}),
              list("img\\*"));
    EXPECT_EQ((std::vector<std::string>{"./", "../", "b.txt:9"}), list("img\\sub\\*"));
    EXPECT_EQ((std::vector<std::string>{"a.txt:9"}), list("img\\*.TXT"));
    EXPECT_EQ((std::vector<std::string>{"b.txt:9"}), list("img\\SUB\\?.txt"));
    EXPECT_EQ((std::vector<std::string>{"./", "../", "表.txt:12"}), list("img\\ソフト\\*"));
    EXPECT_TRUE(list("img\\*.none").empty());
    EXPECT_TRUE(list("img\\nothing\\*").empty());
    EXPECT_EQ((std::vector<std::string>{"c.txt:7"}), list("loose\\*.txt")) << "from disk";

    FindRecord r;
    intptr_t h = StreamFunctions.findFirst("img\\a.txt", &r);
    ASSERT_NE(-1, h);
    EXPECT_GE(r.lastWrite.year, 1601) << "dates from the entry's times";
    EXPECT_EQ(0, StreamFunctions.findClose(h));
    TerminateArchives();
    EXPECT_EQ(0, GetOpenArchiveCount()) << "finds hold no reference once closed";
}

TEST_F(ArchiveFiles, EmptySlotsAndStrayHandles)
{
    ImageArchive();
    // A file in slot 0, which a stray handle without the handle bits (0, the
    // failure value, among them) must not reach.
    StreamHandle f = OpenFileStream("loose\\c.txt", 0);
    ASSERT_EQ(ARCHIVE_FILE_HANDLE_BITS, (uint32_t)f);
    char out[4];
    for (StreamHandle h : {(StreamHandle)(ARCHIVE_FILE_HANDLE_BITS | 5u), (StreamHandle)(ARCHIVE_FILE_HANDLE_BITS | 600u),
                           (StreamHandle)0x0FFFFFFF, (StreamHandle)0, (StreamHandle)0x70000000}) {
        EXPECT_EQ(-1, ArchiveFileClose(h));
        EXPECT_EQ(-1, ArchiveFileTell(h));
        EXPECT_EQ(-1, ArchiveFileSeek(h, 0, 0));
        EXPECT_EQ(-1, ArchiveFileEof(h));
        EXPECT_EQ(-1, ArchiveFileIdle(h));
        EXPECT_EQ(0u, ArchiveFileRead(out, 1, 4, h));
    }
    EXPECT_EQ(TextBytes("loose c"), ReadAll(f)) << "slot 0 untouched";
    EXPECT_EQ(0, ArchiveFileClose(f));
    // What a failed find first gives out.
    EXPECT_EQ(-1, ArchiveFileFindNext(-1, nullptr));
    EXPECT_EQ(-1, ArchiveFileFindClose(-1));
}

TEST_F(ArchiveFiles, ExtensionAndKeySettings)
{
    Archive(dir + "\\data.VEA", {MakePackFile("x.txt", TextBytes("vea"))});
    Archive(dir + "\\data.ukx", {MakePackFile("x.txt", TextBytes("ukx"))});
    EXPECT_EQ(TextBytes("ukx"), ReadPath("data\\x.txt"));
    TerminateArchives();
    // An empty or over-long extension leaves the default.
    for (const char* ext : {"", "0123456789012345678901234567890123456789012345678901234567890123"}) {
        SetArchiveExtension(ext);
        EXPECT_EQ(TextBytes("vea"), ReadPath("data\\x.txt")) << strlen(ext);
        TerminateArchives();
        SetArchiveExtension("ukx");
        EXPECT_EQ(TextBytes("ukx"), ReadPath("data\\x.txt"));
        TerminateArchives();
    }

    // The key string is cut to 12 characters; "KOWR" three times is the
    // same key as "KOWR".
    SetArchiveKeyEntry("KOWRKOWRKOWRXYZ");
    EXPECT_EQ(TextBytes("ukx"), ReadPath("data\\x.txt"));
    TerminateArchives();
    // Without a key string, archives of the pattern key open, and so do those
    // of the second key.
    SetArchiveKeyString(nullptr);
    PackOptions pattern;
    pattern.keyString = "";
    Archive(dir + "\\plain.ukx", {MakePackFile("p.txt", TextBytes("pattern"))}, pattern);
    PackOptions second;
    second.secondKey = true;
    Archive(dir + "\\second.ukx", {MakePackFile("s.txt", TextBytes("second"))}, second);
    EXPECT_EQ(TextBytes("pattern"), ReadPath("plain\\p.txt"));
    EXPECT_EQ(TextBytes("second"), ReadPath("second\\s.txt"));
    // With another key, the pattern-key archive does not open: the file is
    // looked for on disk instead.
    TerminateArchives();
    SetArchiveKeyString("OTHER");
    EXPECT_EQ(0u, OpenFileStream("plain\\p.txt", 0));
    EXPECT_EQ(TextBytes("second"), ReadPath("second\\s.txt"));
    SetArchiveKeyString("KOWR");
}

TEST(Wildcards, Matching)
{
    struct {
        const char* name;
        const char* pattern;
        int expected;
    } cases[] = {
        {"ANYTHING.BMP", "*", 0},
        {"", "*", 0},
        {"ABC", "A?C", 0},
        {"AC", "A?C", -1},
        {"A.BMP", "*.BMP", 0},
        {"A.B.BMP", "*.BMP", -1},
        {"A.BMP", "A.BMP", 0},
        {"A.BMPX", "A.BMP", -1},
        {"A.BM", "A.BMP", -1},
        {"ABC", "**C", 0},
        {"ABC", "A*", 0},
        {"表.TXT", "?.TXT", 0},
        {"表.TXT", "表*", 0},
        {"ソ\\.TXT", "*\\.TXT", 0},
        {"ソ.TXT", "*\\.TXT", -1},
        {"X表", "*表", 0},
    };
    for (auto& c : cases)
        EXPECT_EQ(c.expected, MatchWildcard(c.name, c.pattern)) << c.name << " ~ " << c.pattern;
}

} // namespace
