// The list chunks: "STID" (bank file names), "PLAT" (the platform the bank was built for) and
// "INIT" (plug-in libraries to register).
#include "ZkAudiolib/Common/Banks/BankParse.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/FrontEnd/BankIdentification.h"
#include "ZkAudiolib/Common/Plugins/PluginLibrary.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include "Platform/PlatformText.h"

#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
// Groups {u32 string type, u32 count, count x {u32 bank id, u8 length, name}} until the body ends.
// With names null the body is only checked.
bool WalkBankNames(const uint8_t* body, uint32_t size, BankNameTable* names, ZKRESULT& result)
{
    result = ZK_Success;
    ZK::ZkByteCursor cursor(body, size);
    while (cursor.Remaining() > 0)
    {
        uint32_t stringType = 0, count = 0;
        if (!cursor.Read(stringType) || !cursor.Read(count))
            return false;
        for (uint32_t index = 0; index < count; ++index)
        {
            uint32_t bankID = 0;
            uint8_t length = 0;
            if (!cursor.Read(bankID) || !cursor.Read(length))
                return false;
            const uint8_t* name = cursor.Take(length);
            if (name == nullptr)
                return false;
            if (names != nullptr && (result = names->Add(bankID, reinterpret_cast<const char*>(name), length)) != ZK_Success)
                return true;
        }
    }
    return true;
}

// The length of the NUL-terminated text at the cursor, which must end inside the body.
bool TakeText(ZK::ZkByteCursor& cursor, const char*& text)
{
    const void* end = std::memchr(cursor.Current(), 0, cursor.Remaining());
    if (end == nullptr)
        return false;
    text = reinterpret_cast<const char*>(cursor.Current());
    return cursor.Skip(static_cast<const uint8_t*>(end) - cursor.Current() + 1);
}

// {u32 count, count x {u32 plug-in key, NUL-terminated UTF-8 library name}}; with registerThem
// false only checked.
bool WalkPluginLibraries(const uint8_t* body, uint32_t size, bool registerThem)
{
    ZK::ZkByteCursor cursor(body, size);
    uint32_t count = 0;
    if (!cursor.Read(count))
        return false;
    for (uint32_t index = 0; index < count; ++index)
    {
        uint32_t key = 0;
        const char* library = nullptr;
        if (!cursor.Read(key) || !TakeText(cursor, library))
            return false;
        if (!registerThem || PluginRegistry::GetPluginEntry(key) != nullptr || PluginRegistry::GetCodecEntry(key) != nullptr)
            continue;
        // A bank names a library of the plug-in folder, never a path to one elsewhere.
        if (std::strchr(library, '/') != nullptr)
            continue;
        wchar_t name[kPluginPathCapacity];
        ZK::Platform::Utf8ToWide(library, name, kPluginPathCapacity);
        // A library that cannot be registered leaves its plug-ins unknown; the bank still loads.
        RegisterPluginDLL(name, nullptr);
    }
    return true;
}
} // namespace

ZKRESULT BankManager::ReadBankNames(Parse&, uint32_t size)
{
    return ReadSection(size, ZK_ShortBankRead, [this](const uint8_t* body, uint32_t bodySize) {
        ZKRESULT added = ZK_Success;
        if (!WalkBankNames(body, bodySize, nullptr, added))
            return ZK_InvalidFile;
        WalkBankNames(body, bodySize, &m_bankNames, added);
        return added;
    });
}

ZKRESULT BankManager::ReadPlatform(Parse&, uint32_t size)
{
    return ReadSection(size, ZK_Fail, [](const uint8_t* body, uint32_t bodySize) {
        if (bodySize == 0)
            return ZK_Success;
        ZK::ZkByteCursor cursor(body, bodySize);
        const char* name = nullptr;
        return TakeText(cursor, name) ? CheckBankIdentification(name) : ZK_InvalidFile;
    });
}

ZKRESULT BankManager::ReadPluginLibraries(Parse&, uint32_t size)
{
    return ReadSection(size, ZK_Fail, [](const uint8_t* body, uint32_t bodySize) {
        if (bodySize == 0)
            return ZK_Success;
        if (!WalkPluginLibraries(body, bodySize, false))
            return ZK_InvalidFile;
        WalkPluginLibraries(body, bodySize, true);
        return ZK_Success;
    });
}
} // namespace ZK::SoundEngine
