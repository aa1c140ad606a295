// The sound system's public calls as the game and the runtime core call them:
// start and end, the per-message music hooks, and loading, playing, stopping
// and the volume of sound handles.
#pragma once

int InitSoundSystem();
int TermSoundSystem();
int StopCurrentMusic();
int PollMusicSegments();
int HandleMciMusicNotify();

int LoadSoundFileBase(const char* path, int bufferCount, int shareHandle);
int LoadSoundFile(const char* path, int bufferCount, int shareHandle);
int PlaySoundHandle(int handle, int playType, int fromStart);
int StopSoundHandle(int handle);
int SetSoundVolume(int volume, int handle);
