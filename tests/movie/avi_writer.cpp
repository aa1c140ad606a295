#include "tests/movie/avi_writer.h"

#include <string.h>

namespace {

void Put32(std::vector<BYTE>& out, DWORD value)
{
    for (int i = 0; i < 4; i++)
        out.push_back(BYTE(value >> (8 * i)));
}

void PutTag(std::vector<BYTE>& out, const char* tag)
{
    out.insert(out.end(), tag, tag + 4);
}

void PutBytes(std::vector<BYTE>& out, const void* data, size_t size)
{
    const BYTE* bytes = static_cast<const BYTE*>(data);
    out.insert(out.end(), bytes, bytes + size);
}

// Writes the size of the chunk or list whose size field is at `at`.
void CloseChunk(std::vector<BYTE>& out, size_t at)
{
    DWORD size = DWORD(out.size() - at - 4);
    memcpy(&out[at], &size, 4);
}

} // namespace

std::vector<BYTE> MakeUncompressedAvi(int width, int height, int frames, int framesPerSecond,
                                      AviPixelFunction pixel)
{
    const DWORD stride = DWORD((width * 3 + 3) & ~3);
    const DWORD frameBytes = stride * DWORD(height);
    std::vector<BYTE> avi;
    PutTag(avi, "RIFF");
    size_t riff = avi.size();
    Put32(avi, 0);
    PutTag(avi, "AVI ");

    PutTag(avi, "LIST");
    size_t hdrl = avi.size();
    Put32(avi, 0);
    PutTag(avi, "hdrl");
    PutTag(avi, "avih");
    Put32(avi, 56);
    const DWORD header[14] = {DWORD(1000000 / framesPerSecond), 0, 0, 0x10 /* has index */, DWORD(frames), 0, 1,
                              frameBytes, DWORD(width), DWORD(height), 0, 0, 0, 0};
    PutBytes(avi, header, sizeof(header));

    PutTag(avi, "LIST");
    size_t strl = avi.size();
    Put32(avi, 0);
    PutTag(avi, "strl");
    PutTag(avi, "strh");
    Put32(avi, 56);
    PutTag(avi, "vids");
    PutTag(avi, "DIB ");
    const DWORD stream[10] = {0, 0, 0, 1, DWORD(framesPerSecond), 0, DWORD(frames), frameBytes, 0xFFFFFFFF, 0};
    PutBytes(avi, stream, sizeof(stream));
    const short frameRect[4] = {0, 0, short(width), short(height)};
    PutBytes(avi, frameRect, sizeof(frameRect));
    PutTag(avi, "strf");
    Put32(avi, sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER bitmap = {};
    bitmap.biSize = sizeof(bitmap);
    bitmap.biWidth = width;
    bitmap.biHeight = height;
    bitmap.biPlanes = 1;
    bitmap.biBitCount = 24;
    bitmap.biCompression = BI_RGB;
    bitmap.biSizeImage = frameBytes;
    PutBytes(avi, &bitmap, sizeof(bitmap));
    CloseChunk(avi, strl);
    CloseChunk(avi, hdrl);

    PutTag(avi, "LIST");
    size_t movi = avi.size();
    Put32(avi, 0);
    PutTag(avi, "movi");
    std::vector<DWORD> offsets;
    for (int frame = 0; frame < frames; frame++) {
        offsets.push_back(DWORD(avi.size() - (movi + 4)));
        PutTag(avi, "00db");
        Put32(avi, frameBytes);
        for (int y = height - 1; y >= 0; y--) {
            std::vector<BYTE> row(stride, 0);
            for (int x = 0; x < width; x++) {
                DWORD c = pixel(frame, x, y);
                row[x * 3] = BYTE(c);
                row[x * 3 + 1] = BYTE(c >> 8);
                row[x * 3 + 2] = BYTE(c >> 16);
            }
            PutBytes(avi, row.data(), row.size());
        }
    }
    CloseChunk(avi, movi);

    PutTag(avi, "idx1");
    Put32(avi, 16 * DWORD(frames));
    for (int frame = 0; frame < frames; frame++) {
        PutTag(avi, "00db");
        Put32(avi, 0x10); // key frame
        Put32(avi, offsets[frame]);
        Put32(avi, frameBytes);
    }
    CloseChunk(avi, riff);
    return avi;
}

bool WriteBytesToFile(const std::string& path, const std::vector<BYTE>& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}
