#include "ZkAudiolib/Common/Dialogue/CZkDialogueEvent.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>

namespace ZK::SoundEngine
{
namespace
{
constexpr size_t kArgumentBytes = sizeof(uint32_t) + sizeof(uint8_t); // argument id and type

ZkIndexTable& DialogueEventTable() { return g_pObjectIndex->Table(ZkIndexKind::DialogueEvents); }
} // namespace

CZkDialogueEvent* CZkDialogueEvent::Create(ZkUniqueID id)
{
    auto* event = ZK::ZkNew<CZkDialogueEvent>(kPool, id);
    if (event == nullptr)
        return nullptr;
    if (DialogueEventTable().Insert(event) != ZK_Success)
    {
        ZK::ZkDelete(kPool, event);
        return nullptr;
    }
    return event;
}

uint32_t CZkDialogueEvent::AddRef() { return DialogueEventTable().AddRef(this); }

uint32_t CZkDialogueEvent::Release() { return DialogueEventTable().Release(this); }

void CZkDialogueEvent::Destroy() { ZK::ZkDelete(kPool, this); }

ZKRESULT CZkDialogueEvent::SetFromBank(const uint8_t* body, uint32_t size)
{
    ZK::ZkByteCursor cursor(body, size);
    uint8_t probability = 0;
    uint32_t argumentCount = 0;
    uint32_t treeSize = 0;
    uint8_t mode = 0;
    if (!cursor.Skip(sizeof(uint32_t)) || !cursor.Read(probability) || !cursor.Read(argumentCount) ||
        !cursor.Holds(argumentCount, kArgumentBytes) || !cursor.Skip(argumentCount * kArgumentBytes) ||
        !cursor.Read(treeSize) || !cursor.Read(mode))
        return ZK_InvalidFile;
    const uint8_t* nodes = cursor.Take(treeSize);
    if (nodes == nullptr || treeSize % CZkDecisionTree::kNodeBytes != 0)
        return ZK_InvalidFile;
    // Both lists are checked before anything is changed.
    ZK::ZkByteCursor lists = cursor;
    if (!decltype(m_properties)::SkipInBank(lists) || !decltype(m_ranges)::SkipInBank(lists))
        return ZK_InvalidFile;

    ZKRESULT result = m_tree.SetData(nodes, treeSize, argumentCount);
    if (result != ZK_Success)
        return result;
    m_tree.probability = probability;
    m_tree.mode = mode;
    result = m_properties.ReadFromBank(cursor);
    if (result != ZK_Success)
        return result;
    return m_ranges.ReadFromBank(cursor);
}

const uint8_t* CZkDialogueEvent::FindCustomProperty(uint32_t index) const
{
    return m_properties.Find(static_cast<uint8_t>(index + kCustomPropertyBase));
}

template <typename Char>
ZKRESULT CZkDialogueEvent::NamesToIDs(const Char* const* names, uint32_t* ids, uint32_t count) const
{
    if (count != ArgumentCount())
        return ZK_Fail;
    if (count != 0 && (names == nullptr || ids == nullptr))
        return ZK_InvalidParameter;
    for (uint32_t index = 0; index < count; ++index)
    {
        const Char* name = names[index];
        // An empty name stands for "any value", the wildcard's id, not the hash of "".
        ids[index] = name == nullptr || name[0] == 0 ? 0 : GetIDFromString(name);
    }
    return ZK_Success;
}

ZKRESULT CZkDialogueEvent::ArgumentNamesToIDs(const char* const* names, uint32_t* ids, uint32_t count) const
{
    return NamesToIDs(names, ids, count);
}

ZKRESULT CZkDialogueEvent::ArgumentNamesToIDsW(const wchar_t* const* names, uint32_t* ids, uint32_t count) const
{
    return NamesToIDs(names, ids, count);
}
} // namespace ZK::SoundEngine
