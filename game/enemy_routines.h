// Enemy behaviours: the dispatcher the play update calls for every unfrozen
// enemy, with the enemy's slot in `loopIndex`, and one routine per subtype
// that has a behaviour of its own.
#pragma once

#include "game/actor_pool.h"

// Runs the subtype's routine, then removes an enemy that has wandered far
// off the screen (enemies 27 and 28 excepted).
void UpdateEnemy(int subtype);

// Counters shared by every actor of one subtype, so that all of them keep one
// rhythm: enemy 50's burst, enemy 53's pause, enemy 56's volley. Nothing but
// the routines themselves resets them.
extern int burstCounter;
extern int burstSpeed;
extern int pauseCounter;
extern int volleyCounter;
// The triangle hazard of enemies 27 and 28, per slot of the enemy 27: 1 once
// the pair of corners has been sent out, and the frames since then. They
// outlive an area restart (only the vertex tables are cleared there).
extern int linkActive[ACTOR_SLOTS];
extern int linkCounter[ACTOR_SLOTS];

void UpdateEnemy3();
void UpdateEnemy5();
void UpdateEnemy6();
void UpdateEnemy7();
void UpdateEnemy10();
void UpdateEnemy11();
void UpdateEnemy12();
void UpdateEnemy13();
void UpdateEnemy14();
void UpdateEnemy15();
void UpdateEnemy16();
void UpdateEnemy17();
void UpdateEnemy19();
void UpdateEnemy21();
void UpdateEnemy22();
void UpdateEnemy23();
void UpdateEnemy24();
void UpdateEnemy25();
void UpdateEnemy27();
void UpdateEnemy28();
void UpdateEnemy29();
void UpdateEnemy30();
void UpdateEnemy33();
void UpdateEnemy34();
void UpdateEnemy35();
void UpdateEnemy36();
void UpdateEnemy37();
void UpdateEnemy38();
void UpdateEnemy39();
void UpdateEnemy40();
void UpdateEnemy41();
void UpdateEnemy42();
void UpdateEnemy43();
void UpdateEnemy45();
void UpdateEnemy46();
void UpdateEnemy47();
void UpdateEnemy48();
void UpdateEnemy49();
void UpdateEnemy50();
void UpdateEnemy51();
void UpdateEnemy52();
void UpdateEnemy53();
void UpdateEnemy54();
void UpdateEnemy55();
void UpdateEnemy56();
void UpdateEnemy57();
