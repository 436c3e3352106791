// A music object's bank payload over arbitrary bytes, built as the hierarchy-item hook builds it:
// the first byte chooses the item type (10 + byte % 4: segment, track, switch or playlist
// container), the rest is the payload. A track (id 1) and a segment (id 2) wait in the object
// index so that child lists can link them. Whatever the result, the payload is read within its
// size, and once the object and the two waiting nodes are released nothing is left in the index
// and no subscription remains.
#include "support/GameSyncScope.h"

#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/CZkMusicTrack.h"
#include "MusicEngine/MusicObjectFactory.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using kp::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ZK::SoundEngine;
    using namespace ZK::MusicEngine;
    if (size == 0)
        return 0;
    kp::fuzz::StartSoundMemory();
    kp::fuzz::GameSyncScope scope;
    CZkMusicTrack* track = CZkMusicTrack::Create(1);
    CZkMusicSegment* segment = CZkMusicSegment::Create(2);
    Check(track != nullptr && segment != nullptr);
    // A copy of exactly the payload's bytes, so that a read past it is seen.
    std::vector<std::uint8_t> payload(data + 1, data + size);
    const auto type = static_cast<std::uint8_t>(10 + data[0] % 4);
    CZkHierarchyNode* object = nullptr;
    const ZKRESULT result =
        BuildMusicObject(type, payload.data(), static_cast<std::uint32_t>(payload.size()), object);
    Check((result == ZK_Success) == (object != nullptr));
    if (object != nullptr)
    {
        if (CZkMusicNode::IsMusicNode(object))
            static_cast<CZkMusicNode*>(object)->UnlinkChildren();
        if (object->Parent() != nullptr)
        {
            object->Parent()->RemoveChild(object);
            object->SetParent(nullptr);
        }
        object->Release();
    }
    segment->UnlinkChildren();
    track->Release();
    segment->Release();
    Check(g_pObjectIndex->Table(ZkIndexKind::Nodes).Length() == 0);
    Check(g_pRTPCMgr->SubscriptionCount() == 0);
    return 0;
}
