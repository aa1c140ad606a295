// The LZ block format: hand-made tokens, round trips through the packer's
// encoder over every token form, and damaged blocks that must be refused
// without writing outside the output.
#include <gtest/gtest.h>

#include <algorithm>
#include <string.h>
#include <vector>

#include "runtime/file/archive_format.h"
#include "runtime/file/archive_lz.h"
#include "tests/support/test_bytes.h"
#include "tools/packer/lz_encoder.h"

namespace {

std::vector<uint8_t> Block(uint32_t outputSize, uint8_t escape, const std::vector<uint8_t>& tokens)
{
    uint32_t blockSize = (uint32_t)(LZ_HEADER_SIZE + tokens.size());
    std::vector<uint8_t> b(blockSize);
    memcpy(&b[0], &outputSize, 4);
    memcpy(&b[4], &blockSize, 4);
    b[8] = escape;
    for (size_t i = 0; i < tokens.size(); i++)
        b[LZ_HEADER_SIZE + i] = tokens[i];
    return b;
}

// Decodes with both entry points; the output lies between guard bytes.
std::vector<uint8_t> Decode(const std::vector<uint8_t>& block, bool* ok)
{
    uint32_t size = ArchiveLzOutputSize(block.data());
    std::vector<uint8_t> guarded(size + 32, 0xCD);
    int r1 = DecodeArchiveLz(block.data(), &guarded[16]);
    std::vector<uint8_t> second(size + 32, 0xCD);
    int r2 = DecodeArchiveLzChecked(block.data(), (uint32_t)block.size(), &second[16], size);
    for (int i = 0; i < 16; i++) {
        EXPECT_EQ(0xCD, guarded[i]);
        EXPECT_EQ(0xCD, guarded[size + 16 + i]);
        EXPECT_EQ(0xCD, second[i]);
        EXPECT_EQ(0xCD, second[size + 16 + i]);
    }
    *ok = r1 == (int)size && r2 == 0;
    EXPECT_EQ(r1 == -1, r2 == -1) << "both decoders agree";
    return std::vector<uint8_t>(guarded.begin() + 16, guarded.begin() + 16 + size);
}

TEST(ArchiveLz, MatchAndEscapedEscape)
{
    // E = FF: 61 62 63 64, then FF 08 03 (length 5, distance 4), then FF FF.
    bool ok;
    auto out = Decode(Block(10, 0xFF, {0x61, 0x62, 0x63, 0x64, 0xFF, 0x08, 0x03, 0xFF, 0xFF}), &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ((std::vector<uint8_t>{0x61, 0x62, 0x63, 0x64, 0x61, 0x62, 0x63, 0x64, 0x61, 0xFF}), out);
}

TEST(ArchiveLz, MatchByteAboveAndBelowTheEscape)
{
    bool ok;
    // E = 10: the match byte 11 stands for m = 10: length 6, one distance byte.
    auto a = Decode(Block(12, 0x10, {'a', 'b', 'c', 'd', 'e', 'f', 0x10, 0x11, 0x05}), &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(0, memcmp(a.data(), "abcdefabcdef", 12));
    // 0E stands for m = 0E: length field 1 | extra << 5, three distance
    // bytes: here 1 | 2 << 5 = 65, length 69 at distance 1.
    auto b = Decode(Block(70, 0x10, {'x', 0x10, 0x0E, 0x02, 0x00, 0x00, 0x00}), &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(std::vector<uint8_t>(70, 'x'), b);
}

TEST(ArchiveLz, SizeOnlyForNullOutputOrEmptyBlock)
{
    // The tokens would be refused; a null output reads none of them.
    std::vector<uint8_t> b = Block(1234, 0x00, {0x00, 0x07});
    EXPECT_EQ(1234, DecodeArchiveLz(b.data(), nullptr));
    std::vector<uint8_t> empty = Block(77, 0x00, {});
    uint8_t out[4] = {1, 2, 3, 4};
    EXPECT_EQ(77, DecodeArchiveLz(empty.data(), out));
    EXPECT_EQ(1, out[0]) << "nothing written";
}

// Which token forms a block uses.
struct TokenKinds {
    int escapedLiterals = 0;
    int distanceBytes[4] = {};
    int longest = 0;
    int extraLength = 0;
};

TokenKinds Scan(const std::vector<uint8_t>& block)
{
    TokenKinds k;
    uint8_t e = block[8];
    for (size_t i = LZ_HEADER_SIZE; i < block.size();) {
        if (block[i] != e) {
            i++;
            continue;
        }
        uint8_t x = block[i + 1];
        i += 2;
        if (x == e) {
            k.escapedLiterals++;
            continue;
        }
        int m = x > e ? x - 1 : x;
        int length = m >> 3;
        if (m & 4) {
            length |= block[i++] << 5;
            k.extraLength++;
        }
        k.distanceBytes[(m & 3) + 1]++;
        i += (m & 3) + 1;
        if (length + 4 > k.longest)
            k.longest = length + 4;
    }
    return k;
}

TEST(ArchiveLz, RoundTripsOverEveryTokenForm)
{
    // Literal escapes (every byte value occurs), short and long matches at
    // 1-, 2- and 3-byte distances, and runs longer than the longest match.
    std::vector<uint8_t> data;
    for (int i = 0; i < 256; i++)
        data.push_back((uint8_t)i);
    std::vector<uint8_t> noise = TestBytes(70000, 11, 8);
    data.insert(data.end(), noise.begin(), noise.end());
    data.insert(data.end(), 20000, 0x42);                       // distance 1, longest length
    data.insert(data.end(), noise.begin(), noise.begin() + 300); // distance > 65536
    std::vector<uint8_t> mid(noise.begin() + 100, noise.begin() + 400);
    data.insert(data.end(), mid.begin(), mid.end());
    data.insert(data.end(), mid.begin(), mid.end());             // distance 300
    data.insert(data.end(), {'a', 'b', 'c', 'd', 'a', 'b', 'c', 'd', 'a'});

    for (int escape : {-1, 0x00, 0x42, 0xFF}) {
        std::vector<uint8_t> block = escape < 0 ? EncodeArchiveLz(data.data(), (uint32_t)data.size())
                                                : EncodeArchiveLzWithEscape(data.data(), (uint32_t)data.size(),
                                                                            (uint8_t)escape);
        bool ok;
        EXPECT_EQ(data, Decode(block, &ok)) << "escape " << escape;
        EXPECT_TRUE(ok);
        TokenKinds k = Scan(block);
        EXPECT_GT(k.escapedLiterals, 0);
        EXPECT_GT(k.distanceBytes[1], 0);
        EXPECT_GT(k.distanceBytes[2], 0);
        EXPECT_GT(k.distanceBytes[3], 0);
        EXPECT_GT(k.extraLength, 0);
        EXPECT_EQ((int)LZ_MAX_MATCH, k.longest);
    }
}

TEST(ArchiveLz, RoundTripsOfSmallAndPlainInputs)
{
    std::vector<std::vector<uint8_t>> inputs = {
        {}, {0}, {1, 2, 3}, TestBytes(5000, 2, 8), TestBytes(100000, 3, 1), std::vector<uint8_t>(LZ_MAX_MATCH + 1, 7),
    };
    for (const auto& data : inputs) {
        std::vector<uint8_t> block = EncodeArchiveLz(data.data(), (uint32_t)data.size());
        bool ok;
        EXPECT_EQ(data, Decode(block, &ok)) << data.size() << " bytes";
        EXPECT_TRUE(ok);
    }
    // The escape byte is the rarest one.
    std::vector<uint8_t> skewed(1000, 'a');
    for (int b = 0; b < 256; b++)
        if (b != 0x33)
            skewed.push_back((uint8_t)b);
    EXPECT_EQ(0x33, EncodeArchiveLz(skewed.data(), (uint32_t)skewed.size())[8]);
}

TEST(ArchiveLz, DamagedBlocksAreRefused)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> block;
    } cases[] = {
        {"escape at the end", Block(3, 0xFF, {1, 2, 0xFF})},
        {"extra length byte missing", Block(40, 0xFF, {1, 2, 3, 4, 0xFF, 0x04})},
        {"distance bytes missing", Block(40, 0xFF, {1, 2, 3, 4, 0xFF, 0x01, 0x00})},
        {"distance before the start", Block(9, 0xFF, {1, 2, 3, 4, 0xFF, 0x08, 0x04})},
        {"match past the output", Block(8, 0xFF, {1, 2, 3, 4, 0xFF, 0x08, 0x03})},
        {"literals past the output", Block(3, 0xFF, {1, 2, 3, 4})},
        {"escaped literal past the output", Block(1, 0xFF, {1, 0xFF, 0xFF})},
        {"distance kind 3", Block(20, 0xFF, {1, 2, 3, 4, 0xFF, 0x03, 0, 0, 0, 0})},
        {"output not filled", Block(100, 0xFF, {1, 2, 3})},
        {"huge output from one match", Block(0xFFFFFFF0u, 0xFF, {1, 0xFF, 0xFE, 0xFF, 0, 0, 0})},
    };
    for (auto& c : cases) {
        uint32_t size = ArchiveLzOutputSize(c.block.data());
        if (size > 1000) {
            // Refused before any output is needed.
            EXPECT_EQ(-1, CheckArchiveLzHeader(c.block.data(), (uint32_t)c.block.size(), size)) << c.what;
            continue;
        }
        bool ok;
        Decode(c.block, &ok);
        EXPECT_FALSE(ok) << c.what;
    }

    // Header checks of the bounded decoder.
    std::vector<uint8_t> good = Block(4, 0xFF, {1, 2, 3, 4});
    uint8_t out[8];
    EXPECT_EQ(0, DecodeArchiveLzChecked(good.data(), (uint32_t)good.size(), out, 4));
    EXPECT_EQ(-1, DecodeArchiveLzChecked(good.data(), (uint32_t)good.size() - 1, out, 4)) << "block beyond the bytes";
    EXPECT_EQ(-1, DecodeArchiveLzChecked(good.data(), (uint32_t)good.size(), out, 5)) << "other output size";
    EXPECT_EQ(-1, DecodeArchiveLzChecked(good.data(), 8, out, 4)) << "shorter than a header";
    std::vector<uint8_t> shortBlock = good;
    shortBlock[4] = 5;
    EXPECT_EQ(-1, DecodeArchiveLz(shortBlock.data(), out)) << "block size below the header";
    EXPECT_EQ(-1, DecodeArchiveLzChecked(shortBlock.data(), 13, out, 4));
}

// A byte-by-byte decoder written from the token rules alone: true with the
// output when the block holds exactly `size` bytes of tokens that stay inside
// it and inside the output; false otherwise.
bool ReferenceDecode(const std::vector<uint8_t>& block, uint32_t size, std::vector<uint8_t>& out)
{
    out.clear();
    if (block.size() < 9)
        return false;
    uint32_t outputSize, blockSize;
    memcpy(&outputSize, &block[0], 4);
    memcpy(&blockSize, &block[4], 4);
    if (outputSize != size || blockSize < 9 || blockSize > block.size())
        return false;
    uint8_t e = block[8];
    size_t i = 9;
    auto next = [&](uint32_t& value) {
        if (i >= blockSize)
            return false;
        value = block[i++];
        return true;
    };
    while (i < blockSize) {
        uint32_t b = block[i++], x;
        if (b != e) {
            out.push_back((uint8_t)b);
        } else if (!next(x)) {
            return false;
        } else if (x == e) {
            out.push_back(e);
        } else {
            uint32_t m = x > e ? x - 1 : x, length = m >> 3, extra, distance = 0;
            if ((m & 4) && !next(extra))
                return false;
            if (m & 4)
                length |= extra << 5;
            if ((m & 3) == 3)
                return false;
            for (uint32_t k = 0, d; k <= (m & 3); k++) {
                if (!next(d))
                    return false;
                distance |= d << (8 * k);
            }
            length += 4;
            distance += 1;
            if (distance > out.size() || out.size() + length > size)
                return false;
            for (uint32_t k = 0; k < length; k++)
                out.push_back(out[out.size() - distance]);
        }
        if (out.size() > size)
            return false;
    }
    return out.size() == size;
}

TEST(ArchiveLz, EveryBlockByteFlipped)
{
    // Literals, escaped escapes and matches at 1- and 2-byte distances; each
    // byte of the block changed in turn, wholly and in its lowest bit, is
    // decoded or refused as a byte-by-byte decoder says, without writing
    // outside the output.
    std::vector<uint8_t> data = TestBytes(3000, 12, 3);
    data.insert(data.end(), 300, 0x55);
    data.insert(data.end(), data.begin(), data.begin() + 700);
    std::vector<uint8_t> good = EncodeArchiveLzWithEscape(data.data(), (uint32_t)data.size(), data[5]);
    uint32_t size = (uint32_t)data.size();
    int decoded = 0, refused = 0;
    for (uint8_t flip : {0xFF, 0x01}) {
        for (size_t at = 0; at < good.size(); at++) {
            std::vector<uint8_t> block = good;
            block[at] ^= flip;
            std::vector<uint8_t> out(size + 32, 0xCD);
            int checked = DecodeArchiveLzChecked(block.data(), (uint32_t)block.size(), &out[16], size);
            std::vector<uint8_t> expected;
            bool valid = ReferenceDecode(block, size, expected);
            ASSERT_EQ(valid ? 0 : -1, checked) << at << " ^ " << (int)flip;
            if (valid) {
                EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin() + 16)) << at;
                decoded++;
            } else {
                refused++;
            }
            if (at >= 8) {
                // Both sizes are intact: the decoder that trusts them agrees.
                std::vector<uint8_t> plain(size + 32, 0xCD);
                int whole = DecodeArchiveLz(block.data(), &plain[16]);
                EXPECT_EQ(checked == 0, whole == (int)size) << at;
                for (int i = 0; i < 16; i++) {
                    ASSERT_EQ(0xCD, plain[i]) << at;
                    ASSERT_EQ(0xCD, plain[size + 16 + i]) << at;
                }
            }
            for (int i = 0; i < 16; i++) {
                ASSERT_EQ(0xCD, out[i]) << at;
                ASSERT_EQ(0xCD, out[size + 16 + i]) << at;
            }
        }
    }
    // Both outcomes occur: a literal changed into another one still decodes,
    // a match cut short does not.
    EXPECT_GT(decoded, 0);
    EXPECT_GT(refused, 0);
}

} // namespace
