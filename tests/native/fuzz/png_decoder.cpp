// The PNG decoder, reading through a memory stream. The input is a whole file.
// The checks are those of decoder_check.h.
#include "tests/native/fuzz/decoder_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CheckDecoder(LoadPngImage, data, size);
    return 0;
}
