// "SaveData.dat": defaults, round trip, a read-only file, short and damaged
// files. Each test works in a fresh temporary directory.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "game/action_input.h"
#include "game/game_state.h"
#include "game/save_data.h"
#include "tests/game/play_world.h"
#include "tests/support/test_support.h"

namespace {

std::vector<unsigned char> ReadFileBytes(const char* path)
{
    std::vector<unsigned char> bytes;
    FILE* f = fopen(path, "rb");
    if (!f)
        return bytes;
    int c;
    while ((c = fgetc(f)) != EOF)
        bytes.push_back((unsigned char)c);
    fclose(f);
    return bytes;
}

void WriteInts(const std::vector<int32_t>& values, size_t bytes)
{
    std::vector<unsigned char> data(values.size() * 4);
    memcpy(data.data(), values.data(), data.size());
    ASSERT_LE(bytes, data.size());
    ASSERT_TRUE(WriteWholeFile("SaveData.dat", data.data(), bytes));
}

void ScrambleGlobals()
{
    windowMode = bgmVolume = seVolume = lastRankPlus1 = lifeSetting = 77;
    for (int i = 0; i < BUTTON_MAP_SIZE; i++)
        buttonMap[i].buttonOfAction = 99;
}

class SaveData : public ::testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof previous, previous);
        dir = MakeTempDir("save");
        ASSERT_FALSE(dir.empty());
        ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
        ScreenPrints().clear();
        ScrambleGlobals();
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(previous);
        RemoveTree(dir);
    }
    char previous[MAX_PATH];
    std::string dir;
};

} // namespace

TEST_F(SaveData, FirstStartWritesTheDefaults)
{
    ReadSaveData();
    EXPECT_EQ(1, windowMode);
    EXPECT_EQ(30, bgmVolume);
    EXPECT_EQ(30, seVolume);
    EXPECT_EQ(0, lastRankPlus1);
    EXPECT_EQ(0, lifeSetting);
    for (int i = 0; i < BUTTON_MAP_SIZE; i++)
        EXPECT_EQ(i + 1, buttonMap[i].buttonOfAction);

    std::vector<unsigned char> bytes = ReadFileBytes("SaveData.dat");
    ASSERT_EQ(84u, bytes.size());
    int32_t fields[21];
    memcpy(fields, bytes.data(), 84);
    int32_t expected[21] = {1, 30, 30, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 0, 0};
    for (int i = 0; i < 21; i++)
        EXPECT_EQ(expected[i], fields[i]) << "field " << i;
    EXPECT_TRUE(ScreenPrints().empty());
}

TEST_F(SaveData, WrittenSettingsReadBack)
{
    windowMode = 0;
    bgmVolume = 100;
    seVolume = 0;
    lastRankPlus1 = 4;
    lifeSetting = 2;
    for (int i = 0; i < BUTTON_MAP_SIZE; i++)
        buttonMap[i].buttonOfAction = 16 - i;
    WriteSaveData();
    EXPECT_EQ(84u, ReadFileBytes("SaveData.dat").size());
    EXPECT_EQ(16, saveData.buttonMap[0]);

    ScrambleGlobals();
    ReadSaveData();
    EXPECT_EQ(0, windowMode);
    EXPECT_EQ(100, bgmVolume);
    EXPECT_EQ(0, seVolume);
    EXPECT_EQ(4, lastRankPlus1);
    EXPECT_EQ(2, lifeSetting);
    for (int i = 0; i < BUTTON_MAP_SIZE; i++)
        EXPECT_EQ(16 - i, buttonMap[i].buttonOfAction);
    EXPECT_TRUE(ScreenPrints().empty());
}

TEST_F(SaveData, ReadOnlyFileLoadsButEveryWriteReportsTheOpenError)
{
    WriteInts({0, 40, 50, 2, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 3, 1}, 84);
    ASSERT_TRUE(SetFileAttributesA("SaveData.dat", FILE_ATTRIBUTE_READONLY));
    // Under Wine run as root the attribute alone does not stop a writer; a
    // handle that shares only reading does, as on Windows.
    HANDLE reader = CreateFileA("SaveData.dat", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);

    ReadSaveData();
    EXPECT_EQ(0, windowMode);
    EXPECT_EQ(40, bgmVolume);
    EXPECT_EQ(50, seVolume);
    EXPECT_EQ(2, buttonMap[0].buttonOfAction);
    EXPECT_EQ(3, lastRankPlus1);
    EXPECT_EQ(1, lifeSetting);
    EXPECT_TRUE(ScreenPrints().empty());

    bgmVolume = 70;
    WriteSaveData();
    WriteSaveData();
    ASSERT_EQ(2u, ScreenPrints().size());
    EXPECT_EQ("ファイルオープンエラー\n", ScreenPrints()[0]);
    EXPECT_EQ(ScreenPrints()[0], ScreenPrints()[1]);
    // The settings in memory stay; the file keeps what it had.
    EXPECT_EQ(70, bgmVolume);
    std::vector<unsigned char> bytes = ReadFileBytes("SaveData.dat");
    ASSERT_EQ(84u, bytes.size());
    EXPECT_EQ(40, bytes[4]);
    CloseHandle(reader);
}

TEST_F(SaveData, MissingFileThatCannotBeWrittenReportsTheError)
{
    // A directory of that name makes both the read and the write fail.
    ASSERT_TRUE(CreateDirectoryA("SaveData.dat", nullptr));
    ReadSaveData();
    EXPECT_EQ(1, windowMode);
    EXPECT_EQ(30, bgmVolume);
    ASSERT_EQ(1u, ScreenPrints().size());
    EXPECT_EQ("ファイルオープンエラー\n", ScreenPrints()[0]);
}

TEST_F(SaveData, ShortFileTakesTheDefaultsForTheFieldsItDoesNotCover)
{
    // The file's fields: window 0, music 0x10034, effects 0x45, buttons 3 to
    // 16 then 1, 5, rank 3, life 2. Default: 1, 30, 30, buttons 1 to 16, 0, 0.
    struct Case {
        size_t bytes;
        int window, bgm, se, buttons;  // buttons: entries taken from the file
    } cases[] = {
        {0, 1, 30, 30, 0},       // empty: every action keeps its button
        {3, 1, 30, 30, 0},       // not even the first field whole
        {6, 0, 30, 30, 0},       // half of the music volume: its default
        {12, 0, 100, 0x45, 0},   // the music volume whole, brought into range
        {20, 0, 100, 0x45, 2},
        {83, 0, 100, 0x45, 16},  // all but the life setting
    };
    const int32_t fileButtons[16] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 1, 5};
    for (const Case& c : cases) {
        WriteInts({0, 0x10034, 0x45, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 1, 5, 3, 2},
                  c.bytes);
        ScrambleGlobals();
        ReadSaveData();
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(c.window, windowMode);
        EXPECT_EQ(c.bgm, bgmVolume);
        EXPECT_EQ(c.se, seVolume);
        for (int i = 0; i < BUTTON_MAP_SIZE; i++)
            EXPECT_EQ(i < c.buttons ? fileButtons[i] : i + 1, buttonMap[i].buttonOfAction) << i;
        EXPECT_EQ(c.bytes >= 80 ? 3 : 0, lastRankPlus1);
        EXPECT_EQ(0, lifeSetting);
        // The short file is not rewritten by reading.
        EXPECT_EQ(c.bytes, ReadFileBytes("SaveData.dat").size());
    }
}

TEST_F(SaveData, FieldsOutsideTheirRangesAreBroughtIntoRange)
{
    WriteInts({7, -5, 300, 0, 17, -2, 16, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 2000000000, 16, 9, 5},
              84);
    ReadSaveData();
    EXPECT_EQ(1, windowMode);
    EXPECT_EQ(0, bgmVolume);
    EXPECT_EQ(100, seVolume);
    EXPECT_EQ(0, buttonMap[0].buttonOfAction);   // no button: kept
    EXPECT_EQ(2, buttonMap[1].buttonOfAction);   // 17: back to the default
    EXPECT_EQ(3, buttonMap[2].buttonOfAction);   // -2: back to the default
    EXPECT_EQ(16, buttonMap[3].buttonOfAction);
    EXPECT_EQ(15, buttonMap[14].buttonOfAction);
    EXPECT_EQ(6, lastRankPlus1);
    EXPECT_EQ(2, lifeSetting);

    WriteInts({-1, 101, -1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, -3, -1}, 84);
    ReadSaveData();
    EXPECT_EQ(1, windowMode);
    EXPECT_EQ(100, bgmVolume);
    EXPECT_EQ(0, seVolume);
    EXPECT_EQ(0, lastRankPlus1);
    EXPECT_EQ(0, lifeSetting);
}

TEST_F(SaveData, AllButtonsZeroLeaveOnlyTheDirections)
{
    WriteInts({1, 30, 30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 84);
    ReadSaveData();
    memset(actionHold, 0, sizeof actionHold);
    holdLeft = 0;
    static int bits;
    bits = 0xFFFF0 | PAD_BIT_LEFT;
    UpdateActionInputFrom([](int) { return bits; });
    EXPECT_EQ(1, holdLeft);
    for (int a = 0; a < ACTION_COUNT; a++)
        EXPECT_EQ(0, actionHold[0][a]) << a;
}
