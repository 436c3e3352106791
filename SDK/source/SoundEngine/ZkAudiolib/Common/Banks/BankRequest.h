// BankRequest: one bank operation of the interface (load, unload, prepare, ...), copied by value
// into the bank manager's queue and executed in order. The bank parser reads the load fields.
//
// Threading and ownership: a plain record. A request owns its file name when nameOwned is set, and
// its id arrays (memory pool 0); the bank manager frees them after execution.
#pragma once

#include "ZkAudiolib/Common/Banks/BankFormat.h"
#include "ZkAudiolib/Common/Banks/ZkCallbackCookieList.h"

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
enum ZkBankRequestKind : uint32_t
{
    ZkBankRequestLoad = 0,
    ZkBankRequestUnload = 1,
    ZkBankRequestPrepareEvents = 2,
    ZkBankRequestUnprepareEvents = 3,
    ZkBankRequestPrepareGameSyncs = 4,
    ZkBankRequestClearPreparedEvents = 5,
    ZkBankRequestPrepareBank = 6,
    ZkBankRequestUnprepareBank = 7,
    ZkBankRequestClearBanks = 8,
};

struct BankRequest
{
    uint32_t kind = ZkBankRequestLoad;
    ZkBankID bankID = 0;            // kinds 0, 1, 6, 7
    char* fileName = nullptr;       // UTF-8, ".bnk" appended; may be null
    uint8_t nameOwned = 0;
    ZkBankCallbackFunc callback = nullptr;
    void* cookie = nullptr;
    uint32_t sourceKind = ZkBankSourceByName; // kinds 0 and 1
    union
    {
        struct // kinds 0 and 1
        {
            const void* memory;
            uint32_t memorySize;
        } bank;
        struct // kinds 2 and 3
        {
            uint32_t eventCount;
            union
            {
                ZkUniqueID eventID;     // count 1
                ZkUniqueID* eventIDs;   // count above 1 (owned)
            };
        } events;
        struct // kind 4
        {
            uint32_t groupType;
            uint32_t groupID;
            uint8_t prepare;
            uint32_t valueCount;
            union
            {
                ZkUniqueID valueID;     // count 1
                ZkUniqueID* valueIDs;   // count above 1 (owned)
            };
        } gameSyncs;
        struct // kinds 6 and 7
        {
            uint32_t content; // 1 structure and media; any other value structure only
            uint8_t decode;
        } preparation;
    } data{};
};
} // namespace ZK::SoundEngine
