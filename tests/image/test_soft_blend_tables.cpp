// The software blend tables against plain 64-bit division, and the blend
// graph ramp against its formula and the documented corner cases.
#include <gtest/gtest.h>
#include <string.h>

#include "image/soft_blend_tables.h"

TEST(SoftBlendTables, EveryEntryEqualsTheTruncatedDivision)
{
    memset(SignedMulDiv255Table, 0x5A, sizeof SignedMulDiv255Table);
    ASSERT_EQ(0, BuildSoftBlendTables());
    for (int64_t a = 0; a < 256; a++)
        for (int64_t b = 0; b < 256; b++)
            ASSERT_EQ((uint32_t)(a * b / 255), MulDiv255Table[a][b]) << a << " " << b;
    for (int64_t v = 0; v < 256; v++) {
        // The first entry is never written by the builder.
        ASSERT_EQ(0x5A5A5A5A, SignedMulDiv255Table[v][0]);
        for (int64_t d = -255; d <= 255; d++)   // C division truncates toward zero
            ASSERT_EQ((int32_t)(v * d / 255), SignedMulDiv255Table[v][256 + d]) << v << " " << d;
    }
    for (int64_t q = 0; q < 64; q++)
        for (int64_t s = 0; s < 64; s++)
            for (int64_t d = 0; d < 64; d++)
                ASSERT_EQ((s * q + d * (63 - q)) / 63, Lerp64Table[q][s][d]) << q << " " << s << " " << d;

    EXPECT_EQ(255u, MulDiv255Table[255][255]);
    EXPECT_EQ(128u, MulDiv255Table[128][255]);
    EXPECT_EQ(0u, MulDiv255Table[254][1]);
    EXPECT_EQ(-255, SignedMulDiv255Table[255][1]);
    EXPECT_EQ(255, SignedMulDiv255Table[255][511]);
    EXPECT_EQ(0, SignedMulDiv255Table[100][255]);
    EXPECT_EQ(-1, SignedMulDiv255Table[255][255]);
    EXPECT_EQ(32, Lerp64Table[32][63][0]);
    EXPECT_EQ(17, Lerp64Table[63][17][40]);
    EXPECT_EQ(40, Lerp64Table[0][17][40]);
}

TEST(SoftBlendTables, FadeRampMatchesTheCornerCases)
{
    BuildSoftFadeTable(0, 0);
    for (int k = 0; k < 256; k++)
        ASSERT_EQ(255, BlendGraphRamp[k]) << k;
    BuildSoftFadeTable(255, 0);
    for (int k = 0; k < 256; k++)
        ASSERT_EQ(k == 255 ? 1 : 0, BlendGraphRamp[k]) << k;
    BuildSoftFadeTable(128, 0);
    for (int k = 0; k < 256; k++)
        ASSERT_EQ(k < 128 ? 0 : k == 128 ? 128 : 255, BlendGraphRamp[k]) << k;
    BuildSoftFadeTable(128, 255);
    for (int k = 0; k < 256; k++)
        ASSERT_EQ(k, BlendGraphRamp[k]) << k;
}

TEST(SoftBlendTables, FadeRampFollowsTheFormulaForEveryWidthAndLevel)
{
    for (int32_t width = 0; width < 256; width++)
        for (int32_t level = 0; level < 256; level++) {
            BuildSoftFadeTable(level, width);
            int32_t n = width + 1;
            int32_t step = (int32_t)(65536u / (uint32_t)n);
            int32_t base = 256 - ((step + 256) * level) / 256;
            for (int32_t k = 0; k < 256; k++) {
                int32_t v = (k * 256) / n + base;
                v = v > 255 ? 255 : v < 0 ? 0 : v;
                ASSERT_EQ(v, BlendGraphRamp[k]) << width << " " << level << " " << k;
            }
        }
}

TEST(SoftBlendTables, NegativeBorderWidthLeavesTheRamp)
{
    BuildSoftFadeTable(128, 255);
    BuildSoftFadeTable(10, -1);
    BuildSoftFadeTable(10, -0x7FFFFFFF - 1);
    for (int k = 0; k < 256; k++)
        ASSERT_EQ(k, BlendGraphRamp[k]) << k;
    // Extreme arguments do not overflow: a huge width is a flat ramp.
    BuildSoftFadeTable(0, 0x7FFFFFFF);
    for (int k = 0; k < 256; k++)
        ASSERT_EQ(255, BlendGraphRamp[k]) << k;
}
