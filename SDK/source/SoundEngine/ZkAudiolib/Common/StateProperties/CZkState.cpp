#include "ZkAudiolib/Common/StateProperties/CZkState.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

namespace ZK::SoundEngine
{
namespace
{
ZkIndexTable& StateTable() { return g_pObjectIndex->Table(ZkIndexKind::States); }
} // namespace

CZkState* CZkState::Create(ZkUniqueID id)
{
    if (g_pObjectIndex == nullptr)
        return nullptr;
    auto* state = ZK::ZkNew<CZkState>(kPool, id);
    if (state != nullptr && StateTable().Insert(state) != ZK_Success)
    {
        ZK::ZkDelete(kPool, state);
        return nullptr;
    }
    return state;
}

ZKRESULT CZkState::ReadFromBank(CZkState* state, const uint8_t* body, uint32_t size)
{
    ZK::ZkByteCursor cursor(body, size);
    uint32_t id = 0;
    uint16_t count = 0;
    if (!cursor.Read(id) || !cursor.Read(count))
        return ZK_InvalidFile;
    const uint8_t* ids = cursor.Take(sizeof(uint16_t) * size_t{count});
    const uint8_t* values = cursor.Take(sizeof(float) * size_t{count});
    if (ids == nullptr || values == nullptr)
        return ZK_InvalidFile;
    return state->m_bundle.Assign(count, ids, values);
}

uint32_t CZkState::AddRef() { return StateTable().AddRef(this); }
uint32_t CZkState::Release() { return StateTable().Release(this); }
void CZkState::Destroy() { ZK::ZkDelete(kPool, this); }
} // namespace ZK::SoundEngine
