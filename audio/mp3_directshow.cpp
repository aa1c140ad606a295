#include "audio/sound_converter.h"

// Stand-in until the DirectShow conversion graph exists: nothing is decoded.
int ConvertMp3ToPcm(SoundConverter*) { return -1; }
