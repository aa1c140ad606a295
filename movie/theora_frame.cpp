#include "movie/theora_player.h"

int InitYuvTables() { return 0; }
void CreateTheoraYuvSurface(TheoraDecoder*) {}
IDirect3DSurface9* GetTheoraYuvSurface(TheoraDecoder* decoder) { return decoder ? decoder->yuvSurface : nullptr; }
int FetchTheoraFrame(TheoraDecoder*, int, int) { return 0; }
