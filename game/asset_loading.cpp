#include "game/asset_loading.h"

#include <stdio.h>
#include <string.h>

#include "audio/sound_services.h"
#include "game/game_state.h"
#include "game/play_state.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/graph_loading.h"
#include "runtime/timing.h"

PlacedGraph logoPieces[LOGO_PIECES];
PlacedGraph titleTexts[TITLE_TEXTS];
PlacedGraph titleItems[TITLE_ITEMS];
PlacedGraph mappingActionImages[MAPPING_ROWS];
PlacedGraph mappingButtonImages[MAPPING_ROWS];
PlacedGraph mappingKeyImages[MAPPING_ROWS];
OptionRow optionRows[OPTION_ROWS];
int titleSelectIcon;
int areaFaceImages[AREA_FACES];
int areaSelectImages[2];
int slotSettingImages[SLOT_SETTING_IMAGES];
int pauseImages[PAUSE_IMAGES];
PlacedGraph endTexts[END_TEXTS];
PlacedGraph endTriangles[END_TRIANGLES];
int rankImages[RANK_IMAGES];
int areaBackgroundImages[AREA_BACKGROUNDS];
int damageEffectImage;
int hitPointIcon;
int digitImages[DIGIT_IMAGES];
int areaClearMarks[2];
int stageSelectImage;
int titlePicture;
int blockImages[BLOCK_TYPES][BLOCK_FRAMES];

unsigned int colorWhite, colorBlack, colorRed, colorGreen, colorBlue, colorOrange, colorYellow;

// Longest formatted image or table path, with room to spare.
enum { PATH_MAX_CHARS = 96 };

// ---------------------------------------------------------------------------
// Tables

void ReadGameTables()
{
    ReadBlockAnimeCsv();
    ReadSlotCsv();
    ReadAnimationCsv("img/chara/player/Player0Anime.csv", 1, 0);
    ReadAnimationCsv("img/chara/player/Player1Anime.csv", 1, 1);
    static const char* const patterns[] = {
        "img/chara/enemy/Enemy%02dAnime.csv",
        "img/chara/Boss/Boss%02dAnime.csv",
        "img/effect/Effect%02dAnime.csv",
        "img/item/Item%02dAnime.csv",
        "img/systemeffect/systemeffect%02dAnime.csv",
    };
    char path[PATH_MAX_CHARS];
    for (int id = 0; id < ANIM_IDS; id++) {
        for (int k = 0; k < 5; k++) {
            snprintf(path, sizeof path, patterns[k], id);
            ReadAnimationCsv(path, 2 + k, id);
        }
    }
}

// ---------------------------------------------------------------------------
// Images

static void Place(PlacedGraph& graph, const char* path, int x, int y)
{
    graph.handle = LoadImageToGraph(path, 0);
    graph.x = x;
    graph.y = y;
}

// A missing image has no size: what was stored stays.
static void StoreSize(int handle, int* width, int* height)
{
    int w = 0, h = 0;
    if (GetGraphSizeOf(handle, &w, &h) == 0) {
        *width = w;
        *height = h;
    }
}

static int LoadNumbered(const char* pattern, int number)
{
    char path[PATH_MAX_CHARS];
    snprintf(path, sizeof path, pattern, number);
    return LoadImageToGraph(path, 0);
}

static void LoadTitleImages()
{
    char path[PATH_MAX_CHARS];
    int x = 310;
    for (int i = 0; i < LOGO_PIECES; i++) {
        PlacedGraph& piece = logoPieces[i];
        snprintf(path, sizeof path, "img/title/DORA/CampanyLogo_%02d.png", i + 1);
        Place(piece, path, x, 320);
        StoreSize(piece.handle, &piece.width, &piece.height);
        x = piece.x + piece.width;
    }

    static const int textX[TITLE_TEXTS] = {93, 177, 272, 120};
    static const int textY[TITLE_TEXTS] = {35, 65, 62, 161};
    for (int i = 0; i < TITLE_TEXTS; i++) {
        snprintf(path, sizeof path, "img/title/TitleText%d.png", i);
        Place(titleTexts[i], path, textX[i], textY[i]);
    }
    for (int i = 0; i < TITLE_ITEMS; i++) {
        snprintf(path, sizeof path, "img/title/TitleItem%d.png", i);
        Place(titleItems[i], path, 682 + 64 * i, 422 + 48 * i);
    }

    // Rows 1, 2, 3, 8, 9 and 10 are on the page; the others lie above it.
    static const int mappingY[MAPPING_ROWS] = {-100, 160, 200, 240, -100, -100, -100, -100, 280, 320, 360};
    for (int i = 0; i < MAPPING_ROWS; i++) {
        snprintf(path, sizeof path, "img/title/config/ButtonAction%d.png", i);
        Place(mappingActionImages[i], path, 75, mappingY[i]);
        snprintf(path, sizeof path, "img/title/config/Button%d.png", i + 1);
        Place(mappingButtonImages[i], path, 400, mappingY[i]);
        snprintf(path, sizeof path, "img/title/config/Key%d.png", i + 1);
        Place(mappingKeyImages[i], path, 642, 160 + 40 * i);
    }

    static const char* const labels[5] = {
        "Change Window Mode", "Set BGM Volume", "Set Sound Volume", "Set Player's Life ", "Exit",
    };
    for (int i = 0; i < 5; i++) {
        optionRows[i].x = 75;
        optionRows[i].y = 160 + 40 * i;
        optionRows[i].label = labels[i];
    }
    optionRows[0].values[0] = "Window";
    optionRows[0].values[1] = "FullScreen";
    optionRows[3].values[0] = "3";
    optionRows[3].values[1] = "5";
    optionRows[3].values[2] = "7";

    titleSelectIcon = LoadImageToGraph("img/title/TitleSelectIcon.tga", 0);

    // The faces run up to the first missing number; the rest stay empty.
    int face = 0;
    for (; face < AREA_FACES; face++) {
        areaFaceImages[face] = LoadNumbered("img/title/Erea/erea%dface.bmp", face);
        if (areaFaceImages[face] == -1)
            break;
    }
    for (face++; face < AREA_FACES; face++)
        areaFaceImages[face] = -1;
    areaSelectImages[0] = LoadImageToGraph("img/title/Erea/EreaSelect00.bmp", 0);
    areaSelectImages[1] = LoadImageToGraph("img/title/Erea/EreaSelect01.bmp", 0);
}

static void LoadSlotImages()
{
    static const char* const settingPaths[SLOT_SETTING_IMAGES] = {
        "img/slotsetting/SoltSettingText00.png", "img/slotsetting/Cursol00.png",
        "img/slotsetting/Cursol01.png",          "img/slotsetting/OK00.png",
        "img/slotsetting/OK01.png",              "img/slotsetting/Cursol02.png",
        "img/slotsetting/SoltSettingText01.png",
    };
    for (int i = 0; i < SLOT_SETTING_IMAGES; i++)
        slotSettingImages[i] = LoadImageToGraph(settingPaths[i], 0);

    char path[PATH_MAX_CHARS];
    for (int row = 0; row < SLOT_ROWS; row++) {
        for (int option = 0; option < SLOT_PICTURE_OPTIONS; option++) {
            SlotEntry& entry = slotEntries[row][option][0];
            snprintf(path, sizeof path, "img/slotsetting/Slot/Slot%02d_%02d_00.bmp", row, option);
            entry.pictureUnlit = LoadImageToGraph(path, 0);
            snprintf(path, sizeof path, "img/slotsetting/Slot/Slot%02d_%02d_01.bmp", row, option);
            entry.pictureLit = LoadImageToGraph(path, 0);
            StoreSize(entry.pictureLit, &entry.pictureWidth, &entry.pictureHeight);
        }
    }
}

static void LoadPlayImages()
{
    pauseImages[0] = LoadImageToGraph("img/pause/PauseScreen.png", 0);
    for (int i = 1; i < PAUSE_IMAGES; i++)
        pauseImages[i] = LoadNumbered("img/pause/PauseScreenText%d.png", i);

    const int endX[END_TEXTS] = {(screenWidth - 629) / 2, (screenWidth - 541) / 2, screenWidth - 300, 778, 243};
    const int endY[END_TEXTS] = {160, 160, 480, 420, 420};
    char path[PATH_MAX_CHARS];
    for (int i = 0; i < END_TEXTS; i++) {
        snprintf(path, sizeof path, "img/end/EndText%d.bmp", i);
        Place(endTexts[i], path, endX[i], endY[i]);
    }
    for (int i = 0; i < END_TRIANGLES; i++) {
        snprintf(path, sizeof path, "img/end/EndTri%d.png", i);
        Place(endTriangles[i], path, 897, 268);
    }
    for (int i = 0; i < RANK_IMAGES; i++)
        rankImages[i] = LoadNumbered("img/end/Rank%d.bmp", i);
    for (int i = 0; i < AREA_BACKGROUNDS; i++)
        areaBackgroundImages[i] = LoadNumbered("img/bg/EreaBG%d.png", i);

    damageEffectImage = LoadImageToGraph("img/DamageEffect.bmp", 0);
    hitPointIcon = LoadImageToGraph("img/Tri.tga", 0);
    digitImages[0] = LoadImageToGraph("img/etc/NumberPeriod.bmp", 0);
    for (int i = 0; i < 10; i++)
        digitImages[1 + i] = LoadNumbered("img/etc/Number%d.bmp", i);
    areaClearMarks[0] = LoadImageToGraph("img/etc/EreaClear0.bmp", 0);
    areaClearMarks[1] = LoadImageToGraph("img/etc/EreaClear1.bmp", 0);
    stageSelectImage = LoadImageToGraph("img/etc/StageSelect.bmp", 0);
    titlePicture = LoadImageToGraph("img/title/player00_02_00.bmp", 0);
}

static int FramesOf(int rowFrames, int limit)
{
    return rowFrames < 0 ? 0 : rowFrames > limit ? limit : rowFrames;
}

static void LoadBlockImages()
{
    char path[PATH_MAX_CHARS];
    for (int type = 0; type < BLOCK_TYPES; type++) {
        int frames = FramesOf(blockAnimFrames[type][0].rowFrames, BLOCK_FRAMES);
        for (int frame = 0; frame < frames; frame++) {
            snprintf(path, sizeof path, "img/block/Block%02d_%02d.bmp", type, frame);
            blockImages[type][frame] = LoadImageToGraph(path, 0);
        }
    }
    // Sizes go only to the types defined one after the other from type 0.
    for (int type = 0; type < BLOCK_TYPES; type++) {
        BlockAnimFrame& first = blockAnimFrames[type][0];
        if (first.ticks == 0)
            break;
        StoreSize(blockImages[type][0], &first.imageWidth, &first.imageHeight);
    }
}

static void LoadActorImages()
{
    static const char* const patterns[ANIM_KINDS] = {
        nullptr,
        "img/chara/player/player%02d_%02d_%02d.bmp",
        "img/chara/enemy/enemy%02d_%02d_%02d.bmp",
        "img/chara/boss/boss%02d_%02d_%02d.bmp",
        "img/effect/effect%02d_%02d_%02d.bmp",
        "img/item/item%02d_%02d_%02d.bmp",
        "img/systemeffect/systemeffect%02d_%02d_%02d.bmp",
    };
    char path[PATH_MAX_CHARS];
    for (int id = 0; id < ANIM_IDS; id++) {
        for (int row = 0; row < ANIM_ROWS; row++) {
            for (int kind = 1; kind < ANIM_KINDS; kind++) {
                AnimFrameRecord* frames = animFrames[kind][id][row];
                int count = FramesOf(frames[0].rowFrames, ANIM_FRAMES);
                for (int frame = 0; frame < count; frame++) {
                    AnimFrameRecord& f = frames[frame];
                    snprintf(path, sizeof path, patterns[kind], id, row, frame);
                    f.imageHandle = LoadImageToGraph(path, 0);
                    StoreSize(f.imageHandle, &f.imageWidth, &f.imageHeight);
                }
            }
        }
    }
}

void LoadGameImages()
{
    // Pure green is the transparent colour of every image.
    SetTransColorRgb(0, 255, 0);
    LoadTitleImages();
    LoadSlotImages();
    LoadPlayImages();
    LoadBlockImages();
    LoadActorImages();
}

// ---------------------------------------------------------------------------
// Colours, constants and the start-up load

void MakeGameColors()
{
    colorWhite = ColorFromRGB(255, 255, 255);
    colorBlack = ColorFromRGB(0, 0, 0);
    colorRed = ColorFromRGB(255, 5, 5);
    colorGreen = ColorFromRGB(5, 255, 5);
    colorBlue = ColorFromRGB(5, 5, 255);
    colorOrange = ColorFromRGB(200, 128, 5);
    colorYellow = ColorFromRGB(255, 255, 5);
}

void SetGameConstants()
{
    gravityStep = 0.5f;
    zonePush = 6;
    slotBarX = 20;
    slotBarY = 694;
    playerLevel = 1;
}

void SetStartingSlotFlags()
{
    for (int row = 0; row < 4; row++) {
        slotEntries[row][0][0].chosen = 1;
        slotEntries[row][0][0].available = 1;
    }
    slotEntries[0][0][1].available = 1;
}

void LoadGameData()
{
    ReadGameTables();
    LoadGameImages();
    MakeGameColors();
    SetGameConstants();
    SetStartingSlotFlags();
}

// ---------------------------------------------------------------------------
// Sounds

void LoadGameSounds()
{
    if (bgmHandle[0] != 0) {
        WaitMilliseconds(1200);
        return;
    }
    char path[PATH_MAX_CHARS];
    for (int i = 0; i < BGM_COUNT; i++) {
        snprintf(path, sizeof path, "sound/bgm%02d.mp3", i);
        bgmHandle[i] = LoadSoundFile(path, 3, -1);
        SetSoundVolume(bgmVolume, bgmHandle[i]);
    }
    for (int i = 0; i < SE_COUNT; i++) {
        snprintf(path, sizeof path, "sound/se%02d.mp3", i);
        seHandle[i] = LoadSoundFile(path, 3, -1);
        SetSoundVolume(seVolume, seHandle[i]);
    }
}

void StopAllBgm()
{
    for (int handle : bgmHandle)
        StopSoundHandle(handle);
}

void ResetAssetTables()
{
    memset(logoPieces, 0, sizeof logoPieces);
    memset(titleTexts, 0, sizeof titleTexts);
    memset(titleItems, 0, sizeof titleItems);
    memset(mappingActionImages, 0, sizeof mappingActionImages);
    memset(mappingButtonImages, 0, sizeof mappingButtonImages);
    memset(mappingKeyImages, 0, sizeof mappingKeyImages);
    memset(optionRows, 0, sizeof optionRows);
    titleSelectIcon = 0;
    memset(areaFaceImages, 0, sizeof areaFaceImages);
    memset(areaSelectImages, 0, sizeof areaSelectImages);
    memset(slotSettingImages, 0, sizeof slotSettingImages);
    memset(pauseImages, 0, sizeof pauseImages);
    memset(endTexts, 0, sizeof endTexts);
    memset(endTriangles, 0, sizeof endTriangles);
    memset(rankImages, 0, sizeof rankImages);
    memset(areaBackgroundImages, 0, sizeof areaBackgroundImages);
    damageEffectImage = hitPointIcon = 0;
    memset(digitImages, 0, sizeof digitImages);
    memset(areaClearMarks, 0, sizeof areaClearMarks);
    stageSelectImage = titlePicture = 0;
    memset(blockImages, 0, sizeof blockImages);
    colorWhite = colorBlack = colorRed = colorGreen = colorBlue = colorOrange = colorYellow = 0;
}
