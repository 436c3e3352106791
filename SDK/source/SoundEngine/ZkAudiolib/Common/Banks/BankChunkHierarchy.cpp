// The "HIRC" chunk: hierarchy items created, read again or referenced, the top-level bus rule, and
// the items handed to the music engine's handler.
#include "ZkAudiolib/Common/Banks/BankParse.h"

#include "ZkAudiolib/Common/Banks/BankItemKinds.h"
#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/FrontEnd/EngineHooks.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"

#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kReplaceMainOutputBytes = kMessageHeaderBytes + sizeof(ZkOutputSettings);

// Asks the engine thread to replace the main output with the settings the bus rule left.
void PostMainOutputReplacement()
{
    if (g_pEventMgr == nullptr)
        return;
    ZkOutputSettings settings;
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        settings = GetEngineSettings().mainOutput;
    }
    uint8_t* message = g_pEventMgr->ReserveMessage(BankManager::kReplaceMainOutputMessage, kReplaceMainOutputBytes);
    if (message == nullptr)
        return;
    std::memcpy(message + kMessageHeaderBytes, &settings, sizeof(settings));
    g_pEventMgr->FinishMessage();
}
} // namespace

ZKRESULT BankManager::ReadHierarchy(Parse& parse, uint32_t size)
{
    if (size < sizeof(uint32_t))
        return ZK_InvalidFile;
    uint32_t count = 0;
    const ZKRESULT counted = m_reader.ReadExact(&count, sizeof(count));
    if (counted != ZK_Success)
        return counted;
    uint32_t left = size - static_cast<uint32_t>(sizeof(count));
    // Every item takes at least its header: a larger count cannot be true, and must not size the
    // item list.
    if (count > left / kItemHeaderBytes)
        return ZK_InvalidFile;
    if (count > 0 && parse.bank.GrowItemList(count) != ZK_Success)
        return ZK_Fail;

    ZKRESULT result = ZK_Success;
    for (uint32_t index = 0; index < count && result == ZK_Success; ++index)
    {
        if (left < kItemHeaderBytes)
        {
            result = ZK_InvalidFile;
            break;
        }
        uint8_t header[kItemHeaderBytes];
        result = m_reader.ReadExact(header, kItemHeaderBytes);
        if (result != ZK_Success)
            break;
        left -= kItemHeaderBytes;
        const uint8_t type = header[0];
        const uint32_t itemSize = ZK::LoadLittleEndian<uint32_t>(header + 1);
        if (itemSize > left)
        {
            result = ZK_InvalidFile;
            break;
        }
        left -= itemSize;
        result = BankItemKinds::IsHandlerType(type) ? ReadHandlerItem(parse, header, itemSize)
                                                    : ReadItem(parse, type, itemSize);
    }
    if (result == ZK_Success && left > 0)
        result = SkipBody(left); // bytes after the last item
    if (parse.mainOutputMark)
    {
        parse.mainOutputMark = false;
        PostMainOutputReplacement();
    }
    return result;
}

ZKRESULT BankManager::ReadItem(Parse& parse, uint8_t type, uint32_t size)
{
    IZkBankItemKind* kind = BankItemKinds::Get(type);
    if (kind == nullptr)
        return ZK_NotImplemented; // the engine does not build objects of this type yet
    if (size < kItemIdBytes || size < kind->MinimumBodyBytes())
        return ZK_InvalidFile;
    if (g_pObjectIndex == nullptr)
        return ZK_Fail;
    const uint8_t* body = m_reader.GetData(size);
    if (body == nullptr)
        return ZK_Fail;
    ZKRESULT result;
    if (type == BankItemType::Bus && kind->AsBus() != nullptr)
    {
        result = ReadBus(parse, *kind->AsBus(), body, size);
    }
    else
    {
        CZkIndexedObject* object = nullptr;
        bool found = false;
        result = ReadObject(parse, type, *kind, body, size, object, found);
        if (result == ZK_Success && object != nullptr)
            parse.bank.AddItem(object);
    }
    m_reader.ReleaseData();
    return result;
}

ZKRESULT BankManager::ReadObject(Parse& parse, uint8_t type, IZkBankItemKind& kind, const uint8_t* body,
                                 uint32_t size, CZkIndexedObject*& object, bool& found)
{
    const ZkUniqueID id = ZK::LoadLittleEndian<uint32_t>(body);
    object = g_pObjectIndex->GetPtrAndAddRef(kind.Table(), id);
    found = object != nullptr;
    if (found)
    {
        // Referenced by this bank as well; sounds and play actions take the new bank's body.
        if (kind.ReadsAgain(object))
        {
            ZKRESULT reread;
            {
                ZK::Platform::ZkScopedLock guard(g_EngineLock);
                reread = kind.Read(object, body, size, parse.bank, true);
            }
            if (reread != ZK_Success && reread != ZK_AlreadyExists)
            {
                object->Release();
                object = nullptr;
                return reread;
            }
        }
        return ZK_Success;
    }

    ZKRESULT result;
    if (kind.IndexesAfterRead())
    {
        object = kind.Create(body, size);
        if (object == nullptr)
            return ZK_Fail;
        {
            ZK::Platform::ZkScopedLock guard(g_EngineLock);
            result = kind.Read(object, body, size, parse.bank, false);
        }
        if (result == ZK_Success)
            result = kind.AddToIndex(object);
    }
    else
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        object = kind.Create(body, size);
        if (object == nullptr)
            return ZK_Fail;
        result = kind.Read(object, body, size, parse.bank, false);
    }
    if (result == ZK_Success)
        return ZK_Success;
    object->Release();
    object = nullptr;
    return result == ZK_AlreadyExists && BankItemKinds::AcceptsAlreadyComplete(type) ? ZK_Success : result;
}

ZKRESULT BankManager::ReadBus(Parse& parse, IZkBankBusKind& kind, const uint8_t* body, uint32_t size)
{
    // The main device's bus assignment is its carried value (0 until a bank's main bus replaced the
    // placeholder main device); the device list belongs to the engine thread.
    bool mainDeviceUnassigned;
    const CZkIndexedObject* firstBus;
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        const CZkOutputDevice* mainDevice = CZkOutputDeviceMgr::GetMainDevice();
        mainDeviceUnassigned = mainDevice != nullptr && mainDevice->CarriedValue() == 0;
        firstBus = kind.FirstTopLevelBus();
    }
    CZkIndexedObject* bus = nullptr;
    bool found = false;
    const ZKRESULT result = ReadObject(parse, BankItemType::Bus, kind, body, size, bus, found);
    if (result != ZK_Success || bus == nullptr)
        return result;
    if (found && kind.IsTopLevel(bus))
    {
        ZKRESULT added;
        {
            ZK::Platform::ZkScopedLock guard(g_EngineLock);
            added = kind.AddTopLevelBus(bus);
        }
        if (added != ZK_Success)
        {
            bus->Release();
            return added;
        }
    }
    parse.bank.AddItem(bus);

    // The first bus of the engine (or the main device's unassigned first bus) and the main output
    // are tied together through the main output's device share set.
    const bool firstOfAll = firstBus == nullptr;
    const bool mainDeviceWaits = mainDeviceUnassigned && bus == firstBus;
    if (firstOfAll || mainDeviceWaits)
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        ZkOutputSettings& mainOutput = GetEngineSettings().mainOutput;
        if (mainOutput.audioDeviceShareSetID != 0)
        {
            kind.SetDeviceID(bus, mainOutput.audioDeviceShareSetID);
        }
        else
        {
            const uint32_t deviceID = kind.ResolveDeviceID(bus);
            if (deviceID != 0)
                mainOutput.audioDeviceShareSetID = deviceID;
            else
                kind.SetDeviceID(bus, 0);
        }
        parse.mainOutputMark = true;
    }
    return ZK_Success;
}

ZKRESULT BankManager::ReadHandlerItem(Parse& parse, const uint8_t* itemHeader, uint32_t size)
{
    const ZkHierarchyItemHandler handler = EngineHooks::GetHierarchyItemHandler();
    const uint64_t before = m_reader.BytesLeft();
    ZKRESULT result = ZK_PartialSuccess; // 3: not taken
    if (handler != nullptr)
        result = handler(itemHeader, &parse.bank, parse.request.bankID);
    // Whatever the handler read of the body, the rest is skipped, and it may not read past it.
    const uint64_t consumed = before - m_reader.BytesLeft();
    if (consumed > size)
        return ZK_InvalidFile;
    if (result != ZK_Success && result != ZK_PartialSuccess)
        return result;
    return SkipBody(size - static_cast<uint32_t>(consumed));
}
} // namespace ZK::SoundEngine
