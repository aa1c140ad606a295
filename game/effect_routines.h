// Effect behaviours: the dispatcher the play update calls for every unfrozen
// effect (slot in `loopIndex`), the routine of each effect subtype that has
// one, and the key pop-up of the system effects.
#pragma once

// Runs the subtype's routine, then removes the effect once it has left the
// screen (the boss door, 12, stays wherever it is).
void UpdateEffect(int subtype);
// The key pop-up (system effect 0): shows itself, flies to the slot bar and
// unlocks the slot level of its `param`.
void UpdateItemPopup();

// One routine per subtype with a behaviour of its own; each works on the slot
// in `loopIndex`.
void UpdateEffect1();          // enemy shot: a ring direction, or aimed
void UpdateEffect11Row0();     // sphere dropped by a kill: homes in on slot 0
void UpdateEffect11OtherRow(); // the player's scattered spheres float up
void UpdateEffect13();         // aimed after a pause, at the player's own speed
void UpdateEffect14();         // the companion rides on the player
void UpdateEffect20();         // the zone marks what it covers
void UpdateEffect22();         // bouncing shot in a random direction
void UpdateEffect24();         // thrown shot and the burst fragments
void UpdateEffect25();         // bomb that bursts into four fragments
void UpdateEffect29();         // a turning arc
void UpdateEffect30();         // a drop that turns its row when falling
void UpdateEffect31();         // a wobbling shot that leaves effect 32
void UpdateEffect33();         // aimed on its first frame
void UpdateEffect34();         // aimed on its second frame (also subtype 44)
void UpdateEffect35();         // the pull-down beam: clears enemies 41 it covers
void UpdateEffect36();         // a shell that bursts into ten effects 37
void UpdateEffect37();         // a rising spark
void UpdateEffect38();         // a knife with a random rise or fall
void UpdateEffect39();         // boss 4's ring: dashes to the middle
void UpdateEffect40();         // the hopping pair, half one
void UpdateEffect41();         // the hopping pair, half two
void UpdateEffect42();         // the rain cloud
void UpdateEffect46();         // aimed on its second frame at speed 12
void UpdateEffect47();         // falls, then rolls
void UpdateEffect49();         // the player's homing shot
void UpdateEffect52();         // the walking shot's flash on the player
void UpdateEffect53();         // the install flash
