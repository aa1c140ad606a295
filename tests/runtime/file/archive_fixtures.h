// Fixture data and archives for the file-layer tests.
#pragma once

#include <stdint.h>
#include <string.h>
#include <string>
#include <vector>

#include "tests/support/test_bytes.h"
#include "tools/packer/archive_writer.h"

inline PackFile MakePackFile(const std::string& path, const std::vector<uint8_t>& data)
{
    PackFile f;
    f.path = path;
    f.data = data;
    f.creation.dwHighDateTime = 0x01D00000;
    f.lastWrite.dwHighDateTime = 0x01D10000;
    return f;
}

inline PackFile MakePackDir(const std::string& path)
{
    PackFile f;
    f.path = path;
    f.directory = true;
    f.attributes = 0x10;
    return f;
}

inline std::vector<uint8_t> BuildOrDie(const std::vector<PackFile>& files, const PackOptions& options)
{
    std::vector<uint8_t> out;
    std::string error;
    if (!BuildArchive(files, options, out, &error))
        out.clear();
    return out;
}
