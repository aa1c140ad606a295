// Pad bits into direction, button and action counters, and the mapping page's
// learning, over a pad-bits source the test drives; and keys held on the
// library's window through to the action counters.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>

#include "game/action_input.h"
#include "runtime/library.h"
#include "tests/game/play_world.h"
#include "tests/support/test_support.h"

namespace {

int padWithKeys;   // what the source answers for pad 1 with the keyboard
int padOnly;       // and for pad 1 alone
int calls, callsWithKeys;

int TestPad(int padAndKeys)
{
    calls++;
    if (padAndKeys == PAD1_WITH_KEYS) {
        callsWithKeys++;
        return padWithKeys;
    }
    return padAndKeys == PAD1_ONLY ? padOnly : 0;
}

int Button(int b)
{
    return 1 << (b + 3);
}

void Frame(int bits)
{
    padWithKeys = bits;
    UpdateActionInputFrom(TestPad);
}

class ActionInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetPlayWorld();
        ResetButtonMap();
        learnArmed = 0;
        padWithKeys = padOnly = 0;
        calls = callsWithKeys = 0;
    }
};

} // namespace

TEST_F(ActionInput, DirectionsCountFramesHeldAndAskAfreshForEachCounter)
{
    for (int i = 0; i < 3; i++)
        Frame(PAD_BIT_UP | PAD_BIT_LEFT);
    EXPECT_EQ(3, holdUp);
    EXPECT_EQ(3, holdLeft);
    EXPECT_EQ(0, holdDown);
    EXPECT_EQ(0, holdRight);
    EXPECT_EQ(3 * 14, calls);
    EXPECT_EQ(calls, callsWithKeys);

    Frame(PAD_BIT_DOWN | PAD_BIT_RIGHT | PAD_BIT_LEFT);
    EXPECT_EQ(0, holdUp);
    EXPECT_EQ(4, holdLeft);
    EXPECT_EQ(1, holdDown);
    EXPECT_EQ(1, holdRight);
}

TEST_F(ActionInput, DefaultMappingGivesEachActionItsButton)
{
    // The X key is button 2, which action 1 (install and decide) has.
    for (int i = 0; i < 5; i++)
        Frame(Button(2));
    EXPECT_EQ(5, buttonMap[1].buttonHold);
    EXPECT_EQ(5, actionHold[0][1]);
    EXPECT_EQ(0, actionHold[0][0]);

    Frame(Button(2) | Button(9) | Button(10));
    EXPECT_EQ(6, actionHold[0][1]);
    EXPECT_EQ(1, actionHold[0][8]);
    EXPECT_EQ(1, actionHold[0][9]);

    Frame(0);
    for (int a = 0; a < ACTION_COUNT; a++)
        EXPECT_EQ(0, actionHold[0][a]) << a;
    // The second player's counters are never filled.
    for (int a = 0; a < ACTION_COUNT; a++)
        EXPECT_EQ(0, actionHold[1][a]) << a;
}

TEST_F(ActionInput, ButtonsAboveTenHaveNoCounters)
{
    buttonMap[3].buttonOfAction = 11;
    buttonMap[10].buttonOfAction = 4;
    buttonMap[4].buttonOfAction = 16;
    buttonMap[15].buttonOfAction = 5;
    for (int i = 0; i < 4; i++)
        Frame(Button(11) | Button(16) | Button(4) | Button(5));
    EXPECT_EQ(0, actionHold[0][3]);
    EXPECT_EQ(0, actionHold[0][4]);
    for (int b = 11; b <= 16; b++)
        EXPECT_EQ(0, buttonMap[b - 1].buttonHold) << b;
}

TEST_F(ActionInput, SharedButtonFeedsOnlyTheLowerAction)
{
    Frame(Button(4));
    ASSERT_EQ(1, actionHold[0][3]);
    // Action 3 now shares button 2 with action 1: it keeps its last counter.
    buttonMap[3].buttonOfAction = 2;
    for (int i = 0; i < 3; i++)
        Frame(Button(2) | Button(4));
    EXPECT_EQ(3, actionHold[0][1]);
    EXPECT_EQ(1, actionHold[0][3]);
}

TEST_F(ActionInput, ButtonZeroOrBeyondTheTableReachesNoAction)
{
    for (int i = 0; i < BUTTON_MAP_SIZE; i++)
        buttonMap[i].buttonOfAction = 0;
    actionHold[0][2] = 7;
    Frame(Button(1) | Button(2) | Button(3) | PAD_BIT_LEFT);
    EXPECT_EQ(1, holdLeft);
    EXPECT_EQ(0, actionHold[0][0]);
    EXPECT_EQ(0, actionHold[0][1]);
    EXPECT_EQ(7, actionHold[0][2]);
}

TEST_F(ActionInput, LearningArmsOnlyOnAFrameWithoutPadInput)
{
    padOnly = Button(1);
    ArmButtonLearningFrom(TestPad);
    EXPECT_EQ(0, learnArmed);
    padWithKeys = Button(3);
    LearnHeldButtonFrom(1, TestPad);
    EXPECT_EQ(2, buttonMap[1].buttonOfAction);

    padOnly = 0;
    ArmButtonLearningFrom(TestPad);
    EXPECT_EQ(1, learnArmed);
}

TEST_F(ActionInput, LearningSwapsButtonsWithTheActionThatHadIt)
{
    learnArmed = 1;
    padWithKeys = Button(3);
    LearnHeldButtonFrom(1, TestPad);
    EXPECT_EQ(3, buttonMap[1].buttonOfAction);
    EXPECT_EQ(2, buttonMap[2].buttonOfAction);

    // Holding the button repeats the assignment without further effect.
    LearnHeldButtonFrom(1, TestPad);
    EXPECT_EQ(3, buttonMap[1].buttonOfAction);
    EXPECT_EQ(2, buttonMap[2].buttonOfAction);

    // Button 16, which only entry 15 had, goes to action 8; entry 15 takes 9.
    padWithKeys = Button(16);
    LearnHeldButtonFrom(8, TestPad);
    EXPECT_EQ(16, buttonMap[8].buttonOfAction);
    EXPECT_EQ(9, buttonMap[15].buttonOfAction);

    // No two entries share a button afterwards.
    for (int i = 0; i < BUTTON_MAP_SIZE; i++)
        for (int j = i + 1; j < BUTTON_MAP_SIZE; j++)
            EXPECT_NE(buttonMap[i].buttonOfAction, buttonMap[j].buttonOfAction) << i << " " << j;

    ResetButtonMap();
    for (int i = 0; i < BUTTON_MAP_SIZE; i++)
        EXPECT_EQ(i + 1, buttonMap[i].buttonOfAction);
}

TEST_F(ActionInput, ASwapPlaysEffectTwo)
{
    learnArmed = 1;
    padWithKeys = Button(3);
    LearnHeldButtonFrom(1, TestPad);
    ASSERT_EQ(1u, SoundCalls().size());
    EXPECT_EQ(1, CountSePlays(2));

    // Held on: the action already has the button, so nothing changes hands.
    LearnHeldButtonFrom(1, TestPad);
    LearnHeldButtonFrom(1, TestPad);
    EXPECT_EQ(1u, SoundCalls().size());

    // A button that no action has is taken silently.
    buttonMap[15].buttonOfAction = 0;
    padWithKeys = Button(16);
    LearnHeldButtonFrom(4, TestPad);
    EXPECT_EQ(16, buttonMap[4].buttonOfAction);
    EXPECT_EQ(1u, SoundCalls().size());
}

TEST_F(ActionInput, LearningNeedsOneButtonAloneOnAnActionRow)
{
    learnArmed = 1;
    struct Case {
        int row, bits;
    } cases[] = {
        {1, Button(3) | PAD_BIT_LEFT},   // a direction with the button
        {1, Button(3) | Button(4)},      // two buttons
        {1, PAD_BIT_UP | PAD_BIT_RIGHT}, // directions only
        {1, Button(17)},                 // beyond button 16
        {9, Button(3)},                  // the Default row
        {10, Button(3)},                 // the Exit row
        {-1, Button(3)},
    };
    for (const Case& c : cases) {
        padWithKeys = c.bits;
        LearnHeldButtonFrom(c.row, TestPad);
        for (int i = 0; i < BUTTON_MAP_SIZE; i++)
            ASSERT_EQ(i + 1, buttonMap[i].buttonOfAction) << c.row << " " << c.bits;
    }
}

TEST_F(ActionInput, ButtonLabels)
{
    WriteButtonLabels();
    EXPECT_STREQ("", buttonMap[0].buttonLabel);
    EXPECT_STREQ("BUTTON1     Z", buttonMap[1].buttonLabel);
    EXPECT_STREQ("BUTTON9     ESC", buttonMap[9].buttonLabel);
    EXPECT_STREQ("BUTTON10   SPACE", buttonMap[10].buttonLabel);
    for (int i = 11; i < BUTTON_MAP_SIZE; i++)
        EXPECT_STREQ("", buttonMap[i].buttonLabel) << i;
    EXPECT_STREQ("BUTTON4     A", ButtonLabelOf(4));
    EXPECT_STREQ("", ButtonLabelOf(16));
    EXPECT_STREQ("", ButtonLabelOf(-3));
}

// ---------------------------------------------------------------------------
// Keys held on the library's window, read through its keyboard state and the
// pad bits of pad 1 with the keys, in the game's frame order.
//
// The library reads the keyboard state of its window's thread. A key sent as
// input would reach that state only through whichever window has the
// display's focus, which every other window on the display may take, and
// the display's focus events set the state back to its own key map; so the
// test sets the key in the thread's state itself.

namespace {

bool xHeld;

class ActionInputKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetPlayWorld();
        ResetButtonMap();
        xHeld = false;
        ChangeWindowMode(1);
        SetKeepRunningInBackground(1);
        ASSERT_EQ(0, InitLibraryLocked());
    }
    void TearDown() override { EndLibraryLocked(); }
};

// One frame of the game's loop as far as input goes: X as it is held (set
// again each frame, as a held key stays down whatever the focus did
// meanwhile), the message step, then the counters.
void KeyFrame()
{
    BYTE state[256];
    GetKeyboardState(state);
    state['X'] = xHeld ? 0x80 : 0;
    SetKeyboardState(state);
    ProcessMessagesLocked();
    UpdateActionInput();
}

// Holds or releases X and runs frames until action `action`'s counter is
// `value`, for at most the platform wait: the message step reads the state
// at most once a millisecond, so the change may show a frame or more later.
bool KeyFramesUntil(bool down, int action, int value)
{
    xHeld = down;
    return PollUntil([=] {
        KeyFrame();
        return actionHold[0][action] == value;
    });
}

} // namespace

TEST_F(ActionInputKeys, AHeldKeyCountsFramesOnTheActionOfItsButton)
{
    ASSERT_TRUE(KeyFramesUntil(false, 1, 0)) << "action 1's counter stayed above 0 with X released";
    for (int i = 0; i < 3; i++)
        KeyFrame();
    for (int a = 0; a < ACTION_COUNT; a++)
        ASSERT_EQ(0, actionHold[0][a]) << a;

    // X is pad button 2, which action 1 has: one more for every frame held.
    ASSERT_TRUE(KeyFramesUntil(true, 1, 1)) << "the X key's press never reached action 1's counter";
    EXPECT_EQ(1, CheckKeyDown(0x2D));  // the key state of X
    EXPECT_EQ(PAD_BIT_BUTTON1 << 1, GetPadInputBits(PAD1_WITH_KEYS));
    for (int n = 2; n <= 5; n++) {
        KeyFrame();
        EXPECT_EQ(n, actionHold[0][1]);
    }
    EXPECT_EQ(0, actionHold[0][0]);
    EXPECT_EQ(0, actionHold[0][2]);
    EXPECT_EQ(0, holdLeft);

    // Action 3 takes button 2 from action 1: the same key now feeds it.
    buttonMap[3].buttonOfAction = 2;
    buttonMap[1].buttonOfAction = 4;
    KeyFrame();
    EXPECT_EQ(6, actionHold[0][3]);
    EXPECT_EQ(0, actionHold[0][1]);

    EXPECT_TRUE(KeyFramesUntil(false, 3, 0)) << "the X key's release never reached action 3's counter";
}
