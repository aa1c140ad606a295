// Greedy LZ encoder for the archive's block format.
#pragma once

#include <stdint.h>
#include <vector>

// The whole LZ block (9-byte header and tokens) for the data. The escape byte
// is the byte value that occurs least in the data.
std::vector<uint8_t> EncodeArchiveLz(const uint8_t* data, uint32_t size);

// The same with a chosen escape byte (tests use it to reach every token form).
std::vector<uint8_t> EncodeArchiveLzWithEscape(const uint8_t* data, uint32_t size, uint8_t escape);
