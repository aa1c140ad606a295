#include "tests/audio/sound_fixtures.h"
