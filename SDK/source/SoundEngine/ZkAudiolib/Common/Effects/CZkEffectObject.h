// CZkEffectObject: the bank's description of one plug-in configuration: a plug-in id, the plug-in's
// parameter block, the media it uses, the game parameters and state groups that drive its
// parameters and their initial values. Three item types make one, each kind in its own table of
// the object index: share sets (type 16, SharedEffects), custom effects (type 17, CustomEffects,
// also the run-time objects of source plug-ins) and audio-device share sets (type 21,
// AudioDevices, which add the effect list of the device's slots).
//
// Every place where the plug-in runs (a voice's effect stage, a bus slot or mixer, an output device
// slot, an instance's attached effect) owns a CZkEffectContext that the effect object fills
// (CreateInstancePlugin / CreatePluginInstance) and keeps current: the contexts are chained into
// the object's context list, game parameters are subscribed with the context as target and state
// changes reach every context.
//
// Threading: AddRef and Release take the lock of the kind's table; the context list changes under
// the object's own lock; the bank read and the parameter setters run on the audio thread or under
// the global engine lock.
// Ownership: memory pool 2, owned by its references (banks, contexts, look-ups). It owns its
// parameter block (pool-2 plug-in allocator), its arrays (pool 0) and its curves.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Effects/CZkEffectStateProperties.h"
#include "ZkAudiolib/Common/Effects/ZkEffectRecords.h"
#include "ZkAudiolib/Common/Hierarchy/CZkNodeParams.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include "Platform/PlatformLock.h"

#include <ZK/SoundEngine/Common/IZkPlugin.h>
#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkRTPCKey.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEffectContext;
class CZkGameObject;

// A subscription as the bank (or a caller) gives it, before its curve is built.
struct ZkEffectSubscriptionInput
{
    ZkUniqueID gameParamID;
    uint8_t paramType;
    uint8_t kind;
    uint16_t target;
    uint32_t curveID;
    uint32_t scaling;
    const ZkCurvePoint* points;
    uint32_t pointCount;
};

class CZkEffectObject final : public CZkIndexedObject, private IZkEffectSlotOwner
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_BankObjects;
    static constexpr ZkMemoryId kArrayPool = ZkMemID_Default;
    static constexpr uint32_t kNoPlugin = 0xFFFFFFFFu;
    static constexpr ZkUniqueID kNoMedia = 0xFFFFFFFFu;
    static constexpr uint32_t kDeviceEffectSlots = kEffectSlotCount;

    // New objects holding one reference, in their kind's table (grown first); null out of memory or
    // without an object index.
    static CZkEffectObject* CreateShared(ZkUniqueID id);
    static CZkEffectObject* CreateCustom(ZkUniqueID id);
    static CZkEffectObject* CreateDevice(ZkUniqueID id);
    // The custom effect of a source plug-in posted at run time (plug-in id field, company field):
    // id ((pluginField x 4096 + companyField) << 4 | 2) | 0x80000000, found or created with its
    // plug-in set (the id without bit 31, no data). With a reference; null out of memory.
    static CZkEffectObject* FindOrCreateSourcePlugin(uint32_t pluginField, uint32_t companyField);
    static ZkUniqueID SourcePluginObjectID(uint32_t pluginField, uint32_t companyField);

    ~CZkEffectObject() override;

    uint32_t AddRef() override;
    uint32_t Release() override;
    void Destroy() override;

    ZkIndexKind Kind() const { return m_kind; }
    bool IsDevice() const { return m_kind == ZkIndexKind::AudioDevices; }

    // The common body (types 16 and 17) and, for audio-device share sets, the effect list and the
    // devices' refresh. body starts at the id. 1; 7 when a count or field runs past the body (read
    // whole before anything is applied); 52; the parameter block's own refusal; 31 for an effect
    // list slot above 3; the state chunk's failure.
    ZKRESULT ReadFromBank(const uint8_t* body, uint32_t size);
    // Gives the object a new parameter block for pluginID holding data: on success the old block is
    // replaced; a block refusing the data is destroyed and its result returned (the old one and the
    // old plug-in id stay). An unregistered plug-in (88) or one without parameters leaves the object
    // without a block. The plug-in id is stored in every case but the refusal.
    ZKRESULT SetPluginFromFactory(uint32_t pluginID, const void* data, uint32_t size);
    // Adds a subscription (one with the same target and curve id is replaced); the initial value of
    // the target takes its kind. With subscribeNow every context is subscribed and its parameter
    // rebuilt from the initial value. 1; 52; 31 without points.
    ZKRESULT AddSubscription(const ZkEffectSubscriptionInput& input, bool subscribeNow);
    // Adds or replaces the initial value of a parameter. 1 or 52.
    ZKRESULT SetInitialValue(uint16_t paramID, uint8_t drivenKind, float value);

    // Fill a context owned by the caller, for an instance's effect slot (keyed on the game
    // object), or for a bus, a device or a mixer (keyed on key). False on failure (the context is
    // left empty and unsubscribed).
    bool CreateInstancePlugin(CZkEffectContext& context, uint32_t slot, CZkGameObject* gameObject);
    bool CreatePluginInstance(CZkEffectContext& context, const ZkRTPCKey& key);

    // The media id of the plug-in's media index; kNoMedia when the index has none.
    ZkUniqueID GetMediaID(uint32_t index) const;

    // Audio-device share sets: the effect share set of a device slot (0 = none) and the bypass bits
    // of the slots (bit n bypasses slot n, bit 4 all of them).
    ZkUniqueID DeviceEffectID(uint32_t slot) const;
    uint8_t DeviceBypassBits() const { return m_deviceEffects.BypassBits(); }
    // Tells every output device using this share set its bypass bits and effects again.
    void RefreshDevices() const;

    // --- Parameters, for the contexts and the state side ---
    const ZK::ZkArray<ZkEffectSubscription>& Subscriptions() const { return m_subscriptions; }
    const ZK::ZkArray<ZkEffectInitialValue>& InitialValues() const { return m_initialValues; }
    ZK::ZkArray<ZkEffectInitialValue>& InitialValues() { return m_initialValues; }
    const ZkEffectInitialValue* FindInitialValue(uint16_t paramID) const;
    CZkEffectStateProperties& StateProperties() { return m_stateProperties; }
    const CZkEffectStateProperties& StateProperties() const { return m_stateProperties; }
    // The head of the context list (newest first; walk through CZkEffectContext::NextOfEffect).
    CZkEffectContext* FirstContext() const { return m_contexts; }
    uint32_t ContextCount() const;

    uint32_t pluginID = kNoPlugin;
    ZK::IZkPluginParam* pluginParams = nullptr; // the parameter block; null without one

    // Use the creators: an effect object lives in its kind's table.
    CZkEffectObject(ZkUniqueID id, ZkIndexKind kind);

private:
    friend class CZkEffectContext;

    static CZkEffectObject* Create(ZkUniqueID id, ZkIndexKind kind);
    ZKRESULT ReadBody(ZK::ZkByteCursor& cursor, bool apply);
    ZKRESULT ReadDeviceEffects(ZK::ZkByteCursor& cursor, bool apply);
    void DestroyParams();
    void LinkContext(CZkEffectContext& context);
    void UnlinkContext(CZkEffectContext& context);

    // Audio-device share sets are told nothing about their slots: the devices read them.
    void OnEffectSlotChanged(const ZkEffectSlot&) override {}
    void OnEffectSlotIndexChanged(uint32_t) override {}

    ZkIndexKind m_kind;
    CZkEffectStateProperties m_stateProperties;
    ZK::ZkArray<ZkUniqueID> m_media;
    ZK::ZkArray<ZkEffectSubscription> m_subscriptions;
    ZK::ZkArray<ZkEffectInitialValue> m_initialValues;
    CZkNodeParams m_deviceEffects;
    ZK::Platform::ZkCriticalSection m_contextLock;
    CZkEffectContext* m_contexts = nullptr;
};
} // namespace ZK::SoundEngine
