// The test programs' arguments and whole-file reads and writes: what tests
// share that needs no platform, so the native build uses them too.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// Arguments left on the command line after GoogleTest took its own.
int TestArgCount();
const char* TestArg(int index);

// Writes a whole file; true on success.
bool WriteWholeFile(const std::string& path, const void* data, size_t size);
// Reads a whole file into data; false when it cannot be opened.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* data);
