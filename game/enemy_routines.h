// Enemy behaviours: the dispatcher the play update calls for every unfrozen
// enemy, with the enemy's slot in `loopIndex`.
#pragma once

void UpdateEnemy(int subtype);
