// The default font and the text calls that use it.
#pragma once

int SetDefaultFontSize(int size);
int SetDefaultFontThickness(int thickness);
// Graphics start-up: the default font settings back to their defaults.
int ResetFontSettings();
// Graphics end: deletes every font and resets the font system.
int RestartFontSystem();
