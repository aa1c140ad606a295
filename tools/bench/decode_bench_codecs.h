// The codec side of decode_bench: encoding the test picture and decoding it
// with plain libpng and libjpeg calls. Kept apart from windows.h, whose
// `boolean` differs from libjpeg's.
#pragma once

#include <stdint.h>

#include <vector>

// Encodes width x height pixels of red, green, blue bytes.
std::vector<uint8_t> EncodePngRgb(const uint8_t* rgb, int width, int height);
std::vector<uint8_t> EncodeJpegRgb(const uint8_t* rgb, int width, int height, int quality);

// Decodes a file from memory into blue, green, red rows as the loader's
// decoders do; false on failure.
bool DecodePngDirect(const std::vector<uint8_t>& file, std::vector<uint8_t>* pixels);
bool DecodeJpegDirect(const std::vector<uint8_t>& file, std::vector<uint8_t>* pixels);
