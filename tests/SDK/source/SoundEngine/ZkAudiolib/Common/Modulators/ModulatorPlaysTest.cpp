// Modulators attached by plays: sounds whose game-parameter entries name modulators start their
// instances when they play, by scope (one game-object instance shared by two sounds on one object,
// one voice instance per play), linked to each play; a play whose node settings are read again keeps
// its instances and fills their link entries again.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Playback/PlaybackFixture.h"

#include "ZkAudiolib/Common/Modulators/CZkModulator.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorInstance.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorLinks.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"

namespace
{
using namespace ZkPlaybackTest;

// An LFO of the game object's scope and one of the voice's on sounds' pitch (bit 2); an envelope on
// a sound's volume (bit 0, linked).
constexpr const char* kItems = R"(
    {"type": "lfo", "id": 100, "props": {"scope": 2, "lfo_frequency": 5.0}},
    {"type": "lfo", "id": 101, "props": {"scope": 0, "lfo_frequency": 5.0}},
    {"type": "envelope", "id": 102, "props": {"scope": 2, "env_attack_time": 0.1, "env_sustain_level": 50}},
    {"type": "sound", "id": 200, "media": 100, "media_size": 0, "rtpc": [
        {"parameter": 100, "parameter_type": 2, "target": 2, "points": [[-1, -100], [1, 100]]}]},
    {"type": "sound", "id": 201, "media": 100, "media_size": 0, "rtpc": [
        {"parameter": 100, "parameter_type": 2, "target": 2, "points": [[-1, -100], [1, 100]]}]},
    {"type": "sound", "id": 202, "media": 100, "media_size": 0, "rtpc": [
        {"parameter": 101, "parameter_type": 2, "target": 2, "points": [[-1, -100], [1, 100]]}]},
    {"type": "sound", "id": 203, "media": 100, "media_size": 0, "rtpc": [
        {"parameter": 102, "parameter_type": 2, "target": 0, "points": [[0, -96], [1, 0]]}]})";

class ModulatorPlays : public PlaybackTest
{
protected:
    void SetUp() override
    {
        PlaybackTest::SetUp();
        ASSERT_EQ(m_manager.Init(), ZK_Success);
        g_pModulatorMgr = &m_manager;
        Load(kItems);
    }

    void TearDown() override
    {
        m_manager.TermInstances();
        // The trees' instances end, as the engine's term ends them before the banks go.
        ZkIndexTable::HashTable& table = g_pObjectIndex->Table(ZkIndexKind::Modulators).Table();
        for (uint32_t bucket = 0; bucket < table.BucketCount(); ++bucket)
        {
            for (CZkIndexedObject* object = table.Bucket(bucket); object != nullptr; object = object->pNextItem)
                static_cast<CZkModulator*>(object)->Instances().VisitAllWithRemoval([](CZkModulatorInstance* instance) {
                    instance->Term();
                    instance->Release();
                    return true;
                });
        }
        m_manager.Term();
        PlaybackTest::TearDown();
        g_pModulatorMgr = nullptr;
    }

    // Plays the sound on the fixture's object under a playing id of its own; the new instance.
    CZkPlayingInstance* PlaySound(ZkUniqueID id)
    {
        uint32_t ends = 0;
        const ZkPlayingID playingID = Post(ends, m_nextPlayingID++);
        PlayLaunchParams params = Launch(playingID);
        CZkSoundNode* sound = FindSound(id);
        EXPECT_NE(sound, nullptr);
        EXPECT_EQ(CZkPlayingInstance::PlaySoundNode(sound, sound->Media(), params), ZK_Success);
        for (CZkPlayingInstance* at = CZkActiveInstances::First(); at != nullptr; at = at->pNextActive)
        {
            if (at->PlayingID() == playingID)
                return at;
        }
        ADD_FAILURE() << "no instance of the play";
        return nullptr;
    }

    static CZkModulatorInstance* LinkedInstance(CZkPlayingInstance* play)
    {
        const CZkModulatorLinks* links = play->ModulatorLinks().links;
        return links != nullptr && links->LinkCount() == 1 ? links->Head()->instance : nullptr;
    }

    CZkModulator* Modulator(ZkUniqueID id)
    {
        return static_cast<CZkModulator*>(g_pObjectIndex->Table(ZkIndexKind::Modulators).Table().Find(id));
    }

    CZkModulatorMgr m_manager;
    ZkPlayingID m_nextPlayingID = 40;
};

TEST_F(ModulatorPlays, TwoSoundsOnOneObjectShareItsInstanceAndTwoVoicesHaveOneEach)
{
    CZkPlayingInstance* first = PlaySound(200);
    CZkPlayingInstance* second = PlaySound(201);
    ASSERT_NE(LinkedInstance(first), nullptr);
    EXPECT_EQ(LinkedInstance(first), LinkedInstance(second)) << "one game-object instance for both sounds";
    EXPECT_EQ(LinkedInstance(first)->Key(), ZkRTPCKey::ForObject(m_object));
    EXPECT_EQ(m_manager.InstanceCount(), 1u);

    CZkPlayingInstance* voiceA = PlaySound(202);
    CZkPlayingInstance* voiceB = PlaySound(202);
    ASSERT_NE(LinkedInstance(voiceA), nullptr);
    ASSERT_NE(LinkedInstance(voiceB), nullptr);
    EXPECT_NE(LinkedInstance(voiceA), LinkedInstance(voiceB)) << "a voice instance per play";
    EXPECT_EQ(LinkedInstance(voiceA)->Voice(), voiceA);
    EXPECT_EQ(LinkedInstance(voiceB)->Voice(), voiceB);
    EXPECT_EQ(m_manager.InstanceCount(), 3u);
    m_manager.Update();
    EXPECT_EQ(m_manager.InstanceCount(), 3u);

    // A voice instance ends with the last link to it: its play's end.
    CZkModulatorInstance* ofVoiceA = LinkedInstance(voiceA);
    ofVoiceA->AddRef();
    RecordingRenderSide::EndVoice(voiceA);
    CZkActiveInstances::FlushCommands();
    EXPECT_TRUE(ofVoiceA->IsFinished());
    m_manager.Update();
    EXPECT_EQ(m_manager.InstanceCount(), 2u);
    ofVoiceA->Release();
}

TEST_F(ModulatorPlays, ReadingTheNodeAgainKeepsTheInstancesAndRefillsTheirLinks)
{
    CZkPlayingInstance* play = PlaySound(203);
    CZkModulatorInstance* envelope = LinkedInstance(play);
    ASSERT_NE(envelope, nullptr);
    const CZkModulatorLinks::LinkNode* link = play->ModulatorLinks().links->Head();
    ASSERT_EQ(link->entries.Length(), 1u) << "the volume's link entry";
    EXPECT_EQ(link->entries[0].bit, 0u);
    for (int frame = 0; frame < 3; ++frame)
        m_manager.Update();
    const int64_t age = envelope->Header().elapsedFrames;
    ASSERT_GT(age, 0);

    play->RequestModulatorRefresh();
    play->RefreshFromNode();
    EXPECT_EQ(LinkedInstance(play), envelope) << "the same instance, joined, not started again";
    EXPECT_EQ(envelope->Header().elapsedFrames, age);
    ASSERT_EQ(play->ModulatorLinks().links->Head()->entries.Length(), 1u) << "filled again, not appended to";
    EXPECT_EQ(play->ModulatorLinks().links->Head()->entries[0].bit, 0u);
    EXPECT_EQ(m_manager.InstanceCount(), 1u);
    EXPECT_EQ(play->Flags() & CZkNodeInstanceBase::kFlagRefreshModulators, 0u);

    // Another play on the object triggers the envelope again: it starts over.
    PlaySound(203);
    EXPECT_EQ(envelope->Header().elapsedFrames, 0);
    EXPECT_EQ(m_manager.InstanceCount(), 1u);
}
} // namespace
