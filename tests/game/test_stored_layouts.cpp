// Layouts that files hold byte for byte keep their size and field places on
// every architecture; records that hold platform handles follow the
// platform's pointer size.
#include <gtest/gtest.h>
#include <stddef.h>

#include "game/save_data.h"
#include "runtime/file/archive_reader.h"
#include "runtime/window_state.h"

TEST(StoredLayouts, SaveDataFileIs84Bytes)
{
    EXPECT_EQ(84u, sizeof(SaveDataBlock));
    EXPECT_EQ(0u, offsetof(SaveDataBlock, windowMode));
    EXPECT_EQ(4u, offsetof(SaveDataBlock, bgmVolume));
    EXPECT_EQ(8u, offsetof(SaveDataBlock, seVolume));
    EXPECT_EQ(12u, offsetof(SaveDataBlock, buttonMap));
    EXPECT_EQ(76u, offsetof(SaveDataBlock, lastRankPlus1));
    EXPECT_EQ(80u, offsetof(SaveDataBlock, lifeSetting));
}

TEST(StoredLayouts, ArchiveHeaderIs28Bytes)
{
    EXPECT_EQ(28u, sizeof(ArchiveHeader));
    EXPECT_EQ(0u, offsetof(ArchiveHeader, magic));
    EXPECT_EQ(2u, offsetof(ArchiveHeader, version));
    EXPECT_EQ(4u, offsetof(ArchiveHeader, headerBlockSize));
    EXPECT_EQ(8u, offsetof(ArchiveHeader, dataOffset));
    EXPECT_EQ(12u, offsetof(ArchiveHeader, headerBlockOffset));
    EXPECT_EQ(16u, offsetof(ArchiveHeader, fileTableOffset));
    EXPECT_EQ(20u, offsetof(ArchiveHeader, dirTableOffset));
    EXPECT_EQ(24u, offsetof(ArchiveHeader, codePage));
}

TEST(StoredLayouts, MenuItemRecordsFollowThePointerSize)
{
    EXPECT_EQ(sizeof(void*) == 4 ? 136u : 144u, sizeof(MenuItemRecord));
    EXPECT_EQ(sizeof(HMENU), offsetof(MenuItemRecord, position));
    EXPECT_EQ(sizeof(HMENU) + 4, offsetof(MenuItemRecord, name));
}
