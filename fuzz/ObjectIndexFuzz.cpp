// The object index under a script of insertions (ids from a small range, so chains are shared and
// ids repeat), look-ups and releases, while its tables grow: a look-up finds the newest live object
// of its id, with a reference added, and an object goes from the index with its last release.
#include "support/SoundMemory.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using kp::fuzz::Check;

namespace
{
using namespace ZK::SoundEngine;


class ScriptObject final : public CZkIndexedObject
{
public:
    ScriptObject(ZkIndexTable& table, ZkUniqueID id) : CZkIndexedObject(id), m_table(table) {}
    uint32_t AddRef() override { return m_table.AddRef(this); }
    uint32_t Release() override { return m_table.Release(this); }
    void Destroy() override { ZK::ZkDelete(ZkMemID_BankObjects, this); }

private:
    ZkIndexTable& m_table;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    kp::fuzz::StartSoundMemory();
    kp::fuzz::InputBytes input(data, size);
    ObjectIndex index;
    Check(index.InitTables());
    ZkIndexTable& table = index.Table(ZkIndexKind::Events);
    std::vector<ScriptObject*> live; // in insertion order
    while (!input.Empty())
    {
        const uint8_t operation = input.Byte();
        const ZkUniqueID id = input.Byte() % 61;
        if (operation % 3 == 0 && live.size() < 4096)
        {
            auto* object = ZK::ZkNew<ScriptObject>(ZkMemID_BankObjects, table, id);
            Check(object != nullptr && table.Insert(object) == ZK_Success);
            live.push_back(object);
        }
        else if (operation % 3 == 1)
        {
            ScriptObject* newest = nullptr;
            for (ScriptObject* object : live)
                if (object->ID() == id)
                    newest = object;
            CZkIndexedObject* found = index.GetPtrAndAddRef(ZkIndexKind::Events, id);
            Check(found == newest);
            if (found != nullptr)
                Check(found->Release() >= 1);
        }
        else if (!live.empty())
        {
            const size_t which = (static_cast<size_t>(operation) * 7 + id) % live.size();
            ScriptObject* object = live[which];
            live.erase(live.begin() + static_cast<std::ptrdiff_t>(which));
            Check(object->Release() == 0);
        }
        Check(table.Length() == live.size());
    }
    for (ScriptObject* object : live)
        object->Release();
    Check(table.Length() == 0);
    index.FreeTables();
    return 0;
}
