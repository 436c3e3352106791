// ZkPluginParamRecord: the life of a plug-in parameter record of the engine's own (the sink
// parameters, the system output's metadata): made and cloned through a plug-in allocator, destroyed
// through it by Term, and, unless the record says otherwise, an Init with an empty block keeps the
// defaults while a block goes to SetParamsBlock.
//
// Threading: one thread at a time. Ownership: the record lives in memory of the allocator it was
// made with; Term gives it back there.
#pragma once

#include <ZK/SoundEngine/Common/IZkPlugin.h>

#include <new>

namespace ZK::SoundEngine
{
template <typename Record>
class ZkPluginParamRecord : public ZK::IZkPluginParam
{
public:
    // A record with its defaults, or null when the allocator has no memory.
    static ZK::IZkPluginParam* Create(ZK::IZkPluginMemAlloc* allocator) { return Make(allocator, Record{}); }

    ZKRESULT Init(ZK::IZkPluginMemAlloc*, const void* block, uint32_t size) override
    {
        return size == 0 ? ZK_Success : SetParamsBlock(block, size);
    }
    ZKRESULT Term(ZK::IZkPluginMemAlloc* allocator) override
    {
        Record* self = static_cast<Record*>(this);
        self->~Record();
        ZK_PLUGIN_FREE(allocator, self);
        return ZK_Success;
    }

protected:
    // A copy of model in the allocator's memory; null when it has none.
    static Record* Make(ZK::IZkPluginMemAlloc* allocator, const Record& model)
    {
        void* memory = ZK_PLUGIN_MALLOC(allocator, sizeof(Record));
        return memory != nullptr ? new (memory) Record(model) : nullptr;
    }
};
} // namespace ZK::SoundEngine
