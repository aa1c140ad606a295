#include "graphics/font/default_font.h"

// Stand-ins until fonts exist.
int SetDefaultFontSize(int) { return 0; }
int SetDefaultFontThickness(int) { return 0; }
int ResetFontSettings() { return 0; }
int RestartFontSystem() { return 0; }
