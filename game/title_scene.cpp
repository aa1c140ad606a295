// Scene 1: the opening story, the main menu, the button mapping page, the
// options page and the sound test.
#include "audio/sound_services.h"
#include "game/action_input.h"
#include "game/actor_pool.h"
#include "game/asset_loading.h"
#include "game/data_tables.h"
#include "game/game_state.h"
#include "game/save_data.h"
#include "game/scene_state.h"
#include "game/scenes.h"
#include "graphics/draw_calls.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/font/default_font.h"
#include "graphics/graph_loading.h"
#include "graphics/shape_calls.h"
#include "runtime/library.h"
#include "runtime/screen_print.h"
#include "runtime/timing.h"

namespace {

enum {
    ACTION_SKIP = 0,
    ACTION_DECIDE = 1,
    ACTION_CANCEL = 2,
    ACTION_SHOT = 3,
    SE_DECIDE = 2,
    SE_CANCEL = 5,
    SE_MOVE = 9,
    BGM_OPENING = 8,
    BGM_TITLE = 7,
    BGM_AREA_SELECT = 9,
    INTRO_FRAMES = 2310,
    MENU_IDLE_FRAMES = 3000,
    BLINK_PERIOD = 60,
    REPEAT_AFTER = 20,
    MAPPING_DEFAULT_ROW = 9,
    MAPPING_EXIT_ROW = 10,
    OPTION_WINDOW_ROW = 0,
    OPTION_BGM_ROW = 1,
    OPTION_SE_ROW = 2,
    OPTION_LIFE_ROW = 3,
    OPTION_EXIT_ROW = 4,
    SOUND_TEST_EXIT_ROW = 10,
};

const char* const ActionLabels[MAPPING_ROWS] = {
    "None", "Install & Decide", "Jump & Cancel", "Shot", "None", "None",
    "None", "None", "Pause", "Default", "Exit",
};

const char* const SoundTestNames[11] = {
    "\"Beginning\"", "\"Opening\"", "\"Erea Select\"", "\"Mirabel's Field\"",
    "\"Frostine's Field\"", "\"Shizuka's Field\"", "\"Kaede's Field\"",
    "\"StarLancer's Field\"", "\"Theme Of Boss\"", "\"Ending\"", "Exit",
};
// The music of sound-test rows 0 to 9.
const int SoundTestMusic[10] = {8, 7, 9, 0, 1, 2, 3, 4, 5, 11};

bool Pressed(int counter) { return counter == 1; }
bool Action(int action) { return Pressed(actionHold[0][action]); }
// A press, or a hold past the repeat delay.
bool Repeating(int counter) { return counter == 1 || counter > REPEAT_AFTER; }

void PlaySe(int n) { PlaySoundHandle(seHandle[n], 1, 1); }
void LoopBgm(int n) { PlaySoundHandle(bgmHandle[n], 3, 1); }

int RowsOfPage(int page)
{
    return page == TITLE_MENU || page == TITLE_OPTIONS ? 5 : 11;
}

// The mapping page's rows: label and button columns share their y.
int MappingRowY(int row)
{
    return row >= 0 && row < MAPPING_ROWS ? mappingActionImages[row].y : 0;
}

void SkipIntro()
{
    titlePage = TITLE_MENU;
    introTimer = 0;
    StopSoundHandle(bgmHandle[BGM_OPENING]);
    LoopBgm(BGM_TITLE);
}

void EnterMenu(int cursor)
{
    titlePage = TITLE_MENU;
    titleCursor = cursor;
}

void BackToTitleMusic()
{
    StopAllBgm();
    LoopBgm(BGM_TITLE);
}

// ---------------------------------------------------------------------------
// Page timers and the cursor

void PrepareIntro()
{
    if (introTimer == 0) {
        for (int i = 0; i < MAPPING_ROWS; i++)
            mappingLabels[i] = ActionLabels[i];
        WriteButtonLabels();
    }
    if (introTimer == INTRO_FRAMES) {
        titlePage = TITLE_MENU;
        StopSoundHandle(bgmHandle[BGM_OPENING]);
        LoopBgm(BGM_TITLE);
    }
    introTimer++;
}

void PrepareMenu()
{
    if (menuIdle == 0 && idleVoiceReady == 1) {
        PlaySoundHandle(voiceHandle[3 + GetRandomUpTo(2)], 1, 1);
        idleVoiceReady = 0;
    }
    if (menuIdle == MENU_IDLE_FRAMES) {
        idleVoiceReady = 1;
        sceneNo = SCENE_LOGO;
        titlePage = TITLE_INTRO;
        menuIdle = introTimer = blinkCounter = titleCursor = 0;
        StopSoundHandle(bgmHandle[BGM_TITLE]);
    }
    menuIdle++;
}

void PlaceCursor()
{
    int rows = RowsOfPage(titlePage);
    if (titleCursor < 0)
        titleCursor = rows - 1;
    else if (titleCursor >= rows)
        titleCursor = 0;

    int x = 75, y = 0;
    switch (titlePage) {
    case TITLE_MENU:
        x = titleItems[titleCursor].x;
        y = titleItems[titleCursor].y;
        break;
    case TITLE_MAPPING:
        y = MappingRowY(titleCursor);
        break;
    case TITLE_OPTIONS:
        y = optionRows[titleCursor].y;
        break;
    default:
        y = 120 + 48 * titleCursor;
        break;
    }
    cursorX = x - 32;
    cursorY = y + (int)(GetDefaultFontSize() * 0.5);
}

// ---------------------------------------------------------------------------
// Input

// The mapping page's cursor walks the rows that are on the screen.
int MappingRowAbove(int row)
{
    switch (row) {
    case 1: return 10;
    case 2: return 1;
    case 3: return 2;
    case 8: return 3;
    case 9: return 8;
    case 10: return 9;
    default: return row;
    }
}

int MappingRowBelow(int row)
{
    switch (row) {
    case 1: return 2;
    case 2: return 3;
    case 3: return 8;
    case 8: return 9;
    case 9: return 10;
    case 10: return 1;
    default: return row;
    }
}

void MoveCursor(int page, int step)
{
    switch (page) {
    case TITLE_MENU:
    case TITLE_SOUND_TEST:
        titleCursor += step;
        PlaySe(SE_MOVE);
        blinkCounter = 0;
        break;
    case TITLE_MAPPING:
        titleCursor = step < 0 ? MappingRowAbove(titleCursor) : MappingRowBelow(titleCursor);
        PlaySe(SE_MOVE);
        break;
    case TITLE_OPTIONS:
        // Only the cursor moves here: no sound, and the blink runs on.
        if (!optionEditing)
            titleCursor += step;
        break;
    default:
        break;
    }
}

void ChangeVolume(int& volume, int step, int* handles, int count)
{
    volume = ClampInt(volume + step, 0, 100);
    for (int i = 0; i < count; i++)
        SetSoundVolume(volume, handles[i]);
}

void EditOption(int step)
{
    int counter = step < 0 ? holdLeft : holdRight;
    switch (titleCursor) {
    case OPTION_WINDOW_ROW:
        if (Pressed(counter)) {
            optionPending = (optionPending + 2 + step) % 2;
            PlaySe(SE_MOVE);
        }
        break;
    case OPTION_BGM_ROW:
        if (Repeating(counter))
            ChangeVolume(bgmVolume, step, bgmHandle, BGM_COUNT);
        break;
    case OPTION_SE_ROW:
        if (Repeating(counter)) {
            // Only the first 16 effects take the new volume at once.
            ChangeVolume(seVolume, step, seHandle, 16);
            PlaySe(1);
        }
        break;
    case OPTION_LIFE_ROW:
        if (Pressed(counter)) {
            optionPending = (optionPending + 3 + step) % 3;
            PlaySe(SE_MOVE);
        }
        break;
    default:
        break;
    }
}

// The options page's window-mode switch restarts graphics, which deletes
// every graph; everything is loaded again with new handles.
void SwitchWindowMode()
{
    int newMode = optionPending == 1 ? 0 : 1;
    PlaySe(SE_DECIDE);
    ChangeWindowMode(newMode);
    if (InitLibraryLocked() != 0 || SelectDrawTarget(DRAW_TARGET_BACK) != 0)
        ScreenPrintf("ERRORが発生しました。ゲームを再起動してください。");
    FreeAllGraphs();
    LoadGameImages();
    ReloadScenePictures();
    windowMode = newMode;
}

void DecideMenu()
{
    PlaySe(SE_DECIDE);
    switch (titleCursor) {
    case 0:
        sceneNo = SCENE_AREA_SELECT;
        SetKeepRunningInBackground(0);
        titleCursor = 0;
        StopSoundHandle(bgmHandle[BGM_TITLE]);
        LoopBgm(BGM_AREA_SELECT);
        break;
    case 1:
        titlePage = TITLE_MAPPING;
        titleCursor = 1;
        menuIdle = 0;
        break;
    case 2:
        titlePage = TITLE_OPTIONS;
        titleCursor = 0;
        menuIdle = 0;
        break;
    case 3:
        titlePage = TITLE_SOUND_TEST;
        titleCursor = 0;
        menuIdle = 0;
        break;
    case 4:
        EndLibraryLocked();
        break;
    default:
        break;
    }
}

void DecideMapping()
{
    if (titleCursor == MAPPING_DEFAULT_ROW) {
        ResetButtonMap();
        learnArmed = 0;
        PlaySe(SE_DECIDE);
    } else if (titleCursor == MAPPING_EXIT_ROW) {
        WriteSaveData();
        EnterMenu(1);
        learnArmed = 0;
        PlaySe(SE_DECIDE);
    }
}

void DecideOptions()
{
    if (!optionEditing) {
        PlaySe(SE_DECIDE);
        if (titleCursor == OPTION_EXIT_ROW) {
            EnterMenu(2);
            soundTestPlaying = 0;
        } else {
            optionEditing = 1;
        }
        return;
    }
    switch (titleCursor) {
    case OPTION_WINDOW_ROW:
        // Only a value other than the current mode switches.
        if ((optionPending == 1 && windowMode == 1) || (optionPending == 0 && windowMode == 0))
            SwitchWindowMode();
        break;
    case OPTION_BGM_ROW:
    case OPTION_SE_ROW:
        PlaySe(SE_DECIDE);
        optionEditing = 0;
        WriteSaveData();
        break;
    case OPTION_LIFE_ROW:
        PlaySe(SE_DECIDE);
        lifeSetting = optionPending;
        optionEditing = 0;
        WriteSaveData();
        optionPending = 0;
        break;
    default:
        break;
    }
}

void DecideSoundTest()
{
    PlaySe(SE_DECIDE);
    if (titleCursor == SOUND_TEST_EXIT_ROW) {
        if (soundTestPlaying == 1)
            BackToTitleMusic();
        EnterMenu(3);
        soundTestPlaying = 0;
    } else if (titleCursor >= 0 && titleCursor < SOUND_TEST_EXIT_ROW) {
        soundTestPlaying = 1;
        StopAllBgm();
        LoopBgm(SoundTestMusic[titleCursor]);
    }
}

void Decide(int page)
{
    switch (page) {
    case TITLE_INTRO: SkipIntro(); break;
    case TITLE_MENU: DecideMenu(); break;
    case TITLE_MAPPING: DecideMapping(); break;
    case TITLE_OPTIONS: DecideOptions(); break;
    case TITLE_SOUND_TEST: DecideSoundTest(); break;
    default: break;
    }
}

void Cancel(int page)
{
    switch (page) {
    case TITLE_INTRO:
        SkipIntro();
        break;
    case TITLE_OPTIONS:
        PlaySe(SE_CANCEL);
        if (optionEditing) {
            optionEditing = 0;
            WriteSaveData();
            optionPending = 0;
        } else {
            EnterMenu(2);
        }
        break;
    case TITLE_SOUND_TEST:
        PlaySe(SE_CANCEL);
        if (soundTestPlaying == 1)
            BackToTitleMusic();
        EnterMenu(3);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// Drawing

void DrawText(int x, int y, const char* text)
{
    DrawStringDefault(x, y, text, colorWhite, 0);
}

void DrawIntro()
{
    const int t = introTimer;
    const int demoX = screenWidth / 2 - 160;
    if (t < 1320)
        DrawGraphAt(demoX, 100, demoPicture, 0);
    if (t < 480) {
        DrawText(430, 400, "「ここ…どこ？　なんで、私ここにいるの？」");
    } else if (t < 960) {
        DrawText(350, 400, "「しかも…なにこの服？　巫女さんにしては、なんか派手な服ね…");
        DrawText(350, 450, "　ていうか、そもそも根本的な話として…」");
    } else if (t < 1320) {
        DrawText(520, 400, "「わたし…だれなの？」");
    } else if (t < 1800) {
        DrawText(400, 300, "ここがどこで、今がいつで、自分が何者かもわからない。");
        DrawText(400, 350, "そんな少女の冒険物語の始まりです。");
    } else if (t < 2024) {
        const AnimFrameRecord& f = AnimFrame(KIND_PLAYER, 0, 0, (t % 56) / 8);
        DrawGraphAt(screenWidth - 120, 500, f.imageHandle, 1);
    } else if (t < 2165) {
        const AnimFrameRecord& f = AnimFrame(KIND_PLAYER, 0, 5, (t % 24) / 4);
        DrawGraphAt(screenWidth + 4 * (1994 - t), 500, f.imageHandle, 1);
    } else {
        const double u = t - 2165;
        DrawGraphStretched((int)(596 - 0.1 * u - 4 * u), (int)(introFallY + 500 - 4 * u),
                           (int)(596 - 0.1 * u + 64), (int)(introFallY + 500 + 64), titlePicture, 1);
        introFallY = (float)(0.0725 * u * u - 10 * u);
    }
}

void DrawMenu()
{
    const int e = menuIdle < 40 ? menuIdle : 40;
    DrawGraphStretched(0, 0, 640, 640, titlePicture, 1);
    SelectBlendMode(1, 8 * e);
    DrawGraphAt(titleTexts[0].x, titleTexts[0].y + 40 - e, titleTexts[0].handle, 1);
    DrawGraphAt(titleTexts[1].x, titleTexts[1].y - 40 + e, titleTexts[1].handle, 1);
    DrawGraphAt(titleTexts[2].x + 40 - e, titleTexts[2].y, titleTexts[2].handle, 1);
    DrawGraphAt(titleTexts[3].x + 40 - e, titleTexts[3].y, titleTexts[3].handle, 1);
    for (int i = 0; i < 5; i++)
        DrawGraphAt(titleItems[i].x + 40 - e, titleItems[i].y, titleItems[i].handle, 1);
}

// The label of the button an action row has. Only buttons with an entry in
// the label table have a label: a stored or learned number past it (button 16
// can be learned) shows nothing rather than text from beyond the table.
const char* MappedButtonLabel(int row)
{
    int button = buttonMap[row].buttonOfAction;
    if (button < 0 || button >= BUTTON_MAP_SIZE)
        return "";
    return buttonMap[button].buttonLabel;
}

void DrawMapping()
{
    const int buttonX = mappingButtonImages[0].x;
    DrawStringDefault(buttonX - 2, MappingRowY(0) - 64, "PAD　　　　KEY", colorWhite, 1);
    for (int row = 0; row <= 8; row++)
        DrawFormatStringDefault(buttonX, MappingRowY(row), colorWhite, "%s", MappedButtonLabel(row));
    for (int row = 0; row < MAPPING_ROWS; row++)
        DrawText(75, MappingRowY(row), mappingLabels[row] ? mappingLabels[row] : "");
}

int ValueAlpha(int row, int value)
{
    return optionEditing && titleCursor == row && optionPending == value ? 255 : 128;
}

void DrawVolumeRow(int row, int volume)
{
    const OptionRow& r = optionRows[row];
    SelectBlendMode(1, optionEditing && titleCursor == row ? 255 : 128);
    DrawLineShape(r.x + 350, r.y + 5, r.x + 750, r.y + 5, colorWhite, 1);
    DrawCircleShape(r.x + 350 + 4 * volume, r.y + 5, 2, colorWhite, 1);
    DrawFormatStringDefault(r.x + 250, r.y, colorWhite, "%d%%", volume);
}

void DrawOptions()
{
    SelectBlendMode(1, optionEditing ? 127 : 255);
    for (int row = 0; row < 5; row++)
        DrawText(optionRows[row].x, optionRows[row].y, optionRows[row].label ? optionRows[row].label : "");
    SelectBlendMode(1, 255);
    const OptionRow& window = optionRows[OPTION_WINDOW_ROW];
    const OptionRow& life = optionRows[OPTION_LIFE_ROW];
    DrawFormatStringDefault(life.x + 250, life.y, colorRed, "%d", 2 * lifeSetting + 3);
    for (int j = 0; j < 2; j++) {
        SelectBlendMode(1, ValueAlpha(OPTION_WINDOW_ROW, j));
        DrawText(window.x + 350 + 120 * j, window.y, window.values[j] ? window.values[j] : "");
    }
    for (int j = 0; j < 3; j++) {
        SelectBlendMode(1, ValueAlpha(OPTION_LIFE_ROW, j));
        DrawText(window.x + 350 + 120 * j, life.y, life.values[j] ? life.values[j] : "");
    }
    DrawVolumeRow(OPTION_BGM_ROW, bgmVolume);
    DrawVolumeRow(OPTION_SE_ROW, seVolume);
}

void DrawSoundTest()
{
    for (int row = 0; row < 11; row++)
        DrawText(75, 120 + 48 * row, SoundTestNames[row]);
}

void DrawCursor()
{
    const int b = (int)(blinkCounter * 0.5);
    SelectBlendMode(1, (51 - blinkCounter) * 5);
    DrawGraphStretched(cursorX - b, cursorY - b, cursorX + b, cursorY + b, titleSelectIcon, 1);
    SelectBlendMode(1, 255);
}

} // namespace

void ReloadScenePictures()
{
    if (logoBarHandle != 0)
        logoBarHandle = LoadImageToGraph("img/title/DORA/CampanyLogoBar.bmp", 0);
    if (demoPicture != 0)
        demoPicture = LoadImageToGraph("img/title/Demo.bmp", 0);
}

void PrepareTitleMenu()
{
    if (titlePage == TITLE_INTRO)
        PrepareIntro();
    else if (titlePage == TITLE_MENU)
        PrepareMenu();
    if (titlePage == TITLE_INTRO)
        return;
    blinkCounter = (blinkCounter + 1) % BLINK_PERIOD;
    PlaceCursor();
}

void UpdateTitleScene()
{
    // Every rule acts on the page the frame began on.
    const int page = titlePage;
    if (page == TITLE_MAPPING)
        ArmButtonLearning();
    if (Pressed(holdUp))
        MoveCursor(page, -1);
    if (Pressed(holdDown))
        MoveCursor(page, 1);
    if (page == TITLE_OPTIONS && optionEditing) {
        if (holdLeft != 0)
            EditOption(-1);
        else if (holdRight != 0)
            EditOption(1);
    }
    if (page == TITLE_INTRO && Action(ACTION_SKIP))
        SkipIntro();
    if (Action(ACTION_DECIDE))
        Decide(page);
    if (Action(ACTION_CANCEL))
        Cancel(page);
    if (page == TITLE_INTRO && Action(ACTION_SHOT))
        SkipIntro();
    if (page == TITLE_MAPPING)
        LearnHeldButton(titleCursor);
}

void DrawTitleScene()
{
    if (demoPicture == 0)
        demoPicture = LoadImageToGraph("img/title/Demo.bmp", 0);
    switch (titlePage) {
    case TITLE_INTRO: DrawIntro(); break;
    case TITLE_MENU: DrawMenu(); break;
    case TITLE_MAPPING: DrawMapping(); break;
    case TITLE_OPTIONS: DrawOptions(); break;
    case TITLE_SOUND_TEST: DrawSoundTest(); break;
    default: break;
    }
    DrawCursor();
}
