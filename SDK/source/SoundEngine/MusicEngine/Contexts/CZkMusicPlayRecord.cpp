#include "MusicEngine/Contexts/CZkMusicPlayRecord.h"

#include "MusicEngine/CZkMusicNode.h"
#include "MusicEngine/Contexts/CZkMusicTimelineContext.h"
#include "MusicEngine/Contexts/MusicNodePlays.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace ZK::MusicEngine
{
using SoundEngine::g_pStateMgr;

namespace
{
constexpr uint64_t kSpeedMask = 1ull << kParamPlaybackSpeed;
} // namespace

CZkMusicPlayRecord* CZkMusicPlayRecord::Create(CZkMusicTimelineContext& root, const ZkMusicPlayInfo& playInfo,
                                               CZkRegisteredObj* gameObject, uint8_t option)
{
    void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(CZkMusicPlayRecord));
    if (memory == nullptr)
        return nullptr;
    auto* record = new (memory) CZkMusicPlayRecord(gameObject, playInfo.playingID);
    if (g_pStateMgr != nullptr && g_pStateMgr->RegisterTriggerTarget(record, gameObject) != ZK_Success)
    {
        record->~CZkMusicPlayRecord();
        ZK::MemoryMgr::Free(kPool, memory);
        return nullptr;
    }
    record->root = &root;
    record->playInfo = playInfo;
    if (playInfo.externalSources != nullptr)
        playInfo.externalSources->AddRef();
    record->gameObject = gameObject;
    if (gameObject != nullptr)
        gameObject->AddRef();
    record->option = option;
    return record;
}

CZkMusicPlayRecord::CZkMusicPlayRecord(CZkRegisteredObj* object, ZkPlayingID playingID)
    : m_speedListener(ZkRTPCKey::ForObject(object, playingID))
{
}

void CZkMusicPlayRecord::Destroy()
{
    DiscardStingers();
    m_speedListener.Follow(nullptr);
    if (g_pStateMgr != nullptr)
        g_pStateMgr->UnregisterTriggerTarget(this);
    if (gameObject != nullptr)
        gameObject->Release();
    if (playInfo.externalSources != nullptr)
        playInfo.externalSources->Release();
    this->~CZkMusicPlayRecord();
    ZK::MemoryMgr::Free(kPool, this);
}

ZKRESULT CZkMusicPlayRecord::OnBankUnload(SoundEngine::LoadedBank* bank)
{
    // Players move to another loaded copy of their media where one exists; the others stop.
    m_trackPlayers.StopPlayersOfBank(bank, true);
    return ZK_Success;
}

void CZkMusicPlayRecord::ExecuteAction(const SoundEngine::ZkActionParams& params)
{
    if (root == nullptr || !PlayMatches(*this, params))
        return;
    if (params.exceptionCount > 0)
        if (const CZkMusicNode* node = root->GetNode(); node != nullptr && node->IsExcepted(params))
            return;
    ApplyActionToRoot(*root, params);
}

CZkMusicNode* CZkMusicPlayRecord::CurrentSegmentNode() const
{
    return root != nullptr ? root->CurrentSegmentNode() : nullptr;
}

float CZkMusicPlayRecord::EvaluateSpeed(const CZkMusicNode& node, uint32_t frameLength) const
{
    float wanted = node.EffectivePlaybackSpeed(1.0f, ZkRTPCKey::ForObject(gameObject, playInfo.playingID));
    // A speed that is not a number (a bank's property) plays at the normal speed.
    if (std::isnan(wanted))
        wanted = 1.0f;
    wanted = std::clamp(wanted, kMinSpeed, kMaxSpeed);
    const float frame = static_cast<float>(frameLength);
    const auto samples = static_cast<uint32_t>(std::round(frame * wanted));
    return frameLength > 0 ? static_cast<float>(samples) / frame : wanted;
}

void CZkMusicPlayRecord::Advance(uint32_t frameLength)
{
    CZkMusicTimelineContext* playing = root;
    playing->AddRef();
    if ((playing->StateByte() & 0x3) != 0 && !playing->IsPaused())
    {
        CZkMusicNode* segment = CurrentSegmentNode();
        if (!speedEvaluated && segment != nullptr)
        {
            if (refreshValue != 0)
                playing->ReleaseModulators();
            m_speedListener.Follow(segment);
            const float evaluated = EvaluateSpeed(*segment, frameLength);
            if (evaluated != speed)
            {
                speed = evaluated;
                playing->SetParameter(kParamIdPlaybackSpeed, speed, static_cast<float>(frameLength));
            }
            speedEvaluated = true;
            refreshValue = 0;
        }
        frameAdvance = static_cast<uint32_t>(std::round(static_cast<float>(frameLength) * speed));
        ZkMusicFrameInfo frame;
        playing->Process(clock, frameAdvance, frame);
        m_trackPlayers.AdvanceFrame(frameAdvance, speed, frameLength);
        clock += frameAdvance;
        playing->EndFrame();
        if (CurrentSegmentNode() != segment)
            speedEvaluated = false;
    }
    // The last reference may end the play and destroy this record.
    playing->Release();
}

void CZkMusicPlayRecord::SpeedListener::GetParamMask(uint64_t& mask)
{
    mask = kSpeedMask;
}

void CZkMusicPlayRecord::SpeedListener::OnParamValue(uint32_t bit, uint32_t, ZkUniqueID, float value, float delta)
{
    CZkHierarchyNode* node = RegisteredNode();
    if (node != nullptr && CZkMusicNode::IsMusicNode(node))
        static_cast<CZkMusicNode*>(node)->ReceiveParamValue(bit, Key(), value, delta, nullptr);
}

void CZkMusicPlayRecord::SpeedListener::Follow(CZkMusicNode* node)
{
    if (RegisteredNode() == node)
        return;
    Unregister(kSpeedMask, false);
    if (node == nullptr)
        return;
    RegisterWithNode(node, kSpeedMask, false);
    // Gathered into the node's lists but not recorded in the registry: nothing would take it out
    // of the lists again.
    if (RegisteredNode() == nullptr)
        node->ClearInheritedSubscriptions(this, kSpeedMask, false);
}
} // namespace ZK::MusicEngine
