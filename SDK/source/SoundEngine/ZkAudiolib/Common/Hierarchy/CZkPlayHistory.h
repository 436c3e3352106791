// CZkPlayHistory: what a playlist container has played, kept per game object, once for all game
// objects, or per play chain (the chain item's own copy). Two kinds: CZkSequenceHistory (a position
// and a direction) and CZkRandomHistory (the avoid-repeat window and the current shuffle cycle of n
// entries). The selection steps live here so that the container, the chain's continuous player and
// other selectors share one implementation.
//
// Weights are int32 in a history: the container refuses a list whose total does not fit, so every
// sum below stays in range. A history read from the game's bytes is checked against the list it
// will serve (IsConsistent) before it replaces anything, so a draw never walks past the bit arrays.
//
// Threading: audio thread, or the game's thread under the global engine lock (history blob).
// Ownership: memory pool 0; the owner (container or chain item) destroys it with Release.
#pragma once

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <ZK/SoundEngine/Common/ZkBytesInterfaces.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK
{
class ZkLcg64;
}

namespace ZK::SoundEngine
{
// The weights a selection reads (a playlist's entry list).
class IZkWeightSource
{
public:
    virtual uint32_t Count() const = 0;
    virtual int32_t Weight(uint32_t index) const = 0;

protected:
    ~IZkWeightSource() = default;
};

// The selection settings of the container.
struct ZkRandomSettings
{
    uint16_t avoidRepeatCount = 0;
    uint8_t randomType = 0; // 0 standard; any other value shuffles
    bool weighted = false;
};

// The loop counter of a play-chain item: bit 0 finite (more than one pass), bit 1 infinite.
struct ZkLoopCounter
{
    int16_t& loopsLeft;
    uint8_t& flags;
    // Counts a finished pass. False when the play ends with it.
    bool CountPass();
};

using CZkU16Array = ZK::ZkArray<uint16_t>;

class CZkPlayHistory
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    enum class Kind : uint8_t
    {
        Sequence,
        Random,
    };

    virtual ~CZkPlayHistory() = default;
    virtual Kind HistoryKind() const = 0;
    // A copy in a new block; null out of memory.
    virtual CZkPlayHistory* Clone() const = 0;
    // The history's bytes (little-endian). False when the stream refuses them.
    virtual bool Write(WriteBytesInterface& bytes) const = 0;
    // Parses the history's bytes from the cursor. 1; 2 short, or a field no history can hold.
    virtual ZKRESULT Read(ZK::ZkByteCursor& cursor) = 0;
    // Whether the history can serve a list of count entries of this total weight.
    virtual bool IsConsistent(uint32_t count, int64_t totalWeight) const = 0;
    // Destroys and frees the history.
    void Release();

    // A cleared bit array for count entries ((count + 7) / 8 bytes, pool 0; null for 0 entries).
    // 1; 2 out of memory.
    static ZKRESULT AllocBits(uint32_t count, uint8_t*& bits);
};

class CZkSequenceHistory final : public CZkPlayHistory
{
public:
    // A new history (forward, nothing played); null out of memory.
    static CZkSequenceHistory* Create();

    Kind HistoryKind() const override { return Kind::Sequence; }
    CZkPlayHistory* Clone() const override;
    bool Write(WriteBytesInterface& bytes) const override;
    ZKRESULT Read(ZK::ZkByteCursor& cursor) override;
    bool IsConsistent(uint32_t count, int64_t totalWeight) const override;

    // One step through count entries (count at least 1). Past the end: back one when bouncing
    // (reverseAtEnd), else to 0 (a pass ends); backward at 0: to 1 and forward (a pass ends). With
    // a loop counter, a finished pass is counted and -1 means the play ends. Returns lastIndex.
    int32_t Step(uint32_t count, bool reverseAtEnd, ZkLoopCounter* loop);

    uint8_t forward = 1;
    int16_t lastIndex = -1;
};

class CZkRandomHistory final : public CZkPlayHistory
{
public:
    ~CZkRandomHistory() override;
    // A new history for count entries, every entry of weight 50000 (the caller sets the weights
    // of a weighted list); null out of memory.
    static CZkRandomHistory* Create(uint32_t count, uint16_t avoidRepeatCount);

    Kind HistoryKind() const override { return Kind::Random; }
    CZkPlayHistory* Clone() const override;
    bool Write(WriteBytesInterface& bytes) const override;
    ZKRESULT Read(ZK::ZkByteCursor& cursor) override;
    bool IsConsistent(uint32_t count, int64_t totalWeight) const override;

    // The random pick among the list's eligible entries, drawn from random. -1 when nothing is
    // eligible, or (with a loop counter) when the play ends at the end of a cycle.
    int32_t RandomIndex(const IZkWeightSource& list, const ZkRandomSettings& settings, ZkLoopCounter* loop,
                        ZK::ZkLcg64& random);
    // Records a pick in the avoid-repeat window of standard random selection. 1; 2 when the window
    // cannot grow (the cycle is then ended).
    ZKRESULT RecordRecent(const IZkWeightSource& list, const ZkRandomSettings& settings, uint32_t pick);
    // Whether the entry may be picked now.
    bool IsEligible(uint32_t index, const ZkRandomSettings& settings) const;

    bool Played(uint32_t index) const { return TestBit(m_played, index); }
    bool Blocked(uint32_t index) const { return TestBit(m_blocked, index); }
    uint32_t EntryCount() const { return m_count; }
    const CZkU16Array& Recent() const { return recent; }

    int32_t totalWeight = 0;
    int32_t remainingWeight = 0;
    uint16_t selectableCount = 0;
    uint16_t cycleRemaining = 0;
    CZkU16Array recent;

private:
    static bool TestBit(const uint8_t* bits, uint32_t index) { return (bits[index >> 3] >> (index & 7)) & 1u; }
    static void SetBit(uint8_t* bits, uint32_t index, bool set);
    uint32_t BitBytes() const { return (m_count + 7) / 8; }
    void StartCycle(const IZkWeightSource& list, const ZkRandomSettings& settings);
    // Drops the oldest entry of the window while it holds more than window entries.
    void TrimWindow(const IZkWeightSource& list, uint32_t window, bool unlessBlocked);
    ZKRESULT Append(uint32_t pick);

    uint8_t* m_played = nullptr;
    uint8_t* m_blocked = nullptr;
    uint32_t m_count = 0;
};
} // namespace ZK::SoundEngine
