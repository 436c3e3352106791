// The hierarchy-item hook: builds the music objects of a bank's "HIRC" chunk.
#include "MusicEngine/MusicObjectFactory.h"

#include "MusicEngine/MusicEngineHooks.h"

#include "MusicEngine/CZkMusicPlaylistContainer.h"
#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/CZkMusicSwitchContainer.h"
#include "MusicEngine/CZkMusicTrack.h"
#include "MusicEngine/MusicEngineState.h"
#include "ZkAudiolib/Common/Banks/BankManager.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

namespace ZK::MusicEngine
{
using namespace SoundEngine;

namespace
{
constexpr uint8_t kSegmentType = 10;
constexpr uint8_t kTrackType = 11;
constexpr uint8_t kSwitchType = 12;
constexpr uint8_t kPlaylistType = 13;

// A node whose read failed lets go of what it linked, so that its release destroys it: its
// children (their parent links hold references on it) and its own parent.
void Detach(CZkHierarchyNode& node)
{
    if (CZkMusicNode::IsMusicNode(&node))
        static_cast<CZkMusicNode&>(node).UnlinkChildren();
    CZkHierarchyNode* parent = node.Parent();
    if (parent != nullptr)
    {
        parent->RemoveChild(&node);
        node.SetParent(nullptr);
    }
}

constexpr uint8_t kFirstType = kSegmentType;

template <typename Node, typename Read>
ZKRESULT CreateAndRead(ZkUniqueID id, CZkHierarchyNode*& object, Read read)
{
    Node* node = Node::Create(id);
    if (node == nullptr)
        return ZK_Fail;
    object = node;
    return read(*node);
}

ZKRESULT Construct(uint8_t type, ZkUniqueID id, const uint8_t* payload, uint32_t size, CZkHierarchyNode*& object)
{
    switch (type)
    {
    case kSegmentType:
        return CreateAndRead<CZkMusicSegment>(id, object, [&](auto& n) { return n.ReadFromBank(payload, size); });
    case kTrackType:
        return CreateAndRead<CZkMusicTrack>(id, object, [&](auto& n) { return n.ReadFromBank(payload, size, false); });
    case kSwitchType:
        return CreateAndRead<CZkMusicSwitchContainer>(id, object, [&](auto& n) { return n.ReadFromBank(payload, size); });
    default:
        return CreateAndRead<CZkMusicPlaylistContainer>(id, object, [&](auto& n) { return n.ReadFromBank(payload, size); });
    }
}

ZKRESULT TakeItem(uint8_t type, const uint8_t* payload, uint32_t size, LoadedBank& bank)
{
    const ZkUniqueID id = ZK::LoadLittleEndian<uint32_t>(payload);
    auto* present = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(id, false));
    if (present != nullptr)
    {
        // The first bank's payload stays in force, except for a track whose media are not in memory.
        if (type == kTrackType && present->Category() == kCategoryMusicTrack &&
            !static_cast<CZkMusicTrack*>(present)->AnySourceInMemory())
        {
            ZKRESULT reread;
            {
                ZK::Platform::ZkScopedLock guard(g_EngineLock);
                reread = static_cast<CZkMusicTrack*>(present)->ReadFromBank(payload, size, true);
            }
            if (reread != ZK_Success && reread != ZK_AlreadyExists)
            {
                present->Release();
                return reread;
            }
        }
        BankManager::AddLoadedItem(bank, present);
        return ZK_Success;
    }

    CZkHierarchyNode* object = nullptr;
    ZKRESULT result;
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        result = BuildMusicObject(type, payload, size, object);
    }
    if (result == ZK_Success && object != nullptr)
        BankManager::AddLoadedItem(bank, object);
    return result == ZK_AlreadyExists ? ZK_Success : result;
}
} // namespace

ZKRESULT BuildMusicObject(uint8_t type, const uint8_t* payload, uint32_t size, CZkHierarchyNode*& object)
{
    object = nullptr;
    if (type < kFirstType || type > kPlaylistType || size < sizeof(ZkUniqueID))
        return ZK_InvalidFile;
    CZkHierarchyNode* built = nullptr;
    const ZKRESULT result = Construct(type, ZK::LoadLittleEndian<uint32_t>(payload), payload, size, built);
    if (result == ZK_Success)
    {
        object = built;
        return ZK_Success;
    }
    if (built != nullptr)
    {
        Detach(*built);
        built->Release();
    }
    return result;
}

ZKRESULT ZkMusicObjectFactoryHook(const uint8_t* itemHeader, LoadedBank* bank, ZkBankID)
{
    if (!MusicEngineState::Get().IsRunning())
        return ZK_PartialSuccess;
    const uint8_t type = itemHeader[0];
    if (type < kSegmentType || type > kPlaylistType)
        return ZK_PartialSuccess;
    if (bank == nullptr || g_pBankManager == nullptr || g_pObjectIndex == nullptr)
        return ZK_Fail;
    const uint32_t size = ZK::LoadLittleEndian<uint32_t>(itemHeader + 1);
    if (size < sizeof(ZkUniqueID))
        return ZK_InvalidFile;
    BankReader& reader = g_pBankManager->Reader();
    const uint8_t* payload = reader.GetData(size);
    if (payload == nullptr)
        return ZK_Fail;
    const ZKRESULT result = TakeItem(type, payload, size, *bank);
    reader.ReleaseData();
    return result;
}
} // namespace ZK::MusicEngine
