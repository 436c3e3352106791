// CZkMessageRing: the engine's message ring. Every state-changing call of the sound engine's
// interface reserves a typed message here and fills its body; the engine reads the messages in
// order and applies them through its message dispatcher. RenderAudio closes a batch with a frame
// marker (EndFrame); the engine reads only whole batches, so the messages posted before a
// RenderAudio take effect in one engine frame, in posting order.
//
// Writers (any thread, any number): ReserveMessage, fill the body after the 4-byte header, then
// FinishMessage (or AbandonMessage). The fast path is lock-free: one compare-and-swap of the write
// position. A writer that finds the ring full takes the global engine lock, drains about half of
// the ring itself (as the reader) and retries, so a post never fails for lack of room. A message
// must take less than a quarter of the ring (LargestMessageBytes): a larger one is refused at once.
// Reader (one at a time, always under the global engine lock): ProcessMessages, by the engine tick
// or by a writer that found the ring full.
//
// Layout: messages are contiguous and never wrap; a message that does not fit before the buffer end
// goes to the buffer start and a wrap marker fills the tail. One free word always separates the
// write position from the read position, so a full ring never looks empty.
//
// Memory layout: the writers' position, the reader's position, the writer count and the pending
// frame count each sit on a cache line of their own, apart from the fields that never change after
// Init, so that writers and the reader only share the lines they must. The reader publishes its
// position once per batch (and every eighth of the ring within a long one) rather than after every
// message: a writer that finds no room takes the global engine lock, which the reader holds for the
// whole batch, and finds the position published when it gets the lock.
//
// Ownership: the ring owns its buffer (memory pool 16) from Init to Term. A reserved message
// belongs to its writer until FinishMessage; after that to the ring.
#pragma once

#include "ZkAudiolib/Common/FrontEnd/EngineMessage.h"
#include "ZkAudiolib/Common/FrontEnd/IZkMessageDispatcher.h"

#include "Platform/PlatformEvent.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace ZK::SoundEngine
{
class CZkMessageRing
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_EngineSingletons;
    static constexpr uint32_t kDefaultCapacityBytes = 0x40000; // 256 KiB
    // While at most half of the ring is used, at least a quarter of it is free in one piece (before
    // the buffer end or before the reader). So the ring accepts only a message that, with the free
    // word kept in front of the reader, takes less than a quarter of it: such a message always finds
    // room once a writer has drained the ring to half, and no post waits forever. A larger message
    // could find no room in a ring that no writer may drain (at most half full) and would spin until
    // the engine consumed a frame, or for ever without one.
    //
    // The smallest ring takes every fixed-size message and the one-element form of every message
    // that carries an array (kLargestMessageEveryRingTakes): 4 x (60 + 4) + 1 = 257 bytes.
    static constexpr uint32_t kMinimumCapacityBytes = 4 * (kLargestMessageEveryRingTakes + kMessageHeaderBytes) + 1;

    CZkMessageRing() = default;
    ~CZkMessageRing() { Term(); }
    CZkMessageRing(const CZkMessageRing&) = delete;
    CZkMessageRing& operator=(const CZkMessageRing&) = delete;

    // Allocates the buffer. 1; 31 for a capacity below kMinimumCapacityBytes, a null dispatcher or
    // a ring already initialised; 2 when the buffer cannot be allocated.
    ZKRESULT Init(uint32_t capacityBytes, IZkMessageDispatcher* dispatcher);
    // Discards the messages still queued (through the dispatcher's Discard) and frees the buffer.
    // Called when no writer or reader is left.
    void Term();
    bool IsInitialized() const { return m_start != nullptr; }

    // Reserves a message of size bytes (rounded up to 4), writes its header and returns it with the
    // writer count raised; the caller fills the body and calls FinishMessage. Waits (draining the
    // ring under the global engine lock) while the ring is full. Null, at once and with nothing
    // written, for a message larger than LargestMessageBytes.
    uint8_t* ReserveMessage(uint16_t type, uint32_t size);
    // The lock-free attempt alone: rounds size in place; null (writer count unchanged) when there
    // is no room now or the message is larger than LargestMessageBytes. No header is written.
    uint8_t* TryReserveMessage(uint32_t& size);
    // The largest message (rounded size) this ring accepts: 4 x (size + 4) < capacity, and no more
    // than kLargestMessageBytes. A poster of an array checks its full size against it first.
    uint32_t LargestMessageBytes() const { return m_largestMessage; }
    // The writer has filled its message.
    void FinishMessage() { m_writerCount.fetch_sub(1, std::memory_order_release); }
    // Reserves, fills and finishes a message whose body has a fixed size, writing the body with one
    // copy of that size. False (nothing posted) only for a message the ring refuses, as
    // ReserveMessage.
    template <typename Body>
    bool Post(uint16_t type, const Body& body)
    {
        static_assert(std::is_trivially_copyable_v<Body>, "a message body is plain bytes");
        constexpr uint32_t size = RoundMessageSize(kMessageHeaderBytes + sizeof(Body));
        uint8_t* message = IsInitialized() && Accepts(size) ? TryReserveAhead(size) : nullptr;
        if (message != nullptr)
            WriteMessageHeader(message, size, type);
        else if ((message = ReserveMessage(type, size)) == nullptr)
            return false;
        std::memcpy(message + kMessageHeaderBytes, &body, sizeof(Body));
        FinishMessage();
        return true;
    }
    // The writer gives its message up: the reader skips it.
    void AbandonMessage(uint8_t* message);

    // Closes the batch: when the ring holds messages, posts a frame marker, waits until every
    // message reserved before it is filled, counts the frame and signals wakeEvent (may be null).
    // Returns whether a marker was posted; an empty ring posts nothing and wakes nobody.
    bool EndFrame(ZK::Platform::ZkEvent* wakeEvent);

    // Spins until no writer is filling a message (yielding, then sleeping longer and longer).
    void WaitForWriters();

    // The reader, under the global engine lock. Called by the engine tick (calledByWriter false):
    // applies every counted frame batch; nothing when no frame is counted. Called by a writer: only
    // when more than half the ring is used, applies about half of it (or up to the last counted
    // frame marker). deviceChanged reports a dispatched output-device change. True when it read.
    bool ProcessMessages(bool calledByWriter, bool& deviceChanged);

    // Skips every queued message, handing each (markers excepted) to the dispatcher's Discard.
    void DiscardMessages();

    uint32_t Capacity() const { return m_capacity; }
    uint32_t UsedBytes() const;
    bool IsEmpty() const { return UsedBytes() == 0; }
    int32_t PendingFrameCount() const { return m_pendingFrames.load(std::memory_order_acquire); }
    int32_t WriterCount() const { return m_writerCount.load(std::memory_order_acquire); }
    // Positions as offsets from the buffer start (diagnostics and tests).
    uint32_t ReadOffset() const;
    uint32_t WriteOffset() const;

private:
    // A message holds at least its header.
    bool Accepts(uint32_t size) const { return size >= kMessageHeaderBytes && size <= m_largestMessage; }
    // The common case of the lock-free attempt, inline: room before the buffer end with the reader
    // behind, and no other writer moving the position in between. Null otherwise (writer count as
    // before), and the full attempt decides.
    uint8_t* TryReserveAhead(uint32_t roundedSize)
    {
        m_writerCount.fetch_add(1, std::memory_order_acq_rel);
        uint8_t* w = m_write.load(std::memory_order_acquire);
        const uint8_t* r = m_read.load(std::memory_order_acquire);
        if (r <= w && roundedSize + kMessageHeaderBytes < static_cast<uint64_t>(m_end - w) &&
            m_write.compare_exchange_strong(w, w + roundedSize, std::memory_order_acq_rel))
            return w;
        m_writerCount.fetch_sub(1, std::memory_order_release);
        return nullptr;
    }
    static uint32_t LargestMessageFor(uint32_t capacity);
    uint8_t* AttemptReservation(uint32_t roundedSize);
    uint8_t* ReserveUnderEngineLock(uint32_t roundedSize);
    // The reader; a writer passes the write position up to which every message is known complete.
    bool Process(bool calledByWriter, uint8_t* limit, bool& deviceChanged);
    uint8_t* NextMessage(uint8_t* message, uint32_t size) const
    {
        uint8_t* next = message + RoundMessageSize(size);
        return next >= m_end ? m_start : next;
    }
    uint8_t* SkipShortTail(uint8_t* position) const
    {
        // Fewer bytes than a header before the end: no wrap marker could be written there.
        return m_end - position < static_cast<ptrdiff_t>(kMessageHeaderBytes) ? m_start : position;
    }
    uint32_t Distance(const uint8_t* from, const uint8_t* to) const;
    // A full memory barrier, as a sequentially consistent read-modify-write of a ring word (which
    // also orders it for the thread sanitizer, which does not model stand-alone fences).
    static void FullFence(std::atomic<int32_t>& word) { word.fetch_add(0, std::memory_order_seq_cst); }

    static constexpr size_t kCacheLineBytes = 64;

    // Set by Init, read by everyone.
    alignas(kCacheLineBytes) uint8_t* m_start = nullptr;
    uint8_t* m_end = nullptr;
    uint32_t m_capacity = 0;
    uint32_t m_largestMessage = 0;
    IZkMessageDispatcher* m_dispatcher = nullptr;
    // Moved by the writers' compare-and-swap.
    alignas(kCacheLineBytes) std::atomic<uint8_t*> m_write{nullptr};
    // Moved by the reader, read by the writers.
    alignas(kCacheLineBytes) std::atomic<uint8_t*> m_read{nullptr};
    alignas(kCacheLineBytes) std::atomic<int32_t> m_writerCount{0};
    alignas(kCacheLineBytes) std::atomic<int32_t> m_pendingFrames{0};
    char m_padding[kCacheLineBytes - sizeof(std::atomic<int32_t>)] = {}; // nothing else on its line
};
} // namespace ZK::SoundEngine
