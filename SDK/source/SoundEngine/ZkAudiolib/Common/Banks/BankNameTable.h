// BankNameTable: the bank manager's table of bank file names by bank id, filled from the "STID"
// chunks of the banks it reads. A name is stored as the bank's name followed by ".bnk"; the first
// name given for an id is kept. The table only grows until Term.
//
// Threading: written by the bank thread during a parse, read by the bank manager on that thread.
// Ownership: the table owns its entries and names (memory pool 0) and its buckets.
#pragma once

#include "ZkAudiolib/Common/Containers/CZkHashTable.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkBankNameEntry
{
    ZkBankNameEntry* pNextItem = nullptr;
    ZkBankID id = 0;
    char* fileName = nullptr; // name + ".bnk" + NUL
};

class BankNameTable
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    BankNameTable() = default;
    ~BankNameTable() { Term(); }
    BankNameTable(const BankNameTable&) = delete;
    BankNameTable& operator=(const BankNameTable&) = delete;

    // Stores name (length bytes, no terminator) + ".bnk" for the id unless the id has a name. 1, or
    // 52 when the entry or its name cannot be allocated (nothing stored).
    ZKRESULT Add(ZkBankID id, const char* name, uint32_t length);
    // The file name of the bank, or null.
    const char* Find(ZkBankID id) const;
    uint32_t Length() const { return m_table.Length(); }
    // Frees every entry and name.
    void Term();

private:
    ZK::CZkHashTable<ZkBankNameEntry, &ZkBankNameEntry::pNextItem, &ZkBankNameEntry::id> m_table;
};
} // namespace ZK::SoundEngine
