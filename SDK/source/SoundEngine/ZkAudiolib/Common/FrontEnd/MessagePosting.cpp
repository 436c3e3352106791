// The common steps of the posting calls.
#include "ZkAudiolib/Common/FrontEnd/MessagePosting.h"

#include "ZkAudiolib/Common/FrontEnd/EventManager.h"

#include <algorithm>
#include <cstring>

namespace ZK::SoundEngine::MessagePosting
{
namespace
{
constexpr float kMinimumSquaredLength = 0.9f;
constexpr float kMaximumSquaredLength = 1.1f;
constexpr float kMaximumSquaredDot = 0.1f;

float Dot(const ZkVector& a, const ZkVector& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

bool IsUnitLength(const ZkVector& v)
{
    const float squared = Dot(v, v);
    return squared > kMinimumSquaredLength && squared < kMaximumSquaredLength;
}
} // namespace

CZkMessageRing* EngineRing()
{
    if (g_pEventMgr == nullptr || !g_pEventMgr->Ring().IsInitialized())
        return nullptr;
    return &g_pEventMgr->Ring();
}

uint32_t LargestMessage(const CZkMessageRing& ring)
{
    return static_cast<uint32_t>(std::min<uint64_t>(ring.LargestMessageBytes(), kSizeFieldLimit));
}

uint8_t* Reserve(uint16_t type, uint64_t size, ZKRESULT& result)
{
    CZkMessageRing* ring = EngineRing();
    if (ring == nullptr)
    {
        result = ZK_Fail;
        return nullptr;
    }
    if (size > LargestMessage(*ring))
    {
        result = ZK_InvalidParameter;
        return nullptr;
    }
    uint8_t* message = ring->ReserveMessage(type, static_cast<uint32_t>(size));
    if (message == nullptr)
    {
        result = ZK_InvalidParameter;
        return nullptr;
    }
    const uint32_t rounded = RoundMessageSize(static_cast<uint32_t>(size));
    std::memset(message + kMessageHeaderBytes, 0, rounded - kMessageHeaderBytes);
    result = ZK_Success;
    return message;
}

void Finish()
{
    g_pEventMgr->FinishMessage();
}

void Abandon(uint8_t* message)
{
    g_pEventMgr->Ring().AbandonMessage(message);
}

bool IsValidTransform(const ZkTransform& transform)
{
    const ZkVector& position = transform.position;
    if (!IsFinite(position.x) || !IsFinite(position.y) || !IsFinite(position.z))
        return false;
    if (!IsUnitLength(transform.front) || !IsUnitLength(transform.top))
        return false;
    const float dot = Dot(transform.front, transform.top);
    return dot * dot < kMaximumSquaredDot;
}
} // namespace ZK::SoundEngine::MessagePosting
