#include "game/effect_routines.h"

// Stand-ins until the effect routines are built.
void UpdateEffect(int) {}
void UpdateItemPopup() {}
