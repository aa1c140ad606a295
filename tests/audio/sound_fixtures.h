// Converters over memory streams for the sound converter tests.
#pragma once

#include <gtest/gtest.h>
#include <stdint.h>

#include <vector>

#include "audio/sound_converter.h"

std::vector<uint8_t> ReadFixture(const char* name);

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v);
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v);
void Append(std::vector<uint8_t>& b, const void* data, size_t size);
void AppendChunk(std::vector<uint8_t>& b, const char* id, uint32_t size, const std::vector<uint8_t>& payload);

// A converter set up over a memory stream of the bytes. The stream stays
// open until the end of the object, which terminates the converter first.
struct ConverterOver {
    explicit ConverterOver(const std::vector<uint8_t>& data);
    ~ConverterOver();
    ConverterOver(const ConverterOver&) = delete;
    ConverterOver& operator=(const ConverterOver&) = delete;

    // Everything from the current position on, read chunk bytes at a time.
    std::vector<uint8_t> ReadRest(int chunk = 5000);

    std::vector<uint8_t> bytes;
    StreamDescriptor stream;
    SoundConverter c;
    int setup;
};

// Checks that every tracked block a test made is freed again, and sets the
// Vorbis sample width as sound start-up does.
class ConverterTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    int allocations = 0;
};
