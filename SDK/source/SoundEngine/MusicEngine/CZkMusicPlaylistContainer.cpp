#include "MusicEngine/CZkMusicPlaylistContainer.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "MusicEngine/NewIndexedNode.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"

#include <algorithm>

namespace ZK::MusicEngine
{
using namespace SoundEngine;

namespace
{
constexpr size_t kItemBytes = 30;
constexpr ZkMemoryId kItemPool = ZkMemID_BankObjects;

struct BankItem
{
    ZkUniqueID segmentID;
    ZkUniqueID itemID;
    uint32_t childCount;
    uint32_t selectionMode;
    int16_t repeatCount;
    int16_t repeatLow;
    int16_t repeatHigh;
    uint32_t weight;
    uint16_t avoidRepeat;
    uint8_t flag;
};

BankItem ReadItem(ZK::ZkByteCursor& cursor)
{
    BankItem item{};
    uint8_t unused = 0;
    cursor.Read(item.segmentID);
    cursor.Read(item.itemID);
    cursor.Read(item.childCount);
    cursor.Read(item.selectionMode);
    cursor.Read(item.repeatCount);
    cursor.Read(item.repeatLow);
    cursor.Read(item.repeatHigh);
    cursor.Read(item.weight);
    cursor.Read(item.avoidRepeat);
    cursor.Read(unused);
    cursor.Read(item.flag);
    return item;
}

void ApplyItem(const BankItem& bank, ZkPlaylistItem& item)
{
    item.itemID = bank.itemID;
    item.segmentID = bank.segmentID;
    item.repeatCount = bank.repeatCount;
    item.repeatLow = bank.repeatLow;
    item.repeatHigh = bank.repeatHigh;
    item.weight = bank.weight;
    if (bank.segmentID == 0)
    {
        item.selectionMode = bank.selectionMode;
        item.avoidRepeat = bank.avoidRepeat;
        item.flag = bank.flag != 0 ? 1 : 0;
    }
}

// Frees the children of group (not the group itself), depth first without recursion.
void FreeItemChildren(ZkPlaylistItem& group)
{
    ZkPlaylistItem* current = &group;
    while (current != nullptr)
    {
        if (!current->children.IsEmpty())
        {
            ZkPlaylistItem* child = current->children[current->children.Length() - 1];
            current->children.Erase(current->children.Length() - 1);
            current = child; // descend; it comes back here once it is empty
            continue;
        }
        current->children.Term();
        ZkPlaylistItem* parent = current->parent;
        const bool isGroup = current == &group;
        if (!isGroup)
            ZK::ZkDelete(kItemPool, current);
        current = isGroup ? nullptr : parent;
    }
}
} // namespace

int32_t ZkPlaylistItem::EffectiveRepeatCount() const
{
    const int32_t count = repeatCount;
    if (count == 0 || (repeatLow == 0 && repeatHigh == 0))
        return count;
    const int32_t lowest = std::max(1, count + repeatLow);
    const int32_t highest = count + repeatHigh;
    if (lowest >= highest)
        return lowest; // one value, or an empty range: no draw
    const uint32_t values = static_cast<uint32_t>(highest - lowest + 1);
    return lowest + static_cast<int32_t>(ZK::ZkLcg64::Engine().RandomIndex(values));
}

CZkMusicPlaylistContainer* CZkMusicPlaylistContainer::Create(ZkUniqueID id)
{
    return NewIndexedNode<CZkMusicPlaylistContainer>(id);
}

CZkMusicPlaylistContainer::~CZkMusicPlaylistContainer()
{
    FreeTree();
    for (HistoryEntry& entry : m_history)
        entry.history->Release();
    m_history.Term();
}

void CZkMusicPlaylistContainer::FreeTree()
{
    FreeItemChildren(m_root);
    m_root.itemID = m_root.segmentID = 0;
    m_root.repeatCount = m_root.repeatLow = m_root.repeatHigh = 0;
    m_root.weight = ZkPlaylistItem::kDefaultWeight;
    m_root.selectionMode = 0;
    m_root.avoidRepeat = 0;
    m_root.weighted = m_root.flag = 0;
    m_hasPlaylist = false;
}

ZKRESULT CZkMusicPlaylistContainer::ReadFromBank(const uint8_t* payload, uint32_t size)
{
    if (Category() != kCategoryMusicPlaylist)
        return ZK_AlreadyExists;
    ZK::ZkByteCursor cursor(payload, size);
    ZKRESULT result = ReadMusicNodePayload(cursor);
    if (result != ZK_Success || (result = ReadRules(cursor)) != ZK_Success)
        return result;
    return ReadPlaylist(cursor);
}

ZKRESULT CZkMusicPlaylistContainer::ReadPlaylist(ZK::ZkByteCursor& cursor)
{
    uint32_t count = 0;
    if (!cursor.Read(count) || !cursor.Holds(count, kItemBytes))
        return ZK_InvalidFile;
    FreeTree();
    if (count == 0)
        return ZK_Success;
    const BankItem rootItem = ReadItem(cursor);
    ApplyItem(rootItem, m_root);
    m_root.segmentID = 0; // the first item is the root group whatever it names
    m_root.weighted = 0;
    m_hasPlaylist = true;

    // Each stack entry is a group and the number of its children still to come.
    struct Open
    {
        ZkPlaylistItem* group;
        uint32_t left;
    };
    ZK::ZkArray<Open> stack;
    ZKRESULT result = ZK_Success;
    uint32_t remaining = count - 1;
    if (rootItem.childCount > 0 && stack.AddLast({&m_root, rootItem.childCount}) == nullptr)
        result = ZK_Fail;
    while (result == ZK_Success && !stack.IsEmpty())
    {
        Open& top = stack[stack.Length() - 1];
        if (top.left == 0)
        {
            stack.Erase(stack.Length() - 1);
            continue;
        }
        if (remaining == 0)
        {
            result = ZK_InvalidFile; // a group's children run past the items
            break;
        }
        --top.left;
        --remaining;
        ZkPlaylistItem* parent = top.group;
        const BankItem bank = ReadItem(cursor);
        auto* item = ZK::ZkNew<ZkPlaylistItem>(kItemPool);
        if (item == nullptr)
        {
            result = ZK_Fail;
            break;
        }
        ApplyItem(bank, *item);
        item->parent = parent;
        if (parent->children.AddLast(item) == nullptr)
        {
            ZK::ZkDelete(kItemPool, item);
            result = ZK_Fail;
            break;
        }
        if (item->weight != ZkPlaylistItem::kDefaultWeight)
            parent->weighted = 1;
        if (item->IsGroup() && bank.childCount > 0 && stack.AddLast({item, bank.childCount}) == nullptr)
            result = ZK_Fail;
    }
    stack.Term();
    if (result != ZK_Success)
        FreeTree();
    return result;
}

ZKRESULT CZkMusicPlaylistContainer::StoreHistory(uint32_t key, IZkPlaylistHistory* history)
{
    for (HistoryEntry& entry : m_history)
    {
        if (entry.key != key)
            continue;
        if (entry.history != history)
            entry.history->Release();
        entry.history = history;
        return ZK_Success;
    }
    if (m_history.AddLast({key, history}) == nullptr)
    {
        history->Release();
        return ZK_Fail;
    }
    return ZK_Success;
}

IZkPlaylistHistory* CZkMusicPlaylistContainer::FindHistory(uint32_t key) const
{
    for (const HistoryEntry& entry : m_history)
    {
        if (entry.key == key)
            return entry.history;
    }
    return nullptr;
}
} // namespace ZK::MusicEngine
