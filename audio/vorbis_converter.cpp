#include "audio/sound_converter.h"

int OpenOggSound(SoundConverter*) { return -1; }
int DecodeOggSoundBlock(SoundConverter*) { return -1; }
int SeekOggSound(SoundConverter*, int) { return 0; }
int GetOggSoundLength(SoundConverter*) { return 0; }
int CloseOggSound(SoundConverter*) { return 0; }
