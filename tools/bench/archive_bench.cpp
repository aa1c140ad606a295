// Throughput of the file layer: LZ encoding and decoding, reads from a
// streamed archive, and opens through the archive-aware table.
//   archive_bench.exe [megabytes]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>

#include "runtime/file/archive_files.h"
#include "runtime/file/stream.h"
#include "tools/packer/archive_writer.h"
#include "tools/packer/lz_encoder.h"
#include "tools/bench/bench_clock.h"

// Image-like bytes: runs, repeats and noise.
static std::vector<uint8_t> SampleData(size_t size)
{
    std::vector<uint8_t> data(size);
    uint32_t x = 12345;
    for (size_t i = 0; i < size; i++) {
        x = x * 1664525u + 1013904223u;
        size_t row = i / 4096;
        data[i] = (i % 16 < 3) ? (uint8_t)(x >> 24) : (uint8_t)((i % 4096) / 64 + row % 5);
    }
    return data;
}

int main(int argc, char** argv)
{
    size_t megabytes = argc > 1 ? (size_t)atoi(argv[1]) : 16;
    if (megabytes < 1)
        megabytes = 1;
    std::vector<uint8_t> data = SampleData(megabytes << 20);
    double mb = (double)data.size() / 1048576.0;

    double t0 = Now();
    std::vector<uint8_t> block = EncodeArchiveLz(data.data(), (uint32_t)data.size());
    double t1 = Now();
    std::vector<uint8_t> out(data.size());
    const int rounds = 5;
    for (int i = 0; i < rounds; i++)
        DecodeArchiveLzChecked(block.data(), (uint32_t)block.size(), out.data(), (uint32_t)out.size());
    double t2 = Now();
    printf("LZ: %.1f MB to %.1f%%, encode %.1f MB/s, decode %.1f MB/s%s\n", mb,
           100.0 * (double)block.size() / (double)data.size(), mb / (t1 - t0), mb * rounds / (t2 - t1),
           out == data ? "" : " (MISMATCH)");

    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string dir = std::string(temp) + "vexil_bench";
    CreateDirectoryA(dir.c_str(), nullptr);
    SetCurrentDirectoryA(dir.c_str());
    // raw.ukx holds the data stored, data.ukx compressed beside 500 small files.
    PackOptions options;
    options.keyString = "KOWR";
    auto write = [](const char* path, const std::vector<PackFile>& files, const PackOptions& o) {
        std::vector<uint8_t> archive;
        BuildArchive(files, o, archive);
        FILE* f = fopen(path, "wb");
        fwrite(archive.data(), 1, archive.size(), f);
        fclose(f);
    };
    std::vector<PackFile> files(1);
    files[0].path = "stored.bin";
    files[0].data = data;
    options.compression = PACK_STORED;
    write("raw.ukx", files, options);
    files[0].path = "packed.bin";
    for (int i = 0; i < 500; i++) {
        PackFile f;
        f.path = "small/f" + std::to_string(i) + ".csv";
        f.data.assign(200, (uint8_t)('a' + i % 26));
        files.push_back(f);
    }
    options.compression = PACK_ALWAYS;
    write("data.ukx", files, options);
    CreateDirectoryA("loose", nullptr);
    for (int i = 0; i < 100; i++) {
        FILE* g = fopen(("loose\\f" + std::to_string(i) + ".csv").c_str(), "wb");
        fputs("1,2,3\n", g);
        fclose(g);
    }
    SetArchiveExtension("ukx");
    SetArchiveKeyString("KOWR");

    for (const char* name : {"raw\\stored.bin", "data\\packed.bin"}) {
        double a = Now();
        StreamHandle h = OpenFileStream(name, 0);
        double b = Now();
        size_t total = 0, n;
        while ((n = FileStreamRead(out.data(), 1, 65536, h)) > 0)
            total += n;
        double c = Now();
        FileStreamClose(h);
        printf("%s: open %.1f ms, read %.1f MB/s in 64 KiB reads\n", name, (b - a) * 1000,
               (double)total / 1048576.0 / (c - b));
    }

    const int opens = 2000;
    double a = Now();
    for (int i = 0; i < opens; i++) {
        StreamHandle h = OpenFileStream(("data\\small\\f" + std::to_string(i % 500) + ".csv").c_str(), 0);
        while (ReadStreamByte(h) != -1) {
        }
        FileStreamClose(h);
    }
    double b = Now();
    for (int i = 0; i < opens; i++) {
        StreamHandle h = OpenFileStream(("loose\\f" + std::to_string(i % 100) + ".csv").c_str(), 0);
        while (ReadStreamByte(h) != -1) {
        }
        FileStreamClose(h);
    }
    double c = Now();
    printf("open+read+close of a 200-byte archive file: %.1f us; of a loose file (walking every directory): %.1f us\n",
           (b - a) / opens * 1e6, (c - b) / opens * 1e6);

    TerminateArchives();
    DeleteFileA("raw.ukx");
    DeleteFileA("data.ukx");
    for (int i = 0; i < 100; i++)
        DeleteFileA(("loose\\f" + std::to_string(i) + ".csv").c_str());
    RemoveDirectoryA("loose");
    SetCurrentDirectoryA(temp);
    RemoveDirectoryA(dir.c_str());
    return 0;
}
