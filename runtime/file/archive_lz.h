// The LZ block format of archive entries and of the built-in shader pack:
// a 9-byte header (output size, block size, escape byte) and tokens.
#pragma once

#include <stdint.h>

// Decodes the block into output and returns the output size from its header.
// With a null output, or a block without tokens, writes nothing and only
// returns that size (callers ask for the size, allocate, then decode).
// A block whose tokens run past its own size, reach before the start of the
// output or past the output size, or do not fill the output, returns -1.
int DecodeArchiveLz(const void* block, void* output);

// The decoder with every bound given by the caller: the block may occupy at
// most `available` bytes and must decode to exactly outputBytes. 0, or -1 for
// a block that does not.
int DecodeArchiveLzChecked(const void* block, uint32_t available, void* output, uint32_t outputBytes);

// Checks a block header before anything is allocated for it: the block fits
// in `available` bytes, its output size is `expectedOutput`, and its tokens
// could produce that much. 0 or -1.
int CheckArchiveLzHeader(const void* block, uint32_t available, uint32_t expectedOutput);

uint32_t ArchiveLzOutputSize(const void* block);
uint32_t ArchiveLzBlockSize(const void* block);
