// The settings file reader. The input is the file's bytes, of any length.
//
// Whatever the file holds, every setting the game takes from it is within the
// range its users index or count with.
#include "game/action_input.h"
#include "game/game_state.h"
#include "game/save_data.h"
#include "tests/native/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TrackedMemoryScope scope;
    TakeSaveDataBytes(data, size);
    FUZZ_CHECK(windowMode == 0 || windowMode == 1);
    FUZZ_CHECK(bgmVolume >= 0 && bgmVolume <= 100);
    FUZZ_CHECK(seVolume >= 0 && seVolume <= 100);
    FUZZ_CHECK(lastRankPlus1 >= 0 && lastRankPlus1 <= 6);
    FUZZ_CHECK(lifeSetting >= 0 && lifeSetting <= 2);
    for (int i = 0; i < BUTTON_MAP_SIZE; i++) {
        int button = buttonMap[i].buttonOfAction;
        FUZZ_CHECK(button >= 0 && button <= PAD_BUTTON_NUMBERS);
        // The label lookup is what the mapping page does with the number.
        FUZZ_CHECK(ButtonLabelOf(button) != nullptr);
    }
    return 0;
}
