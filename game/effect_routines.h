// Effect behaviours: the dispatcher the play update calls for every unfrozen
// effect (slot in `loopIndex`), and the key pop-up of the system effects.
#pragma once

void UpdateEffect(int subtype);
void UpdateItemPopup();
