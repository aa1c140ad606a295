// Start-up loading of the game's tables, images, colours and constants, and
// of its music and sound effects. Everything is loaded once into fixed
// tables; a missing image or sound leaves the handle -1, which draws or plays
// nothing.
#pragma once

#include "game/data_tables.h"

enum {
    LOGO_PIECES = 12,
    TITLE_TEXTS = 4,
    TITLE_ITEMS = 6,
    MAPPING_ROWS = 11,
    AREA_FACES = 16,
    SLOT_SETTING_IMAGES = 7,
    PAUSE_IMAGES = 10,
    END_TEXTS = 5,
    END_TRIANGLES = 5,
    RANK_IMAGES = 6,
    AREA_BACKGROUNDS = 5,
    DIGIT_IMAGES = 11,     // 0 the period, 1 to 10 the digits 0 to 9
    SLOT_PICTURE_OPTIONS = 6,
    OPTION_ROWS = 16,
    OPTION_VALUES = 16,
    BGM_COUNT = 16,
    SE_COUNT = 32,
};

// An image with the screen position its scene draws it at. Only the logo
// pieces keep their size.
struct PlacedGraph {
    int x, y;
    int handle;
    int width, height;
};

// A row of the title's options page: its position, label and value texts.
struct OptionRow {
    int x, y;
    const char* label;
    const char* values[OPTION_VALUES];
};

extern PlacedGraph logoPieces[LOGO_PIECES];
extern PlacedGraph titleTexts[TITLE_TEXTS];
extern PlacedGraph titleItems[TITLE_ITEMS];
// The mapping page's label column (x 75), button column (x 400) and key
// column (x 642); loaded with their rows' positions though the page draws
// texts.
extern PlacedGraph mappingActionImages[MAPPING_ROWS];
extern PlacedGraph mappingButtonImages[MAPPING_ROWS];
extern PlacedGraph mappingKeyImages[MAPPING_ROWS];
extern OptionRow optionRows[OPTION_ROWS];
extern int titleSelectIcon;
extern int areaFaceImages[AREA_FACES];
extern int areaSelectImages[2];
extern int slotSettingImages[SLOT_SETTING_IMAGES];
extern int pauseImages[PAUSE_IMAGES];       // 0 the overlay, 1 to 9 its texts
extern PlacedGraph endTexts[END_TEXTS];
extern PlacedGraph endTriangles[END_TRIANGLES];
extern int rankImages[RANK_IMAGES];
extern int areaBackgroundImages[AREA_BACKGROUNDS];
extern int damageEffectImage;
extern int hitPointIcon;
extern int digitImages[DIGIT_IMAGES];
extern int areaClearMarks[2];
extern int stageSelectImage;
extern int titlePicture;
// Block images by type and frame; their sizes go into the block animation.
extern int blockImages[BLOCK_TYPES][BLOCK_FRAMES];

// Colour values made once from red, green and blue.
extern unsigned int colorWhite, colorBlack, colorRed, colorGreen, colorBlue, colorOrange, colorYellow;

// The whole start-up load: tables, images, colours, then the constants and
// the starting slot flags.
void LoadGameData();
// The block animation, the slot table and every animation file.
void ReadGameTables();
// Every image of the tables above (again after a window-mode switch).
void LoadGameImages();
void MakeGameColors();
// Gravity step, zone push, slot-bar anchor and player level.
void SetGameConstants();
// Option 0 of rows 0 to 3 chosen; row 0 levels 0 and 1 and level 0 of rows
// 1 to 3 available.
void SetStartingSlotFlags();

// The music and effects, once; a later call waits 1200 ms instead.
void LoadGameSounds();
// Stops every music handle.
void StopAllBgm();

// Every table above back to its start value (zero).
void ResetAssetTables();
