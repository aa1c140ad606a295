#include "game/action_input.h"

#include "audio/sound_services.h"
#include "game/game_state.h"
#include "runtime/helpers.h"

int holdUp, holdDown, holdLeft, holdRight;
int actionHold[2][ACTION_COUNT];
int learnArmed;


static int ButtonBit(int button)
{
    return PAD_BIT_BUTTON1 << (button - 1);
}

static void CountHold(int& counter, int bits, int mask)
{
    counter = (bits & mask) ? counter + 1 : 0;
}

void UpdateActionInputFrom(PadBitsSource source)
{
    // The input layer is asked afresh for every counter, as the pad state
    // may change between the calls.
    CountHold(holdUp, source(PAD1_WITH_KEYS), PAD_BIT_UP);
    CountHold(holdDown, source(PAD1_WITH_KEYS), PAD_BIT_DOWN);
    CountHold(holdLeft, source(PAD1_WITH_KEYS), PAD_BIT_LEFT);
    CountHold(holdRight, source(PAD1_WITH_KEYS), PAD_BIT_RIGHT);
    for (int b = 1; b <= PAD_BUTTON_COUNTERS; b++)
        CountHold(buttonMap[b - 1].buttonHold, source(PAD1_WITH_KEYS), ButtonBit(b));

    // Each button feeds the first action that has it; an action whose button
    // an earlier action also has keeps its old counter.
    for (int b = 1; b <= PAD_BUTTON_NUMBERS; b++) {
        for (int i = 0; i < BUTTON_MAP_SIZE; i++) {
            if (buttonMap[i].buttonOfAction != b)
                continue;
            if (i < ACTION_COUNT)
                actionHold[0][i] = buttonMap[b - 1].buttonHold;
            break;
        }
    }
}

void UpdateActionInput()
{
    UpdateActionInputFrom(GetPadInputBits);
}

void ArmButtonLearningFrom(PadBitsSource source)
{
    if (learnArmed == 0 && source(PAD1_ONLY) == 0)
        learnArmed = 1;
}

void ArmButtonLearning()
{
    ArmButtonLearningFrom(GetPadInputBits);
}

void LearnHeldButtonFrom(int cursorRow, PadBitsSource source)
{
    if (learnArmed == 0 || cursorRow < 0 || cursorRow > 8)
        return;
    int bits = source(PAD1_WITH_KEYS);
    if (bits < PAD_BIT_BUTTON1)
        return;
    for (int b = 1; b <= PAD_BUTTON_NUMBERS; b++) {
        if (bits != ButtonBit(b))
            continue;
        int old = buttonMap[cursorRow].buttonOfAction;
        for (int j = 0; j < BUTTON_MAP_SIZE; j++) {
            if (buttonMap[j].buttonOfAction == b) {
                buttonMap[j].buttonOfAction = old;
                if (old != b)
                    PlaySoundHandle(seHandle[2], 1, 1);
                break;
            }
        }
        buttonMap[cursorRow].buttonOfAction = b;
    }
}

void LearnHeldButton(int cursorRow)
{
    LearnHeldButtonFrom(cursorRow, GetPadInputBits);
}
