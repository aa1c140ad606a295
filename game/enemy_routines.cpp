#include "game/enemy_routines.h"

// Stand-in until the enemy routines are built.
void UpdateEnemy(int) {}
