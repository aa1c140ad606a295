#include "game/boss_routines.h"

// Stand-ins until the boss routines are built.
void UpdateBoss1() {}
void UpdateBoss2() {}
void UpdateBoss3() {}
void UpdateBoss4() {}
void UpdateBoss5() {}
void UpdateBoss6() {}
