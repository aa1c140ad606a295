// A fingerprint of the play state: the whole actor pool and the globals of
// the play rules, byte for byte. Headless runs end by comparing it with the
// value a reference build recorded, so that one architecture's build proves
// the other's rules.
#pragma once

#include <stdint.h>

uint64_t HashPlayState();
