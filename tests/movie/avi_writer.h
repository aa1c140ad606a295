// A small uncompressed AVI written by the tests themselves: 24-bit DIB
// frames, bottom-up as AVI files store them, with an index.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The colour of pixel (x, y) of a frame, y counted from the top, as 0xRRGGBB.
typedef DWORD (*AviPixelFunction)(int frame, int x, int y);

std::vector<BYTE> MakeUncompressedAvi(int width, int height, int frames, int framesPerSecond,
                                      AviPixelFunction pixel);
bool WriteBytesToFile(const std::string& path, const std::vector<BYTE>& bytes);
