#include "game/geometry.h"

#include <math.h>

int TruncateToInt(double v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return 2147483647;
    if (v <= -2147483648.0)
        return -2147483647 - 1;
    return (int)v;
}

bool BoxesOverlap(float l1, float t1, float r1, float b1, float l2, float t2, float r2, float b2)
{
    return TruncateToInt(l1) < TruncateToInt(r2) && TruncateToInt(t1) < TruncateToInt(b2) &&
           TruncateToInt(r1) > TruncateToInt(l2) && TruncateToInt(b1) > TruncateToInt(t2);
}

bool ActorOverlapsBlock(const ActorRecord& a, const BlockRecord& b)
{
    return BoxesOverlap(a.boxX1[0], a.boxY1[0], a.boxX2[0], a.boxY2[0], b.blockX1, b.blockY1, b.blockX2,
                        b.blockY2);
}

double AngleToward(const ActorRecord& a, float x, float y)
{
    return atan2((double)y - a.centerY[0], (double)x - a.centerX[0]);
}

double AngleToPlayer(const ActorRecord& a)
{
    return AngleToward(a, actors[0].centerX[0], actors[0].centerY[0]);
}

void FlyTowardPlayer(ActorRecord& a, double speed)
{
    double angle = AngleToPlayer(a);
    a.vx = (float)(-speed * cos(angle));
    a.vy = (float)(speed * sin(angle));
}
