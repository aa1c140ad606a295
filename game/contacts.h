// What touches what in the play field: shots against enemies and bosses,
// actors against blocks, the entrance's sphere gathering, hazards, items and
// pick-ups against the player; and the two routines that take hit points.
#pragma once

// 1 when the boxes of slots a and b overlap (truncated, strict), else 0.
int TestActorOverlap(int a, int b);
// The contact checks that end the physics pass, in their order.
void RunContactChecks();
// The player's contacts: hazards, hurting actors, items and pick-ups.
void HandlePlayerContacts();
// Mode 0 an ordinary hurt, mode 1 the push of effect 27; acts on slot 0.
void HitPlayer(int mode);
// Takes hit points from any actor but the player, with its sound, the kill's
// sphere drop (dropFlag n > 0: spheres of row n - 1), a boss's defeat and its
// spawn-list entry's re-arming.
void DamageActor(int slot, int damage, int dropFlag);
// The boss door's passage: from a field into its boss arena, keeping the
// player's hit points and spheres.
void EnterBossArena();
