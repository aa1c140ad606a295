// The game's data tables: animations, block animation, power-up slots, and
// per area the block layout, the enemy spawn list and the item list. All are
// fixed global arrays filled from the comma-separated files under "img/".
#pragma once

enum {
    ANIM_KINDS = 7,
    ANIM_IDS = 64,
    ANIM_ROWS = 64,
    ANIM_FRAMES = 16,
    BLOCK_TYPES = 128,
    BLOCK_FRAMES = 16,
    SLOT_ROWS = 6,
    SLOT_OPTIONS = 16,
    SLOT_LEVELS = 16,
    BLOCK_TABLE_SIZE = 8192,
    SPAWN_LIST_SIZE = 1024,
    ITEM_LIST_SIZE = 256,
    // Longest field of a table file; a longer run of bytes is split.
    CSV_FIELD_MAX = 64,
};

// Bounds the readers put on the numbers that the play rules then compute with
// in 32-bit integers: a spawn's speed is (1 - 2 x facing) x speed, a jump
// negates a speed, a conveyor's speed is added to the walking speed, the slot
// bar sums the costs of its rows and spends that sum at each install, kills
// lower hit points by up to 4999. Each value is clamped to -limit..limit, far
// above what any real table needs and far enough inside the integer range
// that none of those rules can overflow.
enum {
    TABLE_FACING_LIMIT = 1000,          // spawn-list and item-list facing (tables use 0 and 1)
    TABLE_SPEED_LIMIT = 100000,         // animation speeds (columns 7, 8); block belt speed
    TABLE_SIZE_LIMIT = 100000,          // animation box width and height; block size in cells
    TABLE_OFFSET_LIMIT = 100000,        // draw offsets of animation and block frames (subtracted from positions)
    TABLE_HIT_POINTS_LIMIT = 1000000,   // animation hit points (column 9)
    TABLE_COST_LIMIT = 1000000,         // slot cost
    // An enemy's drop count is the number of spheres its kill spawns; more
    // than the actor pool holds can never appear, and a huge count would keep
    // the spawn loop going for minutes. Clamped to 0..TABLE_DROP_COUNT_MAX.
    TABLE_DROP_COUNT_MAX = 512,
};

struct AnimFrameRecord {
    int imageHandle;     // graph of the frame's image
    int ticks;           // column 2: frames the image stays
    int offsetX;         // column 3
    int offsetY;         // column 4
    int rowFrames;       // frame 0 of a row: frames read for the row
    int imageWidth;
    int imageHeight;
    int width;           // column 5: box size
    int height;          // column 6
    int hitPoints;       // column 9
    int moveX;           // column 7: horizontal speed
    int moveY;           // column 8: initial vertical speed
    int hurtsPlayer;     // column 10
    int hittable;        // column 11 (read on frame 0 of the row)
    int solid;           // column 13 (enemies: row 0 frame 0)
    float gravityFactor; // column 12
};

struct BlockAnimFrame {
    int ticks;           // column 2
    int offsetX;         // column 3
    int offsetY;         // column 4
    int solid;           // column 6 (frame 0 is copied into every block of the type)
    int rowFrames;       // frame 0: frames read for the type
    int imageWidth;
    int imageHeight;
};

struct SlotEntry {
    char name[CSV_FIELD_MAX + 1]; // column 4
    int chosen;          // level 0 of an option: the option is in use for the row
    int pictureLit;      // "_01" picture
    int pictureUnlit;    // "_00" picture
    int pictureWidth;
    int pictureHeight;
    int cost;            // column 3
    int available;       // the level may be installed
};

struct BlockRecord {
    float blockX1, blockY1, blockX2, blockY2;  // screen coordinates
    float beltSpeed;     // column 8
    int widthCells;      // column 3 (8-pixel cells)
    int heightCells;     // column 4
    int blockType;       // column 2
    int active;
    int blockAnimTick;
    int blockAnimFrame;
    int beltAngle;       // degrees; mod 360 of 180 or more reverses the conveyor
    int solid;
};

struct EnemySpawnEntry {
    int spawnX, spawnY;  // world x, screen y
    int subtype;         // 0 = empty entry
    int listState;       // 0 waiting, 1 spawned, 2 dead
    int facing;
    int dropCount;       // spheres carried
    int group;           // 0 none; equal groups spawn together
    int rearm;           // 1 = waits again after its enemy dies
};

struct ItemPlacement {
    int itemX, itemY;    // world x, screen y; itemX 0 ends the list
    int subtype;
    int itemFacing;
    int flagIndex;       // index into the item flags
    int taken;           // picked up (kept across area restarts)
};

extern AnimFrameRecord animFrames[ANIM_KINDS][ANIM_IDS][ANIM_ROWS][ANIM_FRAMES];
extern BlockAnimFrame blockAnimFrames[BLOCK_TYPES][BLOCK_FRAMES];
extern SlotEntry slotEntries[SLOT_ROWS][SLOT_OPTIONS][SLOT_LEVELS];
extern BlockRecord blocks[BLOCK_TABLE_SIZE];
extern int blockCount;
extern EnemySpawnEntry spawnList[SPAWN_LIST_SIZE];
extern ItemPlacement itemList[ITEM_LIST_SIZE];

// Each reader reads its file through the library's file layer (loose or from
// the "img" archive). A missing file leaves the table as it was; every reader
// but the animation reader then prints "read error\n" as on-screen debug text.
// Indices that a file gives outside the tables are never used.

// Fills the frames of (kind, id); kind 0 to 6, id 0 to 63.
void ReadAnimationCsv(const char* path, int kind, int id);
// "img/Block/BlockAnime.csv"
void ReadBlockAnimeCsv();
// "img/slotsetting/Slot/Slot.csv"
void ReadSlotCsv();
// fileType 0 blocks, 1 enemies, 2 items of area `areaIndex`; block x are
// stored relative to `scrollX`, which the area start sets first.
enum { LAYOUT_BLOCKS = 0, LAYOUT_ENEMIES = 1, LAYOUT_ITEMS = 2 };
void ReadAreaLayoutCsv(int fileType);
// Turns the first unused entry below blockCount into a solid 32 x 32 block of
// type 14 at (x, y); nothing when there is none.
void AddPlacedBlock(float x, float y);
