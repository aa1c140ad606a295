#include "movie/theora_player.h"

TheoraDecoder* OpenTheoraMovie(const StreamFunctionTable*, StreamHandle, int) { return nullptr; }
int CloseTheoraMovie(TheoraDecoder*) { return 0; }
int ReadTheoraHeaders(TheoraDecoder*) { return -1; }
int ReadTheoraData(TheoraDecoder*, int) { return 0; }
int SeekTheoraMovie(TheoraDecoder*, int) { return 0; }
int AdvanceTheoraMovie(TheoraDecoder*, int) { return 0; }
int GetTheoraMovieInfo(TheoraDecoder*, TheoraMovieInfo* info) {
    *info = TheoraMovieInfo();
    return 0;
}
RasterImage* GetTheoraFrameImage(TheoraDecoder* decoder) { return &decoder->frameImage; }
int GetTheoraCurrentFrame(TheoraDecoder* decoder) { return decoder->currentFrame; }
DWORD WINAPI TheoraDecodeThread(void*) { return 0; }
int DecodeTheoraFrames(TheoraDecoder*, int) { return -1; }
