// The end of an instance stops what it modulates when its modulator says so (StopPlayback): a
// voice-scope instance its voice, a game-object instance every voice that joined it; without
// StopPlayback, and for LFOs, nothing stops. The voices are playing instances started by hand.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Playback/PlaybackFixture.h"

#include "ZkAudiolib/Common/Modulators/CZkModulator.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorInstance.h"

namespace
{
using namespace ZkPlaybackTest;

class ModulatorStopVoices : public PlaybackTest
{
protected:
    CZkModulator* FindModulator(ZkUniqueID id)
    {
        return static_cast<CZkModulator*>(g_pObjectIndex->Table(ZkIndexKind::Modulators).Table().Find(id));
    }

    CZkPlayingInstance* Voice()
    {
        CZkPlayingInstance* voice = Make(LoadSound(200));
        Activate(voice);
        return voice;
    }

    // The instance of the modulator for a play of the voice, held by the caller.
    CZkModulatorInstance* Start(ZkUniqueID modulator, CZkPlayingInstance* voice, int32_t scope,
                                CZkModulatorInstance* existing = nullptr)
    {
        ZkModulatorTrigger trigger;
        trigger.gameObject = m_object;
        trigger.playingID = 1;
        trigger.triggerKind = 1;
        trigger.voice = voice;
        bool created = false;
        CZkModulatorInstance* instance = FindModulator(modulator)->CreateInstance(existing, trigger, nullptr, scope, created);
        EXPECT_NE(instance, nullptr);
        if (created)
            instance->AddRef();
        return instance;
    }
};

TEST_F(ModulatorStopVoices, TheEndOfAnInstanceStopsItsVoicesByScope)
{
    Load(R"({"type": "envelope", "id": 1}, {"type": "time_modulator", "id": 2},
            {"type": "envelope", "id": 3, "props": {"stop_playback": 0}}, {"type": "lfo", "id": 4})");
    struct Case
    {
        const char* what;
        ZkUniqueID modulator;
        int32_t scope;
        bool stops;
    };
    const Case cases[] = {
        {"envelope, voice scope", 1, 0, true},
        {"time source, voice scope", 2, 0, true},
        {"envelope without StopPlayback", 3, 0, false},
        {"LFO", 4, 0, false},
        {"envelope, global scope", 1, 3, false},
    };
    for (const Case& c : cases)
    {
        CZkPlayingInstance* voice = Voice();
        CZkPlayingInstance* other = Voice();
        CZkModulatorInstance* instance = Start(c.modulator, voice, c.scope);
        instance->Term();
        EXPECT_EQ(voice->IsDead(), c.stops) << c.what;
        EXPECT_FALSE(other->IsDead()) << c.what;
        EXPECT_EQ(instance->Voice(), nullptr) << c.what << ": let go";
        instance->Release();
    }

    // A game-object instance stops every voice that joined it (a retrigger adds its voice).
    CZkPlayingInstance* first = Voice();
    CZkPlayingInstance* second = Voice();
    CZkPlayingInstance* other = Voice();
    CZkModulatorInstance* shared = Start(1, first, 2);
    ASSERT_EQ(Start(1, second, 2, shared), shared);
    EXPECT_FALSE(first->IsDead()) << "the retrigger of another play on the object does not end the instance";
    ASSERT_EQ(shared->Voices().Length(), 2u);
    shared->Term();
    EXPECT_TRUE(first->IsDead());
    EXPECT_TRUE(second->IsDead());
    EXPECT_FALSE(other->IsDead());
    EXPECT_EQ(shared->Voices().Length(), 0u);
    EXPECT_EQ(FindModulator(1)->ActiveUses(), 0);
    shared->Release();
}
} // namespace
