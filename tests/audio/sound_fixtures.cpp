#include "tests/audio/sound_fixtures.h"

#include <string.h>

#include <string>

#include "runtime/memory.h"
#include "tests/support/test_support.h"

std::vector<uint8_t> ReadFixture(const char* name)
{
    std::string path = std::string(TestArg(1)) + "/" + name;
    std::vector<uint8_t> data;
    EXPECT_TRUE(ReadWholeFile(path, &data)) << path;
    return data;
}

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v)
{
    b[at] = (uint8_t)v;
    b[at + 1] = (uint8_t)(v >> 8);
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = (uint8_t)(v >> (8 * i));
}

void Append(std::vector<uint8_t>& b, const void* data, size_t size)
{
    const uint8_t* p = (const uint8_t*)data;
    b.insert(b.end(), p, p + size);
}

void AppendChunk(std::vector<uint8_t>& b, const char* id, uint32_t size, const std::vector<uint8_t>& payload)
{
    Append(b, id, 4);
    size_t at = b.size();
    b.resize(at + 4);
    Put32(b, at, size);
    Append(b, payload.data(), payload.size());
}

ConverterOver::ConverterOver(const std::vector<uint8_t>& data) : bytes(data)
{
    stream.ops = *GetMemoryStreamFunctions();
    stream.handle = OpenMemoryStream(bytes.empty() ? "" : (const void*)bytes.data(), (int)bytes.size());
    memset(&c, 0, sizeof c);
    setup = SetupSoundConverter(&stream, &c);
}

ConverterOver::~ConverterOver()
{
    if (c.open)
        TerminateSoundConverter(&c);
    stream.ops.close(stream.handle);
}

std::vector<uint8_t> ConverterOver::ReadRest(int chunk)
{
    std::vector<uint8_t> out;
    std::vector<uint8_t> part((size_t)chunk);
    for (;;) {
        int got = ReadSoundConverter(&c, part.data(), chunk);
        EXPECT_GE(got, 0);
        if (got <= 0)
            break;
        out.insert(out.end(), part.begin(), part.begin() + got);
        if (got < chunk)
            break;
    }
    return out;
}

void ConverterTest::SetUp()
{
    VorbisSampleWidth = 2;
    SoundSecondReaderFlag = 0;
    allocations = GetAllocCount();
}

void ConverterTest::TearDown()
{
    EXPECT_EQ(allocations, GetAllocCount()) << "tracked blocks left behind";
}
