// A fingerprint of the play state: the whole actor pool and the globals of
// the play rules, byte for byte. Headless runs end by comparing it with the
// value a reference build recorded, so that one architecture's build proves
// the other's rules.
#pragma once

#include <stdint.h>

uint64_t HashPlayState();

// A fingerprint of one frame's live actors (slot and record of every actor
// that is not free) and the counters that enemies of one kind share. A run
// folds it in every frame, so that actors that come and go before the run
// ends leave their mark too.
uint64_t HashLiveActors();
// Folds one frame's fingerprint into a running trace.
inline uint64_t FoldTrace(uint64_t trace, uint64_t frame) { return (trace ^ frame) * 0x100000001B3ull; }
