#include "audio/sound_services.h"

// Stand-ins until sound exists: the system reports that it is not running.
int InitSoundSystem() { return -1; }
int TermSoundSystem() { return -1; }
int StopCurrentMusic() { return 0; }
int PollMusicSegments() { return -1; }
int HandleMciMusicNotify() { return 0; }
int LoadSoundFileBase(const char*, int, int) { return -1; }
int LoadSoundFile(const char* path, int bufferCount, int shareHandle)
{
    return LoadSoundFileBase(path, bufferCount, shareHandle);
}
int PlaySoundHandle(int, int, int) { return -1; }
int StopSoundHandle(int) { return -1; }
int SetSoundVolume(int, int) { return -1; }
