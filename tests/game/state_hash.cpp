#include "tests/game/state_hash.h"

#include "game/actor_pool.h"
#include "game/enemy_routines.h"
#include "game/game_state.h"
#include "game/play_state.h"

namespace {

// 64-bit FNV-1a.
struct Fnv {
    uint64_t value = 0xCBF29CE484222325ull;
    template <typename T> void Add(const T& item)
    {
        const unsigned char* bytes = (const unsigned char*)&item;
        for (size_t i = 0; i < sizeof item; i++)
            value = (value ^ bytes[i]) * 0x100000001B3ull;
    }
};

} // namespace

uint64_t HashPlayState()
{
    static_assert(sizeof(ActorRecord) % 4 == 0, "actor records hold 4-byte fields only");
    Fnv h;
    h.Add(actors);
    // Scenes, areas and their records.
    h.Add(sceneNo), h.Add(areaIndex), h.Add(scrollX), h.Add(lives), h.Add(playFrame);
    h.Add(areaCleared), h.Add(areaFrames), h.Add(areaEntries), h.Add(areaMisses);
    h.Add(loopIndex), h.Add(lastSpawnSlot);
    // The play update's sequences and markers.
    h.Add(keyJingleTimer), h.Add(freezeAll), h.Add(deathFlag), h.Add(deathTimer);
    h.Add(bossDefeated), h.Add(bossDefeatTimer), h.Add(finalBossPending), h.Add(finalBossTimer);
    h.Add(entranceActive), h.Add(gateSpawned), h.Add(startLinePassed), h.Add(startEffectSlot);
    h.Add(scrollMin), h.Add(scrollMax), h.Add(startLine), h.Add(gateX), h.Add(gateY);
    h.Add(innerLoopIndex);
    // Progress, the slot bar and the hazards.
    h.Add(playerLevel), h.Add(sphereTally), h.Add(itemFlags), h.Add(slotLevel);
    h.Add(activeSlotRow), h.Add(activeSlotCost), h.Add(slotAvailable), h.Add(prevActiveSlotRow);
    h.Add(sphereCap), h.Add(hazardVertexX), h.Add(hazardVertexY), h.Add(hitFlashTimer);
    h.Add(installFlashFrames), h.Add(installFlashRadius), h.Add(installFlashShrink);
    return h.value;
}

uint64_t HashLiveActors()
{
    Fnv h;
    for (int i = 0; i < ACTOR_SLOTS; i++) {
        if (actors[i].kind == KIND_FREE)
            continue;
        h.Add(i);
        h.Add(actors[i]);
    }
    h.Add(burstCounter), h.Add(burstSpeed), h.Add(pauseCounter), h.Add(volleyCounter);
    h.Add(linkActive), h.Add(linkCounter);
    return h.value;
}
