// Boss behaviours, one routine per boss subtype; the play update calls them
// for every unfrozen boss with the boss's slot in `loopIndex`.
#pragma once

void UpdateBoss1();
void UpdateBoss2();
void UpdateBoss3();
void UpdateBoss4();
void UpdateBoss5();
void UpdateBoss6();

// Far end of boss 1's beam, fixed at frame 159 of the beam attack.
extern int beamTipX, beamTipY;
// Vertical walk of boss 2's wave, reset when the wave ends.
extern int waveDrift;
