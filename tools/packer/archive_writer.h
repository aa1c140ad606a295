// Writes archives of the library's format: from a list of files, or from a
// directory on disk. Used by the tests to make fixtures and by the data
// pipeline to pack data directories. The archive building also compiles
// natively, for build-time tools; the directory walk and the command line
// are Windows only.
#pragma once

#include <stdint.h>
#ifdef _WIN32
#include <windows.h>
#else
// The stored Win32 file time and the two attribute bits the writer sets.
struct FILETIME {
    uint32_t dwLowDateTime, dwHighDateTime;
};
enum : uint32_t { FILE_ATTRIBUTE_DIRECTORY = 0x10, FILE_ATTRIBUTE_NORMAL = 0x80 };
#endif
#include <string>
#include <vector>

struct PackFile {
    std::string path;             // relative, "\" or "/" between components
    std::vector<uint8_t> data;
    bool directory = false;       // an (empty) directory of its own
    uint32_t attributes = FILE_ATTRIBUTE_NORMAL;
    FILETIME creation = {};
    FILETIME lastAccess = {};
    FILETIME lastWrite = {};
};

enum PackCompression {
    PACK_STORED,                  // every file uncompressed
    PACK_AUTO,                    // compressed where that makes it smaller
    PACK_ALWAYS,                  // every non-empty file compressed
};

struct PackOptions {
    int version = 4;              // 0 to 4; compression needs 2 or later
    PackCompression compression = PACK_AUTO;
    const char* keyString = nullptr; // null: the pattern key
    bool secondKey = false;       // scramble with the fallback key instead
    uint32_t codePage = 932;      // names' code page (written by version 4)
};

// The 12 key bytes the options stand for.
void MakePackKey(const PackOptions& options, uint8_t key[12]);

// The archive's bytes, scrambled; false with a reason in error.
bool BuildArchive(const std::vector<PackFile>& files, const PackOptions& options, std::vector<uint8_t>& out,
                  std::string* error = nullptr);
#ifdef _WIN32
// Every file and directory below `directory`, with its attributes and times.
bool CollectDirectory(const std::string& directory, std::vector<PackFile>& files, std::string* error = nullptr);
bool PackDirectory(const std::string& directory, const std::string& archivePath, const PackOptions& options,
                   std::string* error = nullptr);

// The command line of packer.exe; returns the process exit code.
int RunPacker(int argc, char** argv);
#endif
