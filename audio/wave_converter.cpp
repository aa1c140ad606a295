#include "audio/sound_converter.h"

int OpenWavePcmConverter(SoundConverter*) { return -1; }
int ReadPcmConverterBlock(SoundConverter*) { return -1; }
int SeekPcmConverter(SoundConverter*, int) { return 0; }
int OpenWaveAcmConverter(SoundConverter*) { return -1; }
