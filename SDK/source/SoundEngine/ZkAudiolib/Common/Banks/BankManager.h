// BankManager: owns everything that comes from banks: the table of bank records, the bank-name
// table, the bank reader and the callback cookies of pending requests. This file holds the manager's
// state and the parse of one bank (ParseBank), which turns a bank file or block into a LoadedBank
// record: its media index and media block, and a reference on every hierarchy object it creates or
// finds; and which applies the bank's global settings (game syncs, environment curves, plug-in
// libraries, bank names, platform).
//
// Every chunk is read within its declared size: a count or field that runs past its chunk makes
// the bank malformed (7), and no section ever reads the bytes of the next chunk.
//
// Life cycle: construct, Init (bank table, reader), parses, Term, destroy.
// Threading: one parse at a time, on the bank thread (or the caller's without one). The parse
// takes the bank-table lock only around the look-up of the bank record, and the global engine lock
// around each object creation and read, each top-level bus list change and the whole "STMG" chunk,
// so the engine tick never sees a half-read object; it never takes the engine lock while holding
// the bank-table lock.
// Ownership: the manager owns its tables, reader and cookie list. A parsed record belongs to the
// caller (who links it into the bank table or releases it, also after a failure).
#pragma once

#include "ZkAudiolib/Common/Banks/BankNameTable.h"
#include "ZkAudiolib/Common/Banks/BankReader.h"
#include "ZkAudiolib/Common/Banks/BankRequest.h"
#include "ZkAudiolib/Common/Banks/CZkLockedIdTable.h"
#include "ZkAudiolib/Common/Banks/LoadedBank.h"
#include "ZkAudiolib/Common/Banks/ZkCallbackCookieList.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkIndexedObject;
class IZkBankItemKind;
class IZkBankBusKind;
struct ZkMediaRef;

class BankManager
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_EngineSingletons;
    // The message that asks the engine thread to replace the main output.
    static constexpr uint16_t kReplaceMainOutputMessage = 55;

    BankManager();
    virtual ~BankManager();
    BankManager(const BankManager&) = delete;
    BankManager& operator=(const BankManager&) = delete;

    // The bank table to 11 buckets (52 when out of memory) and the reader. 1.
    virtual ZKRESULT Init();
    // Frees the tables and the reader's buffers. Bank records still in the table belong to their
    // owner (the bank manager releases them before).
    virtual ZKRESULT Term();

    // The whole parse of one bank (see the file comment). 69 when the bank (same key) is already
    // loaded; 7 malformed (first chunk not "BKHD", a chunk header cut short, a count or item running
    // past its chunk, "DIDX" entries reaching outside "DATA"); 56 short read of the header or of
    // "DIDX"; 64 incompatible version (or, for versions 118 to 139, any chunk but "DIDX" and
    // "DATA"); 83 another platform; 52 out of memory; 2 an item body that cannot be taken or a
    // constructor that gives nothing; 4 an item, section or step whose engine part is not built
    // yet; otherwise a constructor's, a manager's or the reader's result. bank receives the record
    // used (also on failure, null when none was made); the reader is closed in every case.
    // Preparations (parse types 1 to 3) are not built yet: they answer 4 and do nothing.
    ZKRESULT ParseBank(const BankRequest& request, LoadedBank*& bank, uint32_t parseType, bool countStructure,
                       bool decode);

    // Registers a loaded bank's media in the media index (data = the bank's media block). The media
    // index is not built yet: answers 4 and registers nothing.
    virtual ZKRESULT RegisterBankMedia(const uint8_t* data, LoadedBank& bank);
    // Prepares the media a node's media reference needs (one reference on its media-index entry),
    // and gives it back. The media index is not built yet: SetMediaEntry answers 4 and prepares
    // nothing; ReleaseMediaEntry does nothing.
    virtual ZKRESULT SetMediaEntry(const ZkMediaRef& media);
    virtual void ReleaseMediaEntry(ZkUniqueID mediaID);

    // Appends an object (its reference now the record's) to a bank's item list: for the
    // hierarchy-item handler.
    static void AddLoadedItem(LoadedBank& bank, CZkIndexedObject* object) { bank.AddItem(object); }

    BankReader& Reader() { return m_reader; }
    CZkLockedIdTable& BankTable() { return m_bankTable; }
    BankNameTable& BankNames() { return m_bankNames; }
    ZkCallbackCookieList& Cookies() { return m_cookies; }

private:
    struct Parse;

    ZKRESULT FindOrCreateRecord(const BankRequest& request, LoadedBank*& bank, uint32_t parseType,
                                bool countStructure);
    ZKRESULT OpenReader(const BankRequest& request);
    ZKRESULT ReadHeader(Parse& parse);
    ZKRESULT ReadChunks(Parse& parse);
    ZKRESULT SkipBody(uint32_t size);
    // The next size bytes as one block (in place or a copy released with the reader's ReleaseData):
    // shortResult when the bank ends before them, 52 when a copy cannot be made.
    ZKRESULT TakeBody(uint32_t size, const uint8_t*& body, ZKRESULT shortResult);
    // Takes a chunk's body whole (as TakeBody), hands it to read(body, size) and gives it back.
    template <typename Read>
    ZKRESULT ReadSection(uint32_t size, ZKRESULT shortResult, Read&& read);

    ZKRESULT ReadMediaIndex(Parse& parse, uint32_t size);
    ZKRESULT ReadMediaData(Parse& parse, uint32_t size);
    ZKRESULT ReadHierarchy(Parse& parse, uint32_t size);
    ZKRESULT ReadItem(Parse& parse, uint8_t type, uint32_t size);
    // Finds the item's object (found set) or creates and reads it; object is null when the read
    // answered 91 for a kind that accepts it.
    ZKRESULT ReadObject(Parse& parse, uint8_t type, IZkBankItemKind& kind, const uint8_t* body, uint32_t size,
                        CZkIndexedObject*& object, bool& found);
    ZKRESULT ReadBus(Parse& parse, IZkBankBusKind& kind, const uint8_t* body, uint32_t size);
    ZKRESULT ReadHandlerItem(Parse& parse, const uint8_t* itemHeader, uint32_t size);
    ZKRESULT ReadGameSyncs(Parse& parse, uint32_t size);
    ZKRESULT ReadEnvironment(Parse& parse, uint32_t size);
    ZKRESULT ReadBankNames(Parse& parse, uint32_t size);
    ZKRESULT ReadPlatform(Parse& parse, uint32_t size);
    ZKRESULT ReadPluginLibraries(Parse& parse, uint32_t size);

    BankReader m_reader;
    CZkLockedIdTable m_bankTable;
    BankNameTable m_bankNames;
    ZkCallbackCookieList m_cookies;
};

// The engine's bank manager; null before the engine's initialisation and after its termination.
extern BankManager* g_pBankManager;
} // namespace ZK::SoundEngine
