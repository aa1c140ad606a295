// The archive reader on an image in memory. The input is a whole archive
// file; it is opened with the key string of the generated fixtures, else with
// none (the fallback key is tried by either).
//
// An image that opens has its directory tables walked (bounded, since a
// damaged table may loop), every name looked up again by its path, and every
// file that the look-up finds read through an archive stream to its end: a
// stream gives exactly the entry's size. Closing gives the caller its bytes
// back as they were.
#include <string.h>

#include <string>
#include <vector>

#include "runtime/file/archive_reader.h"
#include "runtime/file/archive_stream.h"
#include "tests/native/fuzz/fuzz_support.h"

namespace {

// Bounds of the walk: a table that loops or fans out is not followed further.
const int MaxDepth = 8;
const int MaxEntries = 256;

struct Walk {
    ArchiveRecord* record;
    int entries;
    std::vector<std::string> files, dirs;
};

void ReadThrough(ArchiveRecord* record, const char* path)
{
    ArchiveStream stream;
    if (OpenArchiveStream(&stream, record, path, 0) != 0)
        return;
    uint32_t size = stream.entry.dataSize;
    static uint8_t buffer[4096];
    uint32_t total = 0;
    for (;;) {
        uint32_t got = ReadArchiveStream(&stream, buffer, sizeof buffer);
        if (got == 0)
            break;
        FUZZ_CHECK(got <= sizeof buffer);
        total += got;
    }
    FUZZ_CHECK(total == size);
    FUZZ_CHECK(ArchiveStreamEof(&stream) == -1);
    FUZZ_CHECK(SeekArchiveStream(&stream, -1, 2) == 0);
    FUZZ_CHECK(TellArchiveStream(&stream) == (long)(size ? size - 1 : 0));
    FUZZ_CHECK(ReadArchiveStream(&stream, buffer, sizeof buffer) == (size ? 1u : 0u));
    CloseArchiveStream(&stream);

    uint32_t offset, located;
    FUZZ_CHECK(GetArchiveFileLocation(record, path, &offset, &located) == 0);
    FUZZ_CHECK(located == size);
}

void WalkDir(Walk& w, uint32_t dirOffset, const std::string& prefix, int depth)
{
    ArchiveDirEntry dir;
    if (depth > MaxDepth || ReadArchiveDirEntry(w.record, dirOffset, &dir) != 0)
        return;
    for (uint32_t i = 0; i < dir.count && w.entries < MaxEntries; i++, w.entries++) {
        ArchiveFileEntry entry;
        if (ReadArchiveFileEntry(w.record, dir.first + i * w.record->fileEntrySize, &entry) != 0)
            return;
        char name[260];
        if (GetArchiveEntryName(w.record, &entry, name, sizeof name) != 0)
            continue;
        ArchiveEntryFits(w.record, &entry);
        ArchiveEntryStored(w.record, &entry);
        std::string path = prefix + name;
        if (entry.attributes & ARCHIVE_DIRECTORY_ATTRIBUTE) {
            w.dirs.push_back(path);
            WalkDir(w, entry.dataOffset, path + "\\", depth + 1);
        } else {
            w.files.push_back(path);
        }
    }
}

void Exercise(ArchiveRecord* record)
{
    Walk w = {record, 0, {}, {}};
    WalkDir(w, 0, "", 0);
    for (const std::string& path : w.files) {
        ArchiveFileEntry entry;
        if (LookupArchiveFileEntry(record, path.c_str(), &entry) == 0)
            ReadThrough(record, path.c_str());
    }
    for (const std::string& path : w.dirs) {
        ArchiveSearchName last;
        if (ChangeArchiveDir(record, path.c_str(), 1, &last) == 0) {
            FUZZ_CHECK(ChangeArchiveDir(record, "\\", 1, &last) == 0);
            FUZZ_CHECK(record->currentDir == 0);
        }
    }
    // Paths the fixtures hold, a multibyte name whose trail byte is a
    // separator, and paths that climb out.
    const char* paths[] = {"data\\Table.csv", "DATA/table.CSV", "\x83\x5c\x83\x74\x83\x67\\\x95\x5c.txt",
                           "..\\data\\zero.bin", "Empty\\..\\data\\zero.bin", "\\", ""};
    for (const char* path : paths)
        ReadThrough(record, path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TrackedMemoryScope scope;
    if (size > 16u << 20)
        return 0;
    // Exactly sized, so that a read past the image meets the sanitizer.
    std::vector<uint8_t> image(data, data + size);
    ArchiveRecord record;
    ClearArchiveRecord(&record);
    const char* keys[] = {"KOWR", nullptr};
    for (const char* key : keys) {
        if (OpenArchiveInMemory(&record, image.empty() ? nullptr : image.data(), (uint32_t)size, key) != 0) {
            FUZZ_CHECK(size == 0 || memcmp(image.data(), data, size) == 0);
            continue;
        }
        Exercise(&record);
        FUZZ_CHECK(CloseArchive(&record) == 0);
        FUZZ_CHECK(memcmp(image.data(), data, size) == 0);
        break;
    }
    return 0;
}
