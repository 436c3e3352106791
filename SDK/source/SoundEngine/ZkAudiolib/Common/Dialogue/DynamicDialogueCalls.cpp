// The dynamic dialogue calls: a dialogue event looked up in the object index, its argument names
// turned into ids, its tree resolved, its custom properties read. Everything runs under the global
// engine lock: the engine thread draws from the same random generator under it, and bank loading
// reads events under it, so no call sees an event half read.
#include "ZkAudiolib/Common/Containers/ZkInlineArray.h"
#include "ZkAudiolib/Common/Dialogue/CZkDialogueEvent.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <ZK/SoundEngine/Common/ZkDynamicDialogue.h>
#include <ZK/SoundEngine/Common/ZkIdFromName.h>

#include <cstring>

namespace ZK::SoundEngine::DynamicDialogue
{
namespace
{
// Up to this many arguments, names are turned into ids without an allocation.
constexpr uint32_t kInlineArguments = 16;

// Holds the global engine lock and a reference on the dialogue event of id while it lives.
class DialogueEventAccess
{
public:
    explicit DialogueEventAccess(ZkUniqueID id) : m_lock(g_EngineLock)
    {
        if (g_pObjectIndex != nullptr)
            m_event = static_cast<CZkDialogueEvent*>(g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::DialogueEvents, id));
    }
    ~DialogueEventAccess()
    {
        if (m_event != nullptr)
            m_event->Release();
    }
    DialogueEventAccess(const DialogueEventAccess&) = delete;
    DialogueEventAccess& operator=(const DialogueEventAccess&) = delete;

    CZkDialogueEvent* Event() const { return m_event; }

private:
    ZK::Platform::ZkScopedLock m_lock;
    CZkDialogueEvent* m_event = nullptr;
};

template <typename Char>
ZkUniqueID ResolveNames(const Char* eventName, const Char** argumentNames, uint32_t count, uint32_t value,
                        ZkCandidateCallbackFunc callback, void* cookie)
{
    const ZkUniqueID eventID = GetIDFromString(eventName);
    DialogueEventAccess access(eventID);
    const CZkDialogueEvent* event = access.Event();
    if (event == nullptr || count != event->ArgumentCount())
        return 0;
    ZK::ZkInlineArray<ZkUniqueID, kInlineArguments> ids;
    for (uint32_t index = 0; index < count; ++index)
    {
        if (ids.AddLast(0) == nullptr)
            return 0;
    }
    ZKRESULT converted;
    if constexpr (sizeof(Char) == 1)
        converted = event->ArgumentNamesToIDs(argumentNames, ids.Data(), count);
    else
        converted = event->ArgumentNamesToIDsW(argumentNames, ids.Data(), count);
    if (converted != ZK_Success)
        return 0;
    return event->Tree().ResolvePath(eventID, ids.Data(), count, value, callback, cookie);
}

template <typename Value>
ZKRESULT GetCustomProperty(ZkUniqueID eventID, uint32_t propertyIndex, Value& value)
{
    static_assert(sizeof(Value) == 4);
    if (g_pObjectIndex == nullptr)
        return ZK_Fail;
    DialogueEventAccess access(eventID);
    if (access.Event() == nullptr)
        return ZK_InvalidID;
    const uint8_t* bits = access.Event()->FindCustomProperty(propertyIndex);
    if (bits == nullptr)
        return ZK_PartialSuccess;
    std::memcpy(&value, bits, sizeof(value));
    return ZK_Success;
}
} // namespace

ZkUniqueID ResolveDialogueEvent(ZkUniqueID eventID, const ZkUniqueID* argumentValues, uint32_t count, uint32_t value,
                                ZkCandidateCallbackFunc callback, void* cookie)
{
    DialogueEventAccess access(eventID);
    if (access.Event() == nullptr)
        return 0;
    return access.Event()->Tree().ResolvePath(eventID, argumentValues, count, value, callback, cookie);
}

ZkUniqueID ResolveDialogueEvent(const char* eventName, const char** argumentNames, uint32_t count, uint32_t value,
                                ZkCandidateCallbackFunc callback, void* cookie)
{
    return ResolveNames(eventName, argumentNames, count, value, callback, cookie);
}

ZkUniqueID ResolveDialogueEvent(const wchar_t* eventName, const wchar_t** argumentNames, uint32_t count,
                                uint32_t value, ZkCandidateCallbackFunc callback, void* cookie)
{
    return ResolveNames(eventName, argumentNames, count, value, callback, cookie);
}

ZKRESULT GetDialogueEventCustomPropertyValue(ZkUniqueID eventID, uint32_t propertyIndex, int32_t& value)
{
    return GetCustomProperty(eventID, propertyIndex, value);
}

ZKRESULT GetDialogueEventCustomPropertyValue(ZkUniqueID eventID, uint32_t propertyIndex, float& value)
{
    return GetCustomProperty(eventID, propertyIndex, value);
}
} // namespace ZK::SoundEngine::DynamicDialogue
