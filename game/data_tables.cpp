#include "game/data_tables.h"

#include <float.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "game/game_state.h"
#include "game/play_state.h"
#include "runtime/file/stream.h"
#include "runtime/helpers.h"
#include "runtime/screen_print.h"

AnimFrameRecord animFrames[ANIM_KINDS][ANIM_IDS][ANIM_ROWS][ANIM_FRAMES];
BlockAnimFrame blockAnimFrames[BLOCK_TYPES][BLOCK_FRAMES];
SlotEntry slotEntries[SLOT_ROWS][SLOT_OPTIONS][SLOT_LEVELS];
BlockRecord blocks[BLOCK_TABLE_SIZE];
int blockCount = BLOCK_TABLE_SIZE;
EnemySpawnEntry spawnList[SPAWN_LIST_SIZE];
ItemPlacement itemList[ITEM_LIST_SIZE];

// ---------------------------------------------------------------------------
// Reading the files: header lines, then fields ended by a comma or a line
// feed, at most CSV_FIELD_MAX bytes each. A slash begins a comment that runs
// to the end of its line. The end of the data (or a byte 0xFF, which the
// byte reader cannot tell from it) ends the reading; a last line without its
// line feed still ends its field.

namespace {

enum CsvEvent { CSV_FIELD, CSV_COMMENT, CSV_END };

struct CsvFile {
    StreamHandle handle;
    int ended;
    int midLine;   // bytes of the current line have been read
    char field[CSV_FIELD_MAX + 1];
};

void SkipLine(CsvFile& file)
{
    for (;;) {
        int c = ReadStreamByte(file.handle);
        if (c == -1) {
            file.ended = 1;
            return;
        }
        if (c == '\n')
            return;
    }
}

int OpenCsv(CsvFile& file, const char* path, int headerLines)
{
    file.handle = OpenFileStream(path, 0);
    if (file.handle == 0)
        return -1;
    file.ended = 0;
    file.midLine = 0;
    file.field[0] = 0;
    for (int i = 0; i < headerLines && !file.ended; i++)
        SkipLine(file);
    return 0;
}

void CloseCsv(CsvFile& file)
{
    FileStreamClose(file.handle);
}

CsvEvent NextCsv(CsvFile& file)
{
    if (file.ended)
        return CSV_END;
    int n = 0;
    for (;;) {
        int c = ReadStreamByte(file.handle);
        if (c == -1) {
            file.ended = 1;
            if (!file.midLine)
                return CSV_END;
            break;
        }
        if (c == '\n') {
            file.midLine = 0;
            break;
        }
        file.midLine = 1;
        if (c == ',')
            break;
        if (c == '/') {
            SkipLine(file);
            file.midLine = 0;
            return CSV_COMMENT;
        }
        file.field[n++] = (char)c;
        if (n == CSV_FIELD_MAX)
            break;
    }
    file.field[n] = 0;
    return CSV_FIELD;
}

bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Decimal with optional sign and leading white space, up to the first other
// character; 0 without digits. Values beyond 32 bits saturate.
int FieldInt(const char* text)
{
    while (IsSpace(*text))
        text++;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        text++;
    long long value = 0;
    while (*text >= '0' && *text <= '9') {
        if (value <= 0x80000000LL)
            value = value * 10 + (*text - '0');
        text++;
    }
    if (negative)
        value = -value;
    if (value > 0x7FFFFFFFLL)
        return 0x7FFFFFFF;
    if (value < -0x80000000LL)
        return (int)(-0x7FFFFFFF - 1);
    return (int)value;
}

// A decimal floating-point number read the same way: sign, digits, a point
// and digits, an exponent; kept finite.
float FieldFloat(const char* text)
{
    while (IsSpace(*text))
        text++;
    char number[CSV_FIELD_MAX + 1];
    int n = 0;
    const char* p = text;
    if (*p == '-' || *p == '+')
        number[n++] = *p++;
    int digits = 0;
    while (*p >= '0' && *p <= '9') {
        number[n++] = *p++;
        digits++;
    }
    if (*p == '.') {
        number[n++] = *p++;
        while (*p >= '0' && *p <= '9') {
            number[n++] = *p++;
            digits++;
        }
    }
    if (digits == 0)
        return 0.0f;
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        if (*q == '-' || *q == '+')
            q++;
        if (*q >= '0' && *q <= '9') {
            while (p < q)
                number[n++] = *p++;
            while (*p >= '0' && *p <= '9')
                number[n++] = *p++;
        }
    }
    number[n] = 0;
    double value = strtod(number, nullptr);
    if (value > FLT_MAX)
        return FLT_MAX;
    if (value < -FLT_MAX)
        return -FLT_MAX;
    return (float)value;
}

// A number that the play rules compute with, clamped to -limit..limit.
int FieldIntWithin(const char* text, int limit)
{
    return ClampInt(FieldInt(text), -limit, limit);
}

float FieldFloatWithin(const char* text, int limit)
{
    float value = FieldFloat(text);
    return value < (float)-limit ? (float)-limit : value > (float)limit ? (float)limit : value;
}

} // namespace

// ---------------------------------------------------------------------------
// Animation files: 19 columns, one frame a line; a comment starts the next row.

void ReadAnimationCsv(const char* path, int kind, int id)
{
    if (!path || kind < 0 || kind >= ANIM_KINDS || id < 0 || id >= ANIM_IDS)
        return;
    CsvFile file;
    if (OpenCsv(file, path, 2) != 0)
        return;
    AnimFrameRecord (*set)[ANIM_FRAMES] = animFrames[kind][id];
    memset(set, 0, sizeof animFrames[kind][id]);

    int row = 0, frame = 0, column = 0;
    for (;;) {
        CsvEvent event = NextCsv(file);
        if (event == CSV_END)
            break;
        if (event == CSV_COMMENT) {
            if (row < ANIM_ROWS)
                row++;
            frame = 0;
            continue;
        }
        bool stored = row < ANIM_ROWS && frame < ANIM_FRAMES;
        if (stored) {
            AnimFrameRecord& r = set[row][frame];
            switch (column) {
            case 2: r.ticks = FieldInt(file.field); break;
            case 3: r.offsetX = FieldIntWithin(file.field, TABLE_OFFSET_LIMIT); break;
            case 4: r.offsetY = FieldIntWithin(file.field, TABLE_OFFSET_LIMIT); break;
            case 5: r.width = FieldIntWithin(file.field, TABLE_SIZE_LIMIT); break;
            case 6: r.height = FieldIntWithin(file.field, TABLE_SIZE_LIMIT); break;
            case 7: r.moveX = FieldIntWithin(file.field, TABLE_SPEED_LIMIT); break;
            case 8: r.moveY = FieldIntWithin(file.field, TABLE_SPEED_LIMIT); break;
            case 9: r.hitPoints = FieldIntWithin(file.field, TABLE_HIT_POINTS_LIMIT); break;
            case 10: r.hurtsPlayer = FieldInt(file.field); break;
            case 11: r.hittable = FieldInt(file.field); break;
            case 12: r.gravityFactor = FieldFloat(file.field); break;
            case 13: r.solid = FieldInt(file.field); break;
            default: break;
            }
        }
        if (++column == 19) {
            column = 0;
            // The count covers only the frames kept, so that loaders and the
            // drawing never step past the row.
            if (stored)
                set[row][0].rowFrames++;
            if (frame < ANIM_FRAMES)
                frame++;
        }
    }
    CloseCsv(file);
}

// ---------------------------------------------------------------------------
// Block animation: 7 columns, one frame a line; a comment starts the next type.

void ReadBlockAnimeCsv()
{
    CsvFile file;
    if (OpenCsv(file, "img/Block/BlockAnime.csv", 2) != 0) {
        ScreenPrintf("read error\n");
        return;
    }
    memset(blockAnimFrames, 0, sizeof blockAnimFrames);

    int type = 0, frame = 0, column = 0;
    for (;;) {
        CsvEvent event = NextCsv(file);
        if (event == CSV_END)
            break;
        if (event == CSV_COMMENT) {
            if (type < BLOCK_TYPES)
                type++;
            frame = 0;
            continue;
        }
        bool stored = type < BLOCK_TYPES && frame < BLOCK_FRAMES;
        if (stored) {
            BlockAnimFrame& f = blockAnimFrames[type][frame];
            switch (column) {
            case 2: f.ticks = FieldInt(file.field); break;
            case 3: f.offsetX = FieldIntWithin(file.field, TABLE_OFFSET_LIMIT); break;
            case 4: f.offsetY = FieldIntWithin(file.field, TABLE_OFFSET_LIMIT); break;
            case 6: f.solid = FieldInt(file.field); break;
            default: break;
            }
        }
        if (++column == 7) {
            column = 0;
            if (stored)
                blockAnimFrames[type][0].rowFrames++;
            if (frame < BLOCK_FRAMES)
                frame++;
        }
    }
    CloseCsv(file);
}

// ---------------------------------------------------------------------------
// Slot table: row, option, level, cost, name, and an ignored column.

void ReadSlotCsv()
{
    CsvFile file;
    if (OpenCsv(file, "img/slotsetting/Slot/Slot.csv", 2) != 0) {
        ScreenPrintf("read error\n");
        return;
    }
    int row = 0, option = 0, level = 0, column = 0;
    for (;;) {
        CsvEvent event = NextCsv(file);
        if (event == CSV_END)
            break;
        if (event == CSV_COMMENT)
            continue;
        bool valid = row >= 0 && row < SLOT_ROWS && option >= 0 && option < SLOT_OPTIONS &&
                     level >= 0 && level < SLOT_LEVELS;
        switch (column) {
        case 0: row = FieldInt(file.field); break;
        case 1: option = FieldInt(file.field); break;
        case 2: level = FieldInt(file.field); break;
        case 3:
            if (valid)
                slotEntries[row][option][level].cost = FieldIntWithin(file.field, TABLE_COST_LIMIT);
            break;
        case 4:
            if (valid)
                CopyTextMax(slotEntries[row][option][level].name, file.field, CSV_FIELD_MAX);
            break;
        case 5:
            // The next level costs the same until a line of its own says otherwise.
            if (valid && level + 1 < SLOT_LEVELS)
                slotEntries[row][option][level + 1].cost = slotEntries[row][option][level].cost;
            break;
        }
        if (++column == 6)
            column = 0;
    }
    CloseCsv(file);
}

// ---------------------------------------------------------------------------
// Area layouts: three header lines; one record a line; a comment skips one
// record index.

static void ReadBlockLayout(CsvFile& file)
{
    int index = 0, column = 0, lastWithX = -1;
    for (;;) {
        CsvEvent event = NextCsv(file);
        if (event == CSV_END)
            break;
        if (event == CSV_FIELD) {
            if (index < BLOCK_TABLE_SIZE) {
                BlockRecord& b = blocks[index];
                switch (column) {
                case 0: b.blockX1 = FieldFloat(file.field) - scrollX; break;
                case 1: b.blockY1 = FieldFloat(file.field); break;
                case 2: b.blockType = FieldInt(file.field); break;
                case 3: b.widthCells = FieldIntWithin(file.field, TABLE_SIZE_LIMIT); break;
                case 4: b.heightCells = FieldIntWithin(file.field, TABLE_SIZE_LIMIT); break;
                case 8: b.beltSpeed = FieldFloatWithin(file.field, TABLE_SPEED_LIMIT); break;
                default: break;
                }
            }
            if (++column < 10)
                continue;
        }
        if (index < BLOCK_TABLE_SIZE) {
            if (blocks[index].blockX1 != 0.0f)
                lastWithX = index;
            index++;
        }
        column = 0;
    }
    // A record cut short by the end of the file still counts.
    if (column > 0 && index < BLOCK_TABLE_SIZE && blocks[index].blockX1 != 0.0f)
        lastWithX = index;

    blockCount = lastWithX + 1;
    for (int i = 0; i < blockCount; i++) {
        BlockRecord& b = blocks[i];
        // A type outside the animation table is never drawn or collided with.
        if (b.blockType < 0 || b.blockType >= BLOCK_TYPES)
            b.blockType = 0;
        else if (b.blockX1 != 0.0f || b.blockY1 != 0.0f) {
            b.blockX2 = b.blockX1 + 8.0f * (float)b.widthCells;
            b.blockY2 = b.blockY1 + 8.0f * (float)b.heightCells;
            b.active = 1;
            b.solid = blockAnimFrames[b.blockType][0].solid;
            continue;
        }
        b.active = 0;
        b.solid = 0;
    }
}

static void FinishSpawnEntry(EnemySpawnEntry& e)
{
    // An enemy id outside the animation table leaves the entry empty.
    if (e.subtype < 0 || e.subtype >= ANIM_IDS)
        e.subtype = 0;
}

static void ReadEnemyLayout(CsvFile& file)
{
    int index = 0, column = 0;
    for (;;) {
        CsvEvent event = NextCsv(file);
        if (event == CSV_END)
            break;
        if (event == CSV_FIELD) {
            if (index < SPAWN_LIST_SIZE) {
                EnemySpawnEntry& e = spawnList[index];
                int v = FieldInt(file.field);
                switch (column) {
                case 0: e.spawnX = v; break;
                case 1: e.spawnY = v; break;
                case 2: e.subtype = v; break;
                case 3: e.facing = ClampInt(v, -TABLE_FACING_LIMIT, TABLE_FACING_LIMIT); break;
                case 4: e.dropCount = ClampInt(v, 0, TABLE_DROP_COUNT_MAX); break;
                case 5: e.group = v; break;
                case 6: e.rearm = v; break;
                }
            }
            if (++column < 7)
                continue;
        }
        if (index < SPAWN_LIST_SIZE) {
            FinishSpawnEntry(spawnList[index]);
            index++;
        }
        column = 0;
    }
    if (column > 0 && index < SPAWN_LIST_SIZE)
        FinishSpawnEntry(spawnList[index]);
}

static bool IsUsableItem(const ItemPlacement& item)
{
    return item.subtype >= 0 && item.subtype < ANIM_IDS && item.flagIndex >= 0 &&
           item.flagIndex < ITEM_FLAG_COUNT;
}

static void ReadItemLayout(CsvFile& file)
{
    // Records are gathered apart and kept only when their item id and flag
    // index fit the tables; a dropped record takes no place in the list.
    int index = 0, column = 0;
    ItemPlacement record = {};
    for (;;) {
        CsvEvent event = NextCsv(file);
        if (event == CSV_END)
            break;
        if (event == CSV_FIELD) {
            if (column == 0 && index < ITEM_LIST_SIZE)
                record = itemList[index];
            int v = FieldInt(file.field);
            switch (column) {
            case 0: record.itemX = v; break;
            case 1: record.itemY = v; break;
            case 2: record.subtype = v; break;
            case 3: record.itemFacing = ClampInt(v, -TABLE_FACING_LIMIT, TABLE_FACING_LIMIT); break;
            case 4: record.flagIndex = v; break;
            default: break;
            }
            if (++column < 7)
                continue;
            if (index < ITEM_LIST_SIZE && IsUsableItem(record))
                itemList[index++] = record;
            column = 0;
            continue;
        }
        // A comment keeps the fields read so far and skips to the next record.
        // One that leaves no record takes no place either: the entry would
        // still hold what an earlier area's list put there.
        if (index < ITEM_LIST_SIZE && column > 0 && IsUsableItem(record))
            itemList[index++] = record;
        column = 0;
    }
    // A last record cut short by the end of the file still counts.
    if (index < ITEM_LIST_SIZE && column > 0 && IsUsableItem(record))
        itemList[index++] = record;
    // The list ends with this file's records: entries left from an area with
    // a longer list must not be placed here.
    if (index < ITEM_LIST_SIZE)
        itemList[index].itemX = 0;
}

void ReadAreaLayoutCsv(int fileType)
{
    static const char* const patterns[3] = {
        "img/block/BlockPosition%02d.csv",
        "img/chara/enemy/EnemyPosition%02d.csv",
        "img/item/ItemPosition%02d.csv",
    };
    if (fileType < 0 || fileType > 2)
        return;
    char path[64];
    snprintf(path, sizeof path, patterns[fileType], areaIndex);
    CsvFile file;
    if (OpenCsv(file, path, 3) != 0) {
        ScreenPrintf("read error\n");
        return;
    }
    if (fileType == LAYOUT_BLOCKS)
        ReadBlockLayout(file);
    else if (fileType == LAYOUT_ENEMIES)
        ReadEnemyLayout(file);
    else
        ReadItemLayout(file);
    CloseCsv(file);
}

void AddPlacedBlock(float x, float y)
{
    for (int i = 0; i < blockCount && i < BLOCK_TABLE_SIZE; i++) {
        BlockRecord& b = blocks[i];
        if (b.active || b.solid)
            continue;
        b.blockX1 = x;
        b.blockY1 = y;
        b.blockX2 = x + 32.0f;
        b.blockY2 = y + 32.0f;
        b.blockType = 14;
        // Its size in cells too, so that the field's scroll carries it.
        b.widthCells = 4;
        b.heightCells = 4;
        b.beltSpeed = 0.0f;
        b.active = 1;
        b.solid = 1;
        return;
    }
}
