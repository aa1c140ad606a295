// Effect behaviours: the dispatcher the play update calls for every unfrozen
// effect (slot in `loopIndex`), and the key pop-up of the system effects.
#pragma once

// Runs the subtype's routine (UpdateEffect1 ... UpdateEffect53 in the source),
// then removes the effect once it has left the screen (the boss door, 12,
// stays wherever it is).
void UpdateEffect(int subtype);
// The key pop-up (system effect 0): shows itself, flies to the slot bar and
// unlocks the slot level of its `param`.
void UpdateItemPopup();
