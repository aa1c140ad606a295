// Deterministic test data, free of any platform header so that the native
// tests share it.
#pragma once

#include <stdint.h>
#include <string.h>
#include <vector>

// Deterministic bytes: `noise` of every 8 bytes random, the rest repeating,
// so that the data compresses but not trivially.
inline std::vector<uint8_t> TestBytes(size_t size, uint32_t seed, int noise = 2)
{
    std::vector<uint8_t> data(size);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; i++) {
        x = x * 1664525u + 1013904223u;
        data[i] = (int)(i % 8) < noise ? (uint8_t)(x >> 24) : (uint8_t)("patterned"[i % 9] + (i / 4096) % 7);
    }
    return data;
}

inline std::vector<uint8_t> TextBytes(const char* text)
{
    return std::vector<uint8_t>(text, text + strlen(text));
}

// A RIFF WAVE file of PCM: the 44-byte header with dataBytes of zeros behind
// it, for the caller to fill from byte 44 on.
inline std::vector<uint8_t> PcmWaveFile(uint32_t rate, uint16_t channels, uint16_t bits, uint32_t dataBytes)
{
    const uint16_t block = (uint16_t)(channels * bits / 8);
    std::vector<uint8_t> w(44 + (size_t)dataBytes);
    auto put16 = [&](size_t at, uint32_t v) { w[at] = (uint8_t)v; w[at + 1] = (uint8_t)(v >> 8); };
    auto put32 = [&](size_t at, uint32_t v) { for (int i = 0; i < 4; i++) w[at + i] = (uint8_t)(v >> (8 * i)); };
    memcpy(&w[0], "RIFF", 4);
    put32(4, 36 + dataBytes);
    memcpy(&w[8], "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, channels);
    put32(24, rate);
    put32(28, rate * block);
    put16(32, block);
    put16(34, bits);
    memcpy(&w[36], "data", 4);
    put32(40, dataBytes);
    return w;
}
