#include "game/data_tables.h"

AnimFrameRecord animFrames[ANIM_KINDS][ANIM_IDS][ANIM_ROWS][ANIM_FRAMES];
BlockAnimFrame blockAnimFrames[BLOCK_TYPES][BLOCK_FRAMES];
SlotEntry slotEntries[SLOT_ROWS][SLOT_OPTIONS][SLOT_LEVELS];
BlockRecord blocks[BLOCK_TABLE_SIZE];
int blockCount = BLOCK_TABLE_SIZE;
EnemySpawnEntry spawnList[SPAWN_LIST_SIZE];
ItemPlacement itemList[ITEM_LIST_SIZE];

// Stand-ins until the tables are read.
void ReadAnimationCsv(const char*, int, int) {}
void ReadBlockAnimeCsv() {}
void ReadSlotCsv() {}
void ReadAreaLayoutCsv(int) {}
void AddPlacedBlock(float, float) {}
