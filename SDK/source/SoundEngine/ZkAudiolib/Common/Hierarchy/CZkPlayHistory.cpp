#include "ZkAudiolib/Common/Hierarchy/CZkPlayHistory.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"

#include <algorithm>
#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
constexpr int32_t kDefaultWeight = 50000;

template <typename T>
bool WriteValue(WriteBytesInterface& bytes, T value)
{
    int32_t written = 0;
    return bytes.WriteBytes(&value, sizeof(T), written);
}
} // namespace

bool ZkLoopCounter::CountPass()
{
    if ((flags & 0x01) == 0)
        return false;
    if ((flags & 0x02) != 0)
        return true;
    return loopsLeft-- != 1;
}

void CZkPlayHistory::Release() { ZK::ZkDelete(kPool, this); }

ZKRESULT CZkPlayHistory::AllocBits(uint32_t count, uint8_t*& bits)
{
    bits = nullptr;
    if (count == 0)
        return ZK_Success;
    const uint32_t size = (count + 7) / 8;
    bits = static_cast<uint8_t*>(ZK::MemoryMgr::Malloc(kPool, size));
    if (bits == nullptr)
        return ZK_Fail;
    std::memset(bits, 0, size);
    return ZK_Success;
}

// --- Sequence ---

CZkSequenceHistory* CZkSequenceHistory::Create() { return ZK::ZkNew<CZkSequenceHistory>(kPool); }

CZkPlayHistory* CZkSequenceHistory::Clone() const
{
    CZkSequenceHistory* copy = Create();
    if (copy != nullptr)
    {
        copy->forward = forward;
        copy->lastIndex = lastIndex;
    }
    return copy;
}

bool CZkSequenceHistory::Write(WriteBytesInterface& bytes) const
{
    return WriteValue(bytes, forward) && WriteValue(bytes, lastIndex);
}

ZKRESULT CZkSequenceHistory::Read(ZK::ZkByteCursor& cursor)
{
    return cursor.Read(forward) && cursor.Read(lastIndex) ? ZK_Success : ZK_Fail;
}

bool CZkSequenceHistory::IsConsistent(uint32_t count, int64_t) const
{
    return forward <= 1 && lastIndex >= -1 && lastIndex < static_cast<int32_t>(count);
}

int32_t CZkSequenceHistory::Step(uint32_t count, bool reverseAtEnd, ZkLoopCounter* loop)
{
    bool passEnded = false;
    if (forward != 0)
    {
        if (lastIndex + 1 < static_cast<int32_t>(count))
            ++lastIndex;
        else if (reverseAtEnd && count > 1)
        {
            forward = 0;
            --lastIndex;
        }
        else
        {
            lastIndex = 0;
            passEnded = true;
        }
    }
    else if (lastIndex > 0)
        --lastIndex;
    else
    {
        lastIndex = count > 1 ? 1 : 0;
        forward = 1;
        passEnded = true;
    }
    if (passEnded && loop != nullptr && !loop->CountPass())
        return -1;
    return lastIndex;
}

// --- Random ---

CZkRandomHistory::~CZkRandomHistory()
{
    ZK::MemoryMgr::Free(kPool, m_played);
    ZK::MemoryMgr::Free(kPool, m_blocked);
}

CZkRandomHistory* CZkRandomHistory::Create(uint32_t count, uint16_t avoidRepeatCount)
{
    auto* history = ZK::ZkNew<CZkRandomHistory>(kPool);
    if (history == nullptr)
        return nullptr;
    history->m_count = count;
    if (AllocBits(count, history->m_played) != ZK_Success || AllocBits(count, history->m_blocked) != ZK_Success ||
        (avoidRepeatCount > 0 && history->recent.Reserve(std::min<uint32_t>(avoidRepeatCount, 4)) != ZK_Success))
    {
        history->Release();
        return nullptr;
    }
    history->totalWeight = history->remainingWeight = static_cast<int32_t>(count) * kDefaultWeight;
    history->selectableCount = history->cycleRemaining = static_cast<uint16_t>(count);
    return history;
}

CZkPlayHistory* CZkRandomHistory::Clone() const
{
    CZkRandomHistory* copy = Create(m_count, 0);
    if (copy == nullptr)
        return nullptr;
    if (copy->recent.Reserve(recent.Length()) != ZK_Success)
    {
        copy->Release();
        return nullptr;
    }
    for (uint16_t entry : recent)
        copy->recent.AddLast(entry);
    std::memcpy(copy->m_played, m_played, BitBytes());
    std::memcpy(copy->m_blocked, m_blocked, BitBytes());
    copy->totalWeight = totalWeight;
    copy->remainingWeight = remainingWeight;
    copy->selectableCount = selectableCount;
    copy->cycleRemaining = cycleRemaining;
    return copy;
}

bool CZkRandomHistory::Write(WriteBytesInterface& bytes) const
{
    int32_t written = 0;
    bool ok = WriteValue(bytes, static_cast<uint16_t>(m_count)) && WriteValue(bytes, totalWeight) &&
              WriteValue(bytes, remainingWeight) && WriteValue(bytes, selectableCount) &&
              WriteValue(bytes, cycleRemaining) && WriteValue(bytes, static_cast<uint16_t>(recent.Length()));
    const auto bitBytes = static_cast<int32_t>(BitBytes());
    ok = ok && (bitBytes == 0 || (bytes.WriteBytes(m_played, bitBytes, written) &&
                                  bytes.WriteBytes(m_blocked, bitBytes, written)));
    for (uint32_t index = 0; ok && index < recent.Length(); ++index)
        ok = WriteValue(bytes, recent[index]);
    return ok;
}

ZKRESULT CZkRandomHistory::Read(ZK::ZkByteCursor& cursor)
{
    uint16_t count = 0;
    uint16_t recentLength = 0;
    if (!cursor.Read(count) || !cursor.Read(totalWeight) || !cursor.Read(remainingWeight) ||
        !cursor.Read(selectableCount) || !cursor.Read(cycleRemaining) || !cursor.Read(recentLength))
        return ZK_Fail;
    if (count != m_count)
    {
        // A history read into a fresh object takes the stored size; the caller compares it.
        ZK::MemoryMgr::Free(kPool, m_played);
        ZK::MemoryMgr::Free(kPool, m_blocked);
        m_played = m_blocked = nullptr;
        m_count = 0;
        if (AllocBits(count, m_played) != ZK_Success || AllocBits(count, m_blocked) != ZK_Success)
            return ZK_Fail;
        m_count = count;
    }
    const uint8_t* played = cursor.Take(BitBytes());
    const uint8_t* blocked = cursor.Take(BitBytes());
    if (m_count > 0 && (played == nullptr || blocked == nullptr))
        return ZK_Fail;
    if (m_count > 0)
    {
        std::memcpy(m_played, played, BitBytes());
        std::memcpy(m_blocked, blocked, BitBytes());
    }
    recent.RemoveAll();
    if (!cursor.Holds(recentLength, sizeof(uint16_t)) || recent.Reserve(recentLength) != ZK_Success)
        return ZK_Fail;
    for (uint32_t index = 0; index < recentLength; ++index)
    {
        uint16_t entry = 0;
        cursor.Read(entry);
        recent.AddLast(entry);
    }
    return ZK_Success;
}

bool CZkRandomHistory::IsConsistent(uint32_t count, int64_t listTotal) const
{
    if (count != m_count || selectableCount > count || cycleRemaining > count || recent.Length() > count)
        return false;
    if (totalWeight != listTotal || remainingWeight < 0 || remainingWeight > totalWeight)
        return false;
    for (uint16_t entry : recent)
    {
        if (entry >= count)
            return false;
    }
    return true;
}

void CZkRandomHistory::SetBit(uint8_t* bits, uint32_t index, bool set)
{
    const auto mask = static_cast<uint8_t>(1u << (index & 7));
    bits[index >> 3] = set ? static_cast<uint8_t>(bits[index >> 3] | mask) : static_cast<uint8_t>(bits[index >> 3] & ~mask);
}

bool CZkRandomHistory::IsEligible(uint32_t index, const ZkRandomSettings& settings) const
{
    if (settings.randomType == 0)
        return settings.avoidRepeatCount == 0 || !Played(index);
    return !Blocked(index) && !Played(index);
}

void CZkRandomHistory::StartCycle(const IZkWeightSource& list, const ZkRandomSettings& settings)
{
    const uint32_t count = std::min(list.Count(), m_count);
    cycleRemaining = static_cast<uint16_t>(count);
    if (m_count > 0)
        std::memset(m_blocked, 0, BitBytes());
    selectableCount = static_cast<uint16_t>(count);
    if (settings.randomType != 0)
    {
        int64_t remaining = totalWeight;
        for (uint16_t entry : recent)
            remaining -= entry < count ? list.Weight(entry) : 0;
        remainingWeight = static_cast<int32_t>(std::max<int64_t>(remaining, 0));
    }
    selectableCount = static_cast<uint16_t>(selectableCount - std::min<uint32_t>(recent.Length(), selectableCount));
}

ZKRESULT CZkRandomHistory::Append(uint32_t pick)
{
    if (recent.AddLast(static_cast<uint16_t>(pick)) == nullptr)
    {
        cycleRemaining = 0;
        return ZK_Fail;
    }
    SetBit(m_played, pick, true);
    return ZK_Success;
}

void CZkRandomHistory::TrimWindow(const IZkWeightSource& list, uint32_t window, bool unlessBlocked)
{
    while (recent.Length() > window)
    {
        const uint16_t oldest = recent[0];
        recent.Erase(0);
        SetBit(m_played, oldest, false);
        if (unlessBlocked && Blocked(oldest))
            continue;
        remainingWeight += list.Weight(oldest);
        ++selectableCount;
    }
}

ZKRESULT CZkRandomHistory::RecordRecent(const IZkWeightSource& list, const ZkRandomSettings& settings, uint32_t pick)
{
    if (settings.avoidRepeatCount == 0)
        return ZK_Success;
    --selectableCount;
    if (Append(pick) != ZK_Success)
        return ZK_Fail;
    remainingWeight -= list.Weight(pick);
    const uint32_t count = std::min(list.Count(), m_count);
    TrimWindow(list, std::min<uint32_t>(settings.avoidRepeatCount, count - 1), false);
    return ZK_Success;
}

int32_t CZkRandomHistory::RandomIndex(const IZkWeightSource& list, const ZkRandomSettings& settings,
                                      ZkLoopCounter* loop, ZK::ZkLcg64& random)
{
    const uint32_t count = std::min(list.Count(), m_count);
    if (count == 0)
        return -1;
    if (cycleRemaining == 0)
    {
        if (loop != nullptr && !loop->CountPass())
            return -1;
        StartCycle(list, settings);
    }
    int32_t pick = -1;
    if (settings.weighted)
    {
        // A draw over no weight would divide by zero: nothing is eligible then.
        if (remainingWeight <= 0)
            return -1;
        const int64_t r = static_cast<int64_t>(random.Draw() % static_cast<uint32_t>(remainingWeight));
        int64_t sum = -1;
        for (uint32_t index = 0; index < count && pick < 0; ++index)
        {
            if (!IsEligible(index, settings))
                continue;
            sum += list.Weight(index);
            if (sum >= r)
                pick = static_cast<int32_t>(index);
        }
    }
    else
    {
        if (selectableCount == 0)
            return -1;
        uint32_t r = random.Draw() % selectableCount;
        for (uint32_t index = 0; index < count && pick < 0; ++index)
        {
            if (IsEligible(index, settings) && r-- == 0)
                pick = static_cast<int32_t>(index);
        }
    }
    if (pick < 0)
        return -1; // the eligible entries are fewer than the counts say
    const auto entry = static_cast<uint32_t>(pick);
    if (settings.randomType == 0)
    {
        if (!Blocked(entry))
        {
            SetBit(m_blocked, entry, true);
            --cycleRemaining;
        }
        RecordRecent(list, settings, entry);
        return pick;
    }
    remainingWeight -= list.Weight(entry);
    --selectableCount;
    --cycleRemaining;
    SetBit(m_blocked, entry, true);
    if (Append(entry) == ZK_Success)
    {
        const uint32_t window = std::min<uint32_t>(std::max<uint32_t>(settings.avoidRepeatCount, 1), count - 1);
        TrimWindow(list, window, true);
    }
    return pick;
}
} // namespace ZK::SoundEngine
