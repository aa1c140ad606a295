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
