// 16-bit (R5G6B5) direct-source families: plain 2-byte sources and alpha
// sources of 4 bytes (colour word, then alpha).
#include "softrender/blit_source_loops.h"

using namespace srcloops;

void BlitNormal16Direct(const BlitJob* job)
{
    if (job->alphaSource)
        RunNormalFamily<0, SRC_ALPHA>(job);
    else
        RunNormalFamily<0, SRC_PLAIN>(job);
}

void BlitRun16Direct(const BlitJob* job)
{
    if (job->alphaSource)
        RunRunTableFamily<0, SRC_ALPHA>(job);
    else
        RunRunTableFamily<0, SRC_PLAIN>(job);
}
