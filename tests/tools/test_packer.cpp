// The packer's command line: a directory on disk becomes an archive that the
// library's reader opens with the same options.
#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>
#include <vector>

#include "runtime/file/archive_files.h"
#include "runtime/file/archive_reader.h"
#include "runtime/file/disk_files.h"
#include "runtime/memory.h"
#include "tests/runtime/file/archive_fixtures.h"
#include "tests/support/test_support.h"
#include "tools/packer/archive_writer.h"

namespace {

class Packer : public testing::Test {
protected:
    void SetUp() override
    {
        dir = MakeTempDir("packer");
        source = dir + "\\data";
        archive = dir + "\\data.ukx";
        CreateDirectoryA(source.c_str(), nullptr);
        CreateDirectoryA((source + "\\sub").c_str(), nullptr);
        CreateDirectoryA((source + "\\sub\\empty").c_str(), nullptr);
        Put("a.txt", TextBytes("alpha"));
        Put("sub\\b.bin", compressible);
        Put("sub\\noise.bin", noise);
        Put("データ.txt", TextBytes("sjis"));
    }
    void TearDown() override { RemoveTree(dir); }
    void Put(const char* name, const std::vector<uint8_t>& data)
    {
        ASSERT_TRUE(WriteWholeFile(source + "\\" + name, data.data(), data.size()));
    }
    int Run(std::vector<const char*> args)
    {
        args.insert(args.begin(), "packer");
        return RunPacker((int)args.size(), const_cast<char**>(args.data()));
    }
    // Opens the archive streamed and checks every file.
    void Check(const char* key, int version, int charSet)
    {
        ArchiveRecord r;
        ClearArchiveRecord(&r);
        ASSERT_EQ(0, OpenArchiveFileStreamed(&r, archive.c_str(), key));
        EXPECT_EQ(version, r.header.version);
        EXPECT_EQ(charSet, r.charSet);
        struct {
            const char* path;
            std::vector<uint8_t> data;
        } files[] = {{"A.TXT", TextBytes("alpha")}, {"sub\\b.bin", compressible}, {"SUB\\NOISE.BIN", noise},
                     {"データ.txt", TextBytes("sjis")}};
        for (auto& f : files) {
            ArchiveStream s;
            ASSERT_EQ(0, OpenArchiveStream(&s, &r, f.path, 0)) << f.path;
            std::vector<uint8_t> out(f.data.size() + 1);
            EXPECT_EQ(f.data.size(), ReadArchiveStream(&s, out.data(), (uint32_t)out.size()));
            out.pop_back();
            EXPECT_EQ(f.data, out) << f.path;
            CloseArchiveStream(&s);
        }
        EXPECT_EQ(0, ChangeArchiveDir(&r, "sub\\empty", 1, nullptr)) << "empty directories are kept";
        EXPECT_EQ(0, ChangeArchiveDir(&r, "\\", 1, nullptr));

        // Times and sizes as on disk.
        FindRecord inArchive, onDisk;
        ArchiveFindState* find = FindFirstInArchive(&r, "sub\\b.bin", &inArchive);
        ASSERT_NE(nullptr, find);
        intptr_t diskFind = DiskFindFirst((source + "\\sub\\b.bin").c_str(), &onDisk);
        ASSERT_NE(-1, diskFind);
        DiskFindClose(diskFind);
        EXPECT_STREQ("b.bin", inArchive.name);
        EXPECT_EQ(onDisk.sizeLow, inArchive.sizeLow);
        EXPECT_EQ(0, memcmp(&onDisk.lastWrite, &inArchive.lastWrite, sizeof onDisk.lastWrite));
        EXPECT_EQ(0, memcmp(&onDisk.creation, &inArchive.creation, sizeof onDisk.creation));

        // Compression is used where it saves space.
        ArchiveFileEntry e;
        ASSERT_EQ(0, LookupArchiveFileEntry(&r, "sub\\noise.bin", &e));
        EXPECT_EQ(ARCHIVE_STORED, e.packedSize);
        ASSERT_EQ(0, LookupArchiveFileEntry(&r, "sub\\b.bin", &e));
        if (version >= 2) {
            EXPECT_NE(ARCHIVE_STORED, e.packedSize);
        }
        FreeTracked(find);
        CloseArchive(&r);
    }
    std::string dir, source, archive;
    std::vector<uint8_t> compressible = TestBytes(50000, 1, 1);
    std::vector<uint8_t> noise = TestBytes(3000, 2, 8);
};

TEST_F(Packer, KeysVersionsAndCodePages)
{
    ASSERT_EQ(0, Run({"-k", "KOWR", source.c_str(), archive.c_str()}));
    Check("KOWR", 4, 1);
    ASSERT_EQ(0, Run({source.c_str(), archive.c_str()}));
    Check(nullptr, 4, 1);
    ASSERT_EQ(0, Run({"-2", "-v", "3", source.c_str(), archive.c_str()}));
    Check("KOWR", 3, 0);
    ASSERT_EQ(0, Run({"-v", "1", "-k", "KOWR", source.c_str(), archive.c_str()}));
    Check("KOWR", 1, 0);
    ASSERT_EQ(0, Run({"-v", "4", "-p", "949", "-k", "K", source.c_str(), archive.c_str()}));
    Check("K", 4, 2);

    ASSERT_EQ(0, Run({"-n", "-k", "KOWR", source.c_str(), archive.c_str()}));
    ArchiveRecord r;
    ClearArchiveRecord(&r);
    ASSERT_EQ(0, OpenArchiveFileStreamed(&r, archive.c_str(), "KOWR"));
    ArchiveFileEntry e;
    ASSERT_EQ(0, LookupArchiveFileEntry(&r, "sub\\b.bin", &e));
    EXPECT_EQ(ARCHIVE_STORED, e.packedSize) << "-n stores";
    CloseArchive(&r);
}

TEST_F(Packer, BadCommandLines)
{
    EXPECT_EQ(2, Run({}));
    EXPECT_EQ(2, Run({source.c_str()}));
    EXPECT_EQ(2, Run({"-v", "5", source.c_str(), archive.c_str()}));
    EXPECT_EQ(2, Run({"-v", "x", source.c_str(), archive.c_str()}));
    EXPECT_EQ(2, Run({"-q", source.c_str(), archive.c_str()}));
    EXPECT_EQ(1, Run({(dir + "\\missing").c_str(), archive.c_str()}));
    EXPECT_EQ(1, Run({source.c_str(), (dir + "\\no\\such\\dir.ukx").c_str()}));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(archive.c_str())) << "nothing written";
}

TEST(PackerBuild, RefusesPathsItCannotStore)
{
    std::vector<uint8_t> out;
    PackOptions options;
    EXPECT_FALSE(BuildArchive({MakePackFile("a/../b", {})}, options, out));
    EXPECT_FALSE(BuildArchive({MakePackFile("", {})}, options, out));
    EXPECT_FALSE(BuildArchive({MakePackFile("x.txt", {}), MakePackFile("X.TXT", {})}, options, out))
        << "names differ only in case";
    EXPECT_FALSE(BuildArchive({MakePackFile("d", {}), MakePackFile("d/e", {})}, options, out));
    EXPECT_FALSE(BuildArchive({MakePackFile(std::string(1100, 'n'), {})}, options, out));
    options.version = 5;
    EXPECT_FALSE(BuildArchive({MakePackFile("x", {})}, options, out));
    options.version = 0;
    EXPECT_TRUE(BuildArchive({}, options, out)) << "an empty archive";
    ArchiveRecord r;
    ClearArchiveRecord(&r);
    ASSERT_EQ(0, OpenArchiveInMemory(&r, out.data(), (uint32_t)out.size(), nullptr));
    ArchiveFileEntry e;
    EXPECT_EQ(-1, LookupArchiveFileEntry(&r, "x", &e));
    CloseArchive(&r);
}

} // namespace
