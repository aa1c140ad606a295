// The default font and the text calls that use it.
#pragma once

int SetDefaultFontSize(int size);
int SetDefaultFontThickness(int thickness);
