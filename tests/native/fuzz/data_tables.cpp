// The game's table readers. The input is a reader choice and a table file:
//   reader (0 animation, 1 block animation, 2 slots, 3-5 area layouts of
//   blocks, enemies and items), animation kind, animation id, file bytes.
// The file is served for every path through a stream table of memory streams.
//
// Whatever the file holds, the frame counts stay within their rows and the
// block count within its table.
#include "game/data_tables.h"
#include "runtime/file/stream.h"
#include "tests/native/fuzz/fuzz_support.h"

namespace {

const uint8_t* fileData;
int fileSize;

StreamHandle OpenInput(const char*, int, int, int)
{
    return OpenMemoryStream(fileData, fileSize);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TrackedMemoryScope scope;
    if (size > 1 << 20)
        return 0;
    FuzzReader in(data, size);
    int reader = in.Below(6);
    int kind = in.Below(ANIM_KINDS);
    int id = in.Below(ANIM_IDS);
    fileData = in.Rest();
    fileSize = (int)in.RestSize();
    StreamFunctionTable table = {};
    table.open = OpenInput;
    table.close = CloseMemoryStream;
    table.tell = MemStreamTell;
    table.seek = MemStreamSeek;
    table.read = MemStreamRead;
    table.eof = MemStreamEof;
    table.idle = MemStreamIdle;
    SetStreamFunctions(&table);

    switch (reader) {
    case 0:
        ReadAnimationCsv("anim.csv", kind, id);
        for (int row = 0; row < ANIM_ROWS; row++)
            FUZZ_CHECK(animFrames[kind][id][row][0].rowFrames >= 0 &&
                       animFrames[kind][id][row][0].rowFrames <= ANIM_FRAMES);
        break;
    case 1:
        ReadBlockAnimeCsv();
        for (int type = 0; type < BLOCK_TYPES; type++)
            FUZZ_CHECK(blockAnimFrames[type][0].rowFrames >= 0 && blockAnimFrames[type][0].rowFrames <= BLOCK_FRAMES);
        break;
    case 2:
        ReadSlotCsv();
        break;
    default:
        ReadAreaLayoutCsv(reader - 3);
        FUZZ_CHECK(blockCount >= 0 && blockCount <= BLOCK_TABLE_SIZE);
        AddPlacedBlock(16.0f, 16.0f);
        break;
    }
    return 0;
}
