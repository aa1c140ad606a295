#include "game/play_draw.h"
#include "game/scenes.h"

#include <string.h>

#include "game/asset_loading.h"
#include "game/game_state.h"
#include "graphics/draw_calls.h"
#include "graphics/font/default_font.h"

enum { TYPEWRITER_TEXT_MAX = 255 };

void DrawTypewriterText(int x, int y, const char* text, int& counter)
{
    size_t length = strnlen(text, TYPEWRITER_TEXT_MAX);
    int shown = ClampInt(counter, 0, (int)length);
    char buffer[TYPEWRITER_TEXT_MAX + 1];
    memcpy(buffer, text, (size_t)shown);
    buffer[shown] = '\0';
    int width = GetStringWidthDefault(buffer, shown, 0);
    DrawStringDefault(x - width / 2, y, buffer, colorWhite, 0);
    if ((size_t)counter < length)
        counter++;
}

int DrawDigit(int digit, int x, int y, int trans)
{
    if (digit < 0 || digit > 9)
        return -1;
    return DrawGraphAt(x, y, digitImages[1 + digit], trans);
}

int DrawDigitPeriod(int x, int y, int trans)
{
    return DrawGraphAt(x, y, digitImages[0], trans);
}

void DrawTallyCount(int count, int x, int y)
{
    count = ClampInt(count, 0, 99999);
    int d0 = count / 10000;
    DrawDigit(count % 10, x + 420, y, 0);
    for (int i = 3, rest = count / 10; i >= 1; i--, rest /= 10)
        DrawDigit(rest % 10, x + 324 + 24 * i, y, 0);
    if (d0 != 0)
        DrawDigit(d0, x + 324, y, 0);
}

void DrawPlayScene() {}
void UpdatePauseMenu() {}
void DrawPauseMenu() {}
void DrawActorSprite(int, int, float, float, int) {}
void DrawAreaBlock(int, float, float) {}

int AreaBackgroundGraph(int area)
{
    if (area < 0 || area >= AREA_BACKGROUNDS)
        return -1;
    return areaBackgroundImages[area];
}
