#include "tests/support/test_files.h"

#include <stdio.h>

int testArgCount;
char** testArgs;

int TestArgCount() { return testArgCount; }
const char* TestArg(int index) { return index < testArgCount ? testArgs[index] : ""; }

bool WriteWholeFile(const std::string& path, const void* data, size_t size)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* data)
{
    data->clear();
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    int c;
    while ((c = fgetc(f)) != EOF)
        data->push_back((uint8_t)c);
    fclose(f);
    return true;
}
