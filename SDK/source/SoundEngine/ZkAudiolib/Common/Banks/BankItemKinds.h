// The kinds of hierarchy item the bank parser builds objects for, one per item type (1 to 22): for
// each, the object-index table it lives in, its constructor and its bank-body reader. The parser
// looks an item's id up in the kind's table, references an object that is already there (reading
// it again only when the kind asks for it: sounds and play actions) and otherwise creates and
// reads a new one under the global engine lock. Buses add what the top-level bus rule needs.
//
// The kinds the engine builds are registered from the start (BankItemKinds.cpp). A type with no
// kind registered is one whose objects this engine does not build yet: a bank that holds such an
// item ends its parse with 4 (not implemented). Types 0, 10 to 13 and above 22 are
// not kinds: they go to the hierarchy-item handler of the music engine.
//
// Threading: kinds are registered at start-up (or by a test) before any bank is parsed; their
// operations run on the bank thread under the locks the parser holds (Create and Read under the
// global engine lock, except Create of a kind that indexes after reading).
// Ownership: the kinds are static objects of their owners; the registry only points at them.
#pragma once

#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct LoadedBank;
class IZkBankBusKind;

class IZkBankItemKind
{
public:
    virtual ZkIndexKind Table() const = 0;
    // A body shorter than this is malformed (7): the id, and what Create reads besides.
    virtual uint32_t MinimumBodyBytes() const { return sizeof(uint32_t); }
    // A new object for the item body (its first u32 is the id), holding one reference and already
    // in its table (unless IndexesAfterRead); null when out of memory or when the body names
    // nothing the kind can create.
    virtual CZkIndexedObject* Create(const uint8_t* body, uint32_t size) = 0;
    // Reads the body into the object: 1; 91 when the object was already complete; a failure code.
    virtual ZKRESULT Read(CZkIndexedObject* object, const uint8_t* body, uint32_t size, LoadedBank& bank,
                          bool alreadyPresent) = 0;
    // Whether an object already present is read again from a new bank (sounds whose media the game
    // did not set, play actions without flag 0x20).
    virtual bool ReadsAgain(CZkIndexedObject*) { return false; }
    // Events are created outside the engine lock and put into their table after a successful read.
    virtual bool IndexesAfterRead() const { return false; }
    virtual ZKRESULT AddToIndex(CZkIndexedObject*) { return ZK_Success; }
    virtual IZkBankBusKind* AsBus() { return nullptr; }

protected:
    ~IZkBankItemKind() = default;
};

// Buses of item type 8: the engine's list of top-level buses and their output devices.
class IZkBankBusKind : public IZkBankItemKind
{
public:
    IZkBankBusKind* AsBus() override { return this; }
    // The first bus of the engine's top-level list, or null.
    virtual CZkIndexedObject* FirstTopLevelBus() = 0;
    virtual bool IsTopLevel(CZkIndexedObject* bus) = 0;
    // Adds a top-level bus to the list unless it is there. 1, or 52 when the list cannot grow.
    virtual ZKRESULT AddTopLevelBus(CZkIndexedObject* bus) = 0;
    // The bus's device share-set id, or that of its nearest ancestor that has one (kept in the
    // bus); kNoDevice when none has one.
    virtual uint32_t ResolveDeviceID(CZkIndexedObject* bus) = 0;
    virtual void SetDeviceID(CZkIndexedObject* bus, uint32_t deviceID) = 0;

    static constexpr uint32_t kNoDevice = 0xFFFFFFFFu;

protected:
    ~IZkBankBusKind() = default;
};

namespace BankItemKinds
{
// The kind of an item type; null for a type not built yet and for the types of the music engine.
IZkBankItemKind* Get(uint8_t type);
// Registers a kind (null removes it) and returns the one it replaces.
IZkBankItemKind* Set(uint8_t type, IZkBankItemKind* kind);
// Puts back the kinds the engine builds (tests that registered kinds of their own).
void RestoreBuiltIn();
// Whether the type goes to the hierarchy-item handler (0, 10 to 13, above 22).
constexpr bool IsHandlerType(uint8_t type)
{
    return type == 0 || (type >= 10 && type <= 13) || type > 22;
}
// Types whose read may answer 91 (the object was already complete), counted as success.
constexpr bool AcceptsAlreadyComplete(uint8_t type)
{
    return type == 2 || (type >= 5 && type <= 7) || type == 9 || (type >= 14 && type <= 22);
}
} // namespace BankItemKinds
} // namespace ZK::SoundEngine
