// Shared by the dynamic-sequence tests that drive the engine's steps themselves: the posted
// playback fixture (object index, registry, playing manager, the tests' playable nodes that record
// their launches and commands, an event manager whose messages the test reads) with a callback that
// records the sequence's item reports and its end, and helpers that open a sequence and fill its
// playlist through the game's interface.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/FrontEnd/PostedPlaybackFixture.h"

#include "ZkAudiolib/Common/DynamicSequence/CZkDynamicSequence.h"

#include <ZK/SoundEngine/Common/ZkDynamicSequence.h>

#include <vector>

namespace ZkDynamicSequenceTest
{
using namespace ZkPostedPlaybackTest;
namespace Sequence = ZK::SoundEngine::DynamicSequence;

// What the game heard: item reports (node id, custom info) and the end of the sequence (node 0,
// custom info null, ended set).
struct SequenceReport
{
    ZkUniqueID nodeID = 0;
    void* customInfo = nullptr;
    bool ended = false;
    bool operator==(const SequenceReport&) const = default;
};

inline void RecordReport(ZkCallbackType type, ZkCallbackInfo* info)
{
    auto* reports = static_cast<std::vector<SequenceReport>*>(info->cookie);
    if (type == ZkCallbackType_SequenceItemEnd)
    {
        const auto* item = static_cast<ZkSequenceItemCallbackInfo*>(info);
        reports->push_back({item->audioNodeID, item->customInfo, false});
    }
    else if (type == ZkCallbackType_EndOfEvent)
    {
        reports->push_back({0, nullptr, true});
    }
}

// An item of a playlist as a test writes it.
struct TestItem
{
    ZkUniqueID node = 0;
    uint32_t delayMs = 0;
    void* customInfo = nullptr;
};

class SequenceTest : public PlaybackTest
{
protected:
    static constexpr uint32_t kReportFlags = ZkCallbackType_SequenceItemEnd | ZkCallbackType_EndOfEvent;

    void TearDown() override
    {
        {
            // What the engine's termination does with the sequences still open.
            ZK::Platform::ZkScopedLock guard(g_EngineLock);
            g_pObjectIndex->ReleaseDynamicSequences();
        }
        PlaybackTest::TearDown();
    }

    ZkPlayingID OpenRecorded(Sequence::DynamicSequenceType type = Sequence::DynamicSequenceType_NormalTransition,
                             ZkGameObjectID object = kObject)
    {
        return Sequence::Open(object, kReportFlags, &RecordReport, &m_reports, type);
    }
    // The sequence of the id, without a reference (null when none).
    static CZkDynamicSequence* SequenceOf(ZkPlayingID id)
    {
        return static_cast<CZkDynamicSequence*>(g_pObjectIndex->Table(ZkIndexKind::DynamicSequences).Table().Find(id));
    }
    static uint32_t SequenceCount() { return g_pObjectIndex->Table(ZkIndexKind::DynamicSequences).Length(); }
    // Appends the items through LockPlaylist and UnlockPlaylist.
    static void Append(ZkPlayingID id, const std::vector<TestItem>& items)
    {
        Sequence::Playlist* playlist = Sequence::LockPlaylist(id);
        ASSERT_NE(playlist, nullptr);
        for (const TestItem& item : items)
            ASSERT_EQ(playlist->Enqueue(item.node, item.delayMs, item.customInfo), ZK_Success);
        ASSERT_EQ(Sequence::UnlockPlaylist(id), ZK_Success);
    }
    static uint32_t PlaylistLength(ZkPlayingID id)
    {
        Sequence::Playlist* playlist = Sequence::LockPlaylist(id);
        const uint32_t length = playlist != nullptr ? playlist->Length() : 0;
        Sequence::UnlockPlaylist(id);
        return length;
    }

    std::vector<SequenceReport> m_reports;
};
} // namespace ZkDynamicSequenceTest
