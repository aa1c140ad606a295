#include "game/action_input.h"

#include "runtime/helpers.h"

// The button mapping and its labels: what the settings file stores and the
// mapping page shows. Kept apart from the pad polling so that the settings
// reader builds without the input layer.
ButtonMapEntry buttonMap[BUTTON_MAP_SIZE];

static const char* const buttonLabels[PAD_BUTTON_COUNTERS + 1] = {
    "",
    "BUTTON1     Z",
    "BUTTON2     X",
    "BUTTON3     C",
    "BUTTON4     A",
    "BUTTON5     S",
    "BUTTON6     D",
    "BUTTON7     Q",
    "BUTTON8     W",
    "BUTTON9     ESC",
    "BUTTON10   SPACE",
};

void ResetButtonMap()
{
    for (int i = 0; i < BUTTON_MAP_SIZE; i++)
        buttonMap[i].buttonOfAction = i + 1;
}

void WriteButtonLabels()
{
    for (int i = 0; i < BUTTON_MAP_SIZE; i++)
        CopyTextMax(buttonMap[i].buttonLabel, ButtonLabelOf(i), (int)sizeof buttonMap[i].buttonLabel - 1);
}

const char* ButtonLabelOf(int button)
{
    if (button < 1 || button > PAD_BUTTON_COUNTERS)
        return "";
    return buttonLabels[button];
}
