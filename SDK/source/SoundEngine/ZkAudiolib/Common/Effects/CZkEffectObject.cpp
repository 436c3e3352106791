// CZkEffectObject: creation in the kinds' tables, references, the parameter block, subscriptions
// and initial values, and the destruction.
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Effects/CZkEffectContext.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>

namespace ZK::SoundEngine
{
namespace
{
// The plug-in key of a source plug-in posted at run time (type 2) and its object's id bit.
constexpr uint32_t kSourcePluginType = 2;
constexpr uint32_t kCompanyFieldShift = 12;
constexpr uint32_t kPluginKeyShift = 4;
} // namespace

CZkEffectObject::CZkEffectObject(ZkUniqueID id, ZkIndexKind kind)
    : CZkIndexedObject(id), m_kind(kind), m_stateProperties(*this), m_deviceEffects(this)
{
}

CZkEffectObject* CZkEffectObject::Create(ZkUniqueID id, ZkIndexKind kind)
{
    if (g_pObjectIndex == nullptr)
        return nullptr;
    auto* object = ZK::ZkNew<CZkEffectObject>(kPool, id, kind);
    if (object != nullptr && g_pObjectIndex->Table(kind).Insert(object) != ZK_Success)
    {
        ZK::ZkDelete(kPool, object);
        return nullptr;
    }
    return object;
}

CZkEffectObject* CZkEffectObject::CreateShared(ZkUniqueID id) { return Create(id, ZkIndexKind::SharedEffects); }
CZkEffectObject* CZkEffectObject::CreateCustom(ZkUniqueID id) { return Create(id, ZkIndexKind::CustomEffects); }
CZkEffectObject* CZkEffectObject::CreateDevice(ZkUniqueID id) { return Create(id, ZkIndexKind::AudioDevices); }

ZkUniqueID CZkEffectObject::SourcePluginObjectID(uint32_t pluginField, uint32_t companyField)
{
    const uint32_t key = ((pluginField << kCompanyFieldShift) + companyField) << kPluginKeyShift | kSourcePluginType;
    return key | kSynthesizedObjectIdBit;
}

CZkEffectObject* CZkEffectObject::FindOrCreateSourcePlugin(uint32_t pluginField, uint32_t companyField)
{
    if (g_pObjectIndex == nullptr)
        return nullptr;
    const ZkUniqueID id = SourcePluginObjectID(pluginField, companyField);
    ZkIndexTable& table = g_pObjectIndex->Table(ZkIndexKind::CustomEffects);
    // Found and created under the table's lock, so that two posts make one object.
    ZK::Platform::ZkScopedLock guard(table.Lock());
    if (auto* found = static_cast<CZkEffectObject*>(table.GetPtrAndAddRef(id)))
        return found;
    CZkEffectObject* object = CreateCustom(id);
    if (object == nullptr)
        return nullptr;
    // An unregistered source plug-in leaves the object without parameters: its player reports it.
    object->SetPluginFromFactory(id & ~kSynthesizedObjectIdBit, nullptr, 0);
    return object;
}

CZkEffectObject::~CZkEffectObject()
{
    for (ZkEffectSubscription& subscription : m_subscriptions)
        subscription.curve.Term();
    m_subscriptions.Term();
    m_initialValues.Term();
    m_media.Term();
    DestroyParams();
}

uint32_t CZkEffectObject::AddRef() { return g_pObjectIndex->Table(m_kind).AddRef(this); }
uint32_t CZkEffectObject::Release() { return g_pObjectIndex->Table(m_kind).Release(this); }
void CZkEffectObject::Destroy() { ZK::ZkDelete(kPool, this); }

void CZkEffectObject::DestroyParams()
{
    if (pluginParams != nullptr)
        pluginParams->Term(&CZkPluginMemAlloc::ForParameters());
    pluginParams = nullptr;
}

ZKRESULT CZkEffectObject::SetPluginFromFactory(uint32_t newPluginID, const void* data, uint32_t size)
{
    CZkPluginMemAlloc& allocator = CZkPluginMemAlloc::ForParameters();
    ZK::IZkPluginParam* created = nullptr;
    const ZKRESULT made = PluginRegistry::CreatePluginParam(&allocator, newPluginID, created);
    if (made == ZK_Success && created != nullptr)
    {
        const ZKRESULT initialised = created->Init(&allocator, data, size);
        if (initialised != ZK_Success)
        {
            created->Term(&allocator);
            return initialised;
        }
    }
    DestroyParams();
    pluginParams = created;
    pluginID = newPluginID;
    return made;
}

const ZkEffectInitialValue* CZkEffectObject::FindInitialValue(uint16_t paramID) const
{
    for (const ZkEffectInitialValue& initial : m_initialValues)
    {
        if (initial.paramID == paramID)
            return &initial;
    }
    return nullptr;
}

ZKRESULT CZkEffectObject::SetInitialValue(uint16_t paramID, uint8_t drivenKind, float value)
{
    if (const ZkEffectInitialValue* found = FindInitialValue(paramID))
    {
        *const_cast<ZkEffectInitialValue*>(found) = {paramID, drivenKind, value};
        return ZK_Success;
    }
    return m_initialValues.AddLast({paramID, drivenKind, value}) != nullptr ? ZK_Success : ZK_InsufficientMemory;
}

ZKRESULT CZkEffectObject::AddSubscription(const ZkEffectSubscriptionInput& input, bool subscribeNow)
{
    for (uint32_t index = 0; index < m_subscriptions.Length(); ++index)
    {
        ZkEffectSubscription& old = m_subscriptions[index];
        if (old.target == input.target && old.curveID == input.curveID)
        {
            old.curve.Term();
            m_subscriptions.Erase(index);
            break;
        }
    }
    ZkEffectSubscription* added = m_subscriptions.AddLast();
    if (added == nullptr)
        return ZK_InsufficientMemory;
    const ZKRESULT built = added->curve.Set(input.points, input.pointCount, input.scaling);
    if (built != ZK_Success)
    {
        m_subscriptions.Erase(m_subscriptions.Length() - 1);
        return built;
    }
    added->gameParamID = input.gameParamID;
    added->paramType = input.paramType;
    added->kind = input.kind;
    added->target = input.target;
    added->curveID = input.curveID;
    for (ZkEffectInitialValue& initial : m_initialValues)
    {
        if (initial.paramID == input.target)
            initial.drivenKind = input.kind;
    }
    if (!subscribeNow)
        return ZK_Success;

    const ZkEffectSubscription subscription = *added; // the array may move while contexts subscribe
    const ZkEffectInitialValue* initial = FindInitialValue(input.target);
    for (CZkEffectContext* context = m_contexts; context != nullptr; context = context->m_next)
    {
        context->SubscribeOne(subscription);
        // The parameter restarts from its initial value with what drives it now.
        context->RemoveContributions(input.target);
        if (initial != nullptr)
            m_stateProperties.RebuildParameter(*context, *initial);
    }
    return ZK_Success;
}

ZkUniqueID CZkEffectObject::GetMediaID(uint32_t index) const
{
    return index < m_media.Length() ? m_media[index] : kNoMedia;
}

ZkUniqueID CZkEffectObject::DeviceEffectID(uint32_t slot) const
{
    const ZkEffectSlotBlock* block = m_deviceEffects.Block();
    return block != nullptr && slot < kDeviceEffectSlots ? block->slots[slot].effectID : 0;
}

void CZkEffectObject::RefreshDevices() const
{
    CZkOutputDeviceMgr::SetDeviceShareSetValue(ID(), CZkOutputDeviceMgr::kAnyDeviceID, DeviceBypassBits());
}

uint32_t CZkEffectObject::ContextCount() const
{
    uint32_t count = 0;
    for (const CZkEffectContext* context = m_contexts; context != nullptr; context = context->m_next)
        ++count;
    return count;
}

void CZkEffectObject::LinkContext(CZkEffectContext& context)
{
    ZK::Platform::ZkScopedLock guard(m_contextLock);
    context.m_next = m_contexts;
    m_contexts = &context;
}

void CZkEffectObject::UnlinkContext(CZkEffectContext& context)
{
    ZK::Platform::ZkScopedLock guard(m_contextLock);
    for (CZkEffectContext** link = &m_contexts; *link != nullptr; link = &(*link)->m_next)
    {
        if (*link == &context)
        {
            *link = context.m_next;
            break;
        }
    }
    context.m_next = nullptr;
}
} // namespace ZK::SoundEngine
