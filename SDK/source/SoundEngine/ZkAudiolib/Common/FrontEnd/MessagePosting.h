// The common steps of the interface calls that post a message: finding the engine's ring, posting a
// fixed-size body, reserving a message whose size depends on a list (refused with 31 before
// anything is reserved when it would not fit the ring or the 16-bit size field), giving a reserved
// message up (it stays in the ring as type 61 and the reader skips it), and the argument checks the
// calls share (finite values, clamping, transforms).
//
// Threading: any thread; the ring's writers take no lock. Ownership: a reserved message belongs to
// its poster until Finish or Abandon, then to the ring.
#pragma once

#include "ZkAudiolib/Common/FrontEnd/CZkMessageRing.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkPositionTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ZK::SoundEngine::MessagePosting
{
// The largest message the 16-bit size field can describe.
constexpr uint64_t kSizeFieldLimit = 65535;

// The engine's ring, or null before the engine's initialisation and after its termination.
CZkMessageRing* EngineRing();

// The largest message this ring takes: min(its limit, 65,535).
uint32_t LargestMessage(const CZkMessageRing& ring);

// Posts a fixed-size message. 1; 2 without an engine; 31 when the ring refuses it.
template <typename Body>
ZKRESULT PostFixed(uint16_t type, const Body& body)
{
    CZkMessageRing* ring = EngineRing();
    if (ring == nullptr)
        return ZK_Fail;
    return ring->Post(type, body) ? ZK_Success : ZK_InvalidParameter;
}

// Posts a fixed-size message that carries a copy of bytes (made in pool; none for 0 bytes), whose
// address goes into the body's field; the engine frees it with the message. 1; 2 without an engine;
// 52 when the copy cannot be made; 31 when the ring refuses the message (the copy is freed).
template <typename Body, typename Item>
ZKRESULT PostWithCopy(uint16_t type, Body body, Item* Body::*field, const void* bytes, size_t size, ZkMemoryId pool)
{
    CZkMessageRing* ring = EngineRing();
    if (ring == nullptr)
        return ZK_Fail;
    void* copy = nullptr;
    if (size > 0)
    {
        copy = ZK::MemoryMgr::Malloc(pool, size);
        if (copy == nullptr)
            return ZK_InsufficientMemory;
        std::memcpy(copy, bytes, size);
    }
    body.*field = static_cast<Item*>(copy);
    if (ring->Post(type, body))
        return ZK_Success;
    if (copy != nullptr)
        ZK::MemoryMgr::Free(pool, copy);
    return ZK_InvalidParameter;
}

// Reserves a message of size bytes (the head and the items), its body zeroed. Null with result: 2
// without an engine; 31 when size is larger than the ring takes (nothing reserved then).
uint8_t* Reserve(uint16_t type, uint64_t size, ZKRESULT& result);
void Finish();
// Posts a message of size bytes: the head, then itemBytes of items copied whole (the rest zero).
// 1; 2 without an engine; 31 when size is larger than the ring takes.
template <typename Head>
ZKRESULT PostHeadAndItems(uint16_t type, const Head& head, const void* items, size_t itemBytes, uint64_t size)
{
    ZKRESULT result = ZK_Success;
    uint8_t* message = Reserve(type, size, result);
    if (message == nullptr)
        return result;
    std::memcpy(message + kMessageHeaderBytes, &head, sizeof(head));
    if (itemBytes > 0)
        std::memcpy(message + kMessageHeaderBytes + sizeof(head), items, itemBytes);
    Finish();
    return ZK_Success;
}
// The message is filled: it belongs to the engine now.
void Finish();
// The message is given up after a later check failed: type 61, and the reader skips it.
void Abandon(uint8_t* message);

inline bool IsFinite(float value)
{
    return std::isfinite(value);
}

// 0 for negative values and NaN, maximum for values above it.
inline float ClampLevel(float value, float maximum)
{
    if (!(value > 0.0f))
        return 0.0f;
    return value > maximum ? maximum : value;
}

// Positions must be finite; both orientation vectors of a squared length in (0.9, 1.1) and nearly
// orthogonal (the square of their dot product below 0.1).
bool IsValidTransform(const ZkTransform& transform);
} // namespace ZK::SoundEngine::MessagePosting
