// The LZ decoder of archive entries. The input is one LZ block as an archive
// stores it: output size, block size, escape byte, tokens.
//
// A block the header check passes decodes through both decoders into an
// output of exactly its size, and they agree; a block that decodes goes back
// through the packer's encoder and decodes to the same bytes.
#include <string.h>

#include <vector>

#include "runtime/file/archive_format.h"
#include "runtime/file/archive_lz.h"
#include "tests/native/fuzz/fuzz_support.h"
#include "tools/packer/lz_encoder.h"

namespace {

// Outputs past this are not decoded: the header check bounds the output by
// the block's size, and the fuzzer's inputs are far smaller.
const uint32_t MaxOutput = 64u << 20;
// Outputs up to this size also make the round trip through the encoder.
const uint32_t MaxRoundTrip = 64u << 10;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TrackedMemoryScope scope;
    if (size > 0xFFFFFFFFu)
        return 0;
    uint32_t available = (uint32_t)size;
    if (available < LZ_HEADER_SIZE) {
        FUZZ_CHECK(CheckArchiveLzHeader(data, available, 0) == -1);
        return 0;
    }
    uint32_t outputSize = ArchiveLzOutputSize(data);
    if (CheckArchiveLzHeader(data, available, outputSize) != 0 || outputSize > MaxOutput)
        return 0;

    // Exactly sized, so that a write past the end meets the sanitizer.
    uint8_t* checked = (uint8_t*)AllocTracked(outputSize, "fuzz", __LINE__);
    uint8_t* plain = (uint8_t*)AllocTracked(outputSize, "fuzz", __LINE__);
    FUZZ_CHECK(checked && plain);
    int checkedResult = DecodeArchiveLzChecked(data, available, checked, outputSize);
    FUZZ_CHECK(checkedResult == 0 || checkedResult == -1);
    // The plain decoder trusts the header; it was checked against the input.
    int plainResult = DecodeArchiveLz(data, plain);
    FUZZ_CHECK((plainResult == (int)outputSize) == (checkedResult == 0));
    if (checkedResult == 0) {
        FUZZ_CHECK(memcmp(checked, plain, outputSize) == 0);
        if (outputSize > 0 && outputSize <= MaxRoundTrip) {
            std::vector<uint8_t> block = EncodeArchiveLz(checked, outputSize);
            FUZZ_CHECK(CheckArchiveLzHeader(block.data(), (uint32_t)block.size(), outputSize) == 0);
            std::vector<uint8_t> again(outputSize);
            FUZZ_CHECK(DecodeArchiveLzChecked(block.data(), (uint32_t)block.size(), again.data(), outputSize) == 0);
            FUZZ_CHECK(memcmp(again.data(), checked, outputSize) == 0);
        }
    }
    FreeTracked(checked);
    FreeTracked(plain);
    return 0;
}
