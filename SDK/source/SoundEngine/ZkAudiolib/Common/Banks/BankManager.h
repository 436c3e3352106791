// BankManager: owns everything that comes from banks: the table of bank records, the bank-name
// table, the media index, the bank reader and the callback cookies of pending requests. Every bank
// operation of the interface is a BankRequest that the manager executes in order (ExecuteRequest):
// this plain manager runs it at once on the caller's thread; ThreadedBankManager queues it for its
// "ZK::BankManager" thread. The result reaches the caller through the request's completion callback
// (called once, unless its cookie was cancelled) or, for the synchronous interface forms, through
// PrepareWait / SubmitRequest / Wait.
//
// A bank is never freed by the thread that unloads it: the record leaves the bank table, its objects
// are released, and message 26 hands it to the engine thread, which stops what plays from it and
// drops its load reference (LoadedBank::Release). Sources that read a bank's media hold a load
// reference of their own (GetMedia), so the bank's media block outlives its last reader.
//
// The parse (ParseBank) turns a bank file or block into a LoadedBank record: its media index and
// media block, and a reference on every hierarchy object it creates or finds; and applies the bank's
// global settings (game syncs, environment curves, plug-in libraries, bank names, platform). Every
// chunk is read within its declared size: a count or field that runs past its chunk makes the bank
// malformed (7), and no section ever reads the bytes of the next chunk.
//
// Life cycle: construct, Init (bank table, reader), requests, StopThread, Term, destroy.
// Threading: requests run one at a time (on the bank thread, or under the execution lock on the
// caller's thread). Lock order: the bank-table lock (CZkLockedIdTable::Lock) before the media lock;
// the global engine lock is never taken while the bank-table lock is held. The parse takes the
// engine lock only around each object creation and read, each top-level bus list change and the
// whole "STMG" chunk, so the engine tick never sees a half-read object. GetMedia and ReleaseMedia
// run on the audio thread; SetMedia, UnsetMedia and TryUnsetMedia on game threads; each takes the
// locks it needs.
// Ownership: the manager owns its tables, the media index with its prepared copies, the reader and
// the cookie list. A parsed record belongs to the caller (who links it into the bank table or
// releases it, also after a failure).
#pragma once

#include "ZkAudiolib/Common/Banks/BankNameTable.h"
#include "ZkAudiolib/Common/Banks/BankReader.h"
#include "ZkAudiolib/Common/Banks/BankRequest.h"
#include "ZkAudiolib/Common/Banks/BankSyncWait.h"
#include "ZkAudiolib/Common/Banks/CZkLockedIdTable.h"
#include "ZkAudiolib/Common/Banks/LoadedBank.h"
#include "ZkAudiolib/Common/Banks/MediaIndex.h"
#include "ZkAudiolib/Common/Banks/ZkCallbackCookieList.h"
#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include "Platform/PlatformLock.h"

#include <ZK/SoundEngine/Common/ZkPluginCalls.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEventAction;
class CZkEventObject;
class CZkIndexedObject;
class IZkBankItemKind;
class IZkBankBusKind;
struct ZkMediaRef;

// The file type of a media file opened by id ("%u.oxm"); banks are file type 0.
constexpr uint16_t kMediaFileType = 1;
// A prepared media read with this file type takes the second instance of the shared heap.
constexpr uint16_t kSecondInstanceMediaFileType = 3;

// What a media preparation needs to know of a media: its id, its file, the bytes to keep in memory,
// the media reference's flags (storage kind in bits 2-6, prefetch bit 1, language bit 0) and the
// file type of the file opening.
struct ZkMediaPreparation
{
    ZkUniqueID mediaID = 0;
    uint32_t fileID = 0;
    uint32_t inMemorySize = 0;
    uint32_t flags = 0;
    uint16_t fileType = kMediaFileType;
};

class BankManager
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_EngineSingletons;
    // The message that asks the engine thread to replace the main output.
    static constexpr uint16_t kReplaceMainOutputMessage = 55;
    // The prepared copy of a media (the shared heap, category 3).
    static constexpr ZkMemoryId kPreparedMediaMemID = ZkMemID_SharedHeap | 3;
    static constexpr ZkMemoryId kSecondInstanceMediaMemID = ZkMemID_SharedHeap | ZkMemID_SecondInstance | 3;
    static constexpr uint32_t kPreparedMediaAlignment = 16;
    // Objects of a bank's item list released per hold of the global engine lock.
    static constexpr uint32_t kItemsPerEngineLock = 255;

    BankManager();
    virtual ~BankManager();
    BankManager(const BankManager&) = delete;
    BankManager& operator=(const BankManager&) = delete;

    // The bank table to 11 buckets (52 when out of memory), the reader and the cookie list. 1.
    virtual ZKRESULT Init();
    // Clears the prepared events; drops the preparations still held; releases every bank still in
    // the table as its last load reference would (no callback is called); frees the tables, the
    // media index with its prepared copies, the reader's buffers, the collected media and the
    // cookie list. Called after StopThread, when no request runs any more.
    virtual ZKRESULT Term();

    // --- Requests ---
    // Plain: registers the callback's cookie (its failure is returned), executes the request on the
    // caller's thread and frees its owned name; 1 whatever the request's result (Wait reads it).
    virtual ZKRESULT SubmitRequest(BankRequest& request);
    // Readies a synchronous interface call's wait record. Plain: 1, nothing else.
    virtual ZKRESULT PrepareWait(BankSyncWait& wait);
    // The result of a synchronous call: plain, the calling thread's last executed request when the
    // submit result is 1, else the submit result.
    virtual ZKRESULT Wait(BankSyncWait& wait, ZKRESULT submitResult);
    // The callback the synchronous interface forms give their requests: none here (Wait reads the
    // last result); the threaded manager's signals the wait record.
    virtual ZkBankCallbackFunc SyncCallback() const { return nullptr; }
    // Plain: nothing.
    virtual void StopThread() {}
    // Plain: nothing (every callback has been called by the time the interface call returns).
    virtual void CancelCookie(void*) {}
    // Hands a bank that has left the bank table to the engine thread (below). Plain: the synchronous
    // form, then the callback with its result.
    virtual ZKRESULT UnloadThroughEngine(LoadedBank& bank, ZkBankCallbackFunc callback, void* cookie);

    // Runs one request and notifies its callback (see ExecuteLoad and the others for each kind).
    // Any other kind answers 1.
    ZKRESULT ExecuteRequest(BankRequest& request);
    // Stores the result as the calling thread's last result and, when the request has a callback
    // whose cookie is still registered, unregisters the cookie and calls the callback.
    void NotifyRequest(const BankRequest& request, ZKRESULT result);
    // Frees what a request owns (its name and id arrays).
    static void FreeRequestHoldings(BankRequest& request);

    // Releases the bank's objects (the global engine lock held for kItemsPerEngineLock objects at a
    // time), stores the unload callback, marks the bank unloading and posts message 26 so that the
    // engine thread releases it at its next tick. The asynchronous form returns at once; the callback
    // comes from the engine thread. The synchronous form waits for the release and returns its
    // result; without an engine thread the calling thread runs the engine's ticks while it waits.
    // A synchronous form that cannot ready its wait (2, 52) puts the bank back into the bank table
    // untouched. Without an engine (no event manager) the bank is released at once.
    ZKRESULT UnloadThroughEngineAsync(LoadedBank& bank, ZkBankCallbackFunc callback, void* cookie);
    ZKRESULT UnloadThroughEngineSync(LoadedBank& bank);

    // Request kind 5: every prepared event loses its preparations.
    void ClearPreparedEvents();

    // --- Preparations (BankPreparation*.cpp, EventPreparation.cpp) ---
    // Deepest chain of events that play events a preparation follows.
    static constexpr uint32_t kMaxPreparationDepth = 32;

    // One more preparation of an event: the first prepares what its actions play (the banks of
    // their targets structure-only, the targets and their media) and takes the preparation's
    // reference. 15 when the event is not loaded; else the preparation's result (nothing left
    // prepared on failure). Also called directly by the music engine for the events it uses.
    ZKRESULT PrepareEvent(ZkUniqueID eventID);
    // One preparation less; the last undoes what the first prepared. 15 when the event is not
    // loaded, else 1 (also for an event that was not prepared).
    ZKRESULT UnprepareEvent(ZkUniqueID eventID);
    // Prepares the event's actions in list order (play: the target's bank structure-only, then the
    // target; play an event: that event's actions). An event already on the chain being prepared is
    // skipped (an event that plays itself); a chain deeper than kMaxPreparationDepth events fails
    // with 2. On failure the actions prepared before are undone.
    ZKRESULT PrepareEventActions(CZkEventObject& event);
    // Undoes PrepareEventActions (the same skips, to the same depth).
    void UnprepareEventActions(CZkEventObject& event);
    // Loads the media collected by the current preparation request, in file order. On failure the
    // ones loaded before lose their reference again. 1 for none.
    ZKRESULT LoadCollectedMedia();
    // Request kind 4's work: prepares (or unprepares) each game-sync value in order, undoing the
    // values before a failing one; with preparation, the nodes' media are collected and loaded at
    // the end. The request's result.
    ZKRESULT PrepareGameSyncsRequest(const BankRequest& request);
    // Request kind 6's work (without notification): one more preparation of the bank {bank id,
    // no memory}; content 1 prepares its media too (decoded with decode), any other content only
    // its structure. countStructure counts it as a preparation of the interface's PrepareBank. A
    // record present already is reused (a loaded bank only gains the count: 1, or 69 when its media
    // are asked for). A failure leaves no preparation behind.
    ZKRESULT PrepareBankRequest(const BankRequest& request, uint32_t content, bool decode, bool countStructure);
    // Reads each media of the bank's "DIDX" entries from the reader, positioned at the start of the
    // "DATA" body of dataSize bytes, into a prepared copy of its own (from a copy already in the
    // index when there is one), decoded with decode; then skips the rest of the body and marks the
    // bank's media prepared. 7 for an entry outside the body or one behind the reader's position; 2
    // for a table without buckets or a short read; 52 out of memory. A failure gives back every
    // reference this pass took.
    ZKRESULT LoadPreparedMedia(LoadedBank& bank, uint32_t dataSize, bool decode);

    // Records that left the bank table by an unload while preparations still hold them: nothing
    // finds them any more (a later unpreparation looks in the table), so Term frees what is left of
    // them. Under the bank-table lock.
    void AddDetached(LoadedBank& bank);
    void RemoveDetached(LoadedBank& bank);
    uint32_t DetachedCount() const;

    // The whole parse of one bank (see the file comment). 69 when the bank (same key) is already
    // loaded; 7 malformed (first chunk not "BKHD", a chunk header cut short, a count or item running
    // past its chunk, "DIDX" entries reaching outside "DATA"); 56 short read of the header or of
    // "DIDX"; 64 incompatible version (or, for versions 118 to 139, any chunk but "DIDX" and
    // "DATA"); 83 another platform; 52 out of memory; 2 an item body that cannot be taken or a
    // constructor that gives nothing; 4 an item, section or step whose engine part is not built
    // yet; otherwise a constructor's, a manager's or the reader's result. bank receives the record
    // used (also on failure, null when none was made); the reader is closed in every case.
    // Preparations (parse types 1 to 3) open the bank by name, else by id; type 2 skips the media
    // chunks, types 1 and 3 read each media into a prepared copy (LoadPreparedMedia).
    ZKRESULT ParseBank(const BankRequest& request, LoadedBank*& bank, uint32_t parseType, bool countStructure,
                       bool decode);

    // --- Media index ---
    // Registers a loaded bank's media (data = the bank's media block): a copy {data + offset, size}
    // of each "DIDX" entry in the index, one reference each (an entry whose media already has a
    // prepared copy only takes the reference). Nothing when the bank has registered media already or
    // has no entries. 7 (nothing registered) when an entry reaches past the bank's data size; 52 when
    // the table or a copy array cannot grow (what was registered for this bank is removed again).
    virtual ZKRESULT RegisterBankMedia(const uint8_t* data, LoadedBank& bank);
    // Removes the bank's copies from the index, one reference per registered entry.
    void ReleaseBankMedia(LoadedBank& bank);
    // Adds one reference to the media's entry and hands out its prepared copy, else its longest copy
    // whose bank is not unloading (the newest among equal sizes); bank receives the copy's bank, which
    // gets one more load reference (the caller drops it with LoadedBank::Release). Null data when the
    // media is not found or has no copy to hand out (nothing is taken then).
    ZkMediaBlock GetMedia(ZkUniqueID mediaID, LoadedBank*& bank);
    // Drops the reference GetMedia took.
    void ReleaseMedia(ZkUniqueID mediaID);

    // The game's media blocks (SetMedia, UnsetMedia, TryUnsetMedia of the interface).
    // 1; 2 for a record with null memory or size 0 or a table without buckets; 52 when a copy array
    // cannot grow. A failure undoes what this call added.
    ZKRESULT SetMedia(const ZkSourceSettings* settings, uint32_t count);
    // Removes each record's copy; 99 when one of the media was in use (its users are stopped), else 1.
    ZKRESULT UnsetMedia(const ZkSourceSettings* settings, uint32_t count);
    // Removes each record's copy only where the media is not in use: 1 written for a copy removed, 99
    // for one in use (left as it was), nothing for a media not in the index. 99 when any was in use.
    ZKRESULT TryUnsetMedia(const ZkSourceSettings* settings, uint32_t count, ZKRESULT* results);

    // Prepares the media a node's media reference needs (one reference on its media-index entry):
    // collected for later while a preparation request collects, else loaded at once
    // (LoadMediaEntry). ReleaseMediaEntry gives it back (nothing while collecting).
    virtual ZKRESULT SetMediaEntry(const ZkMediaRef& media);
    virtual void ReleaseMediaEntry(ZkUniqueID mediaID);
    // What preparing a media reference asks for: its file opens as "<file id>.oxm" with the file
    // type of its codec (plug-in id >> 16).
    static ZkMediaPreparation PreparationOf(const ZkMediaRef& media);
    // Whether loading the media keeps a prepared copy (and so a reference of its entry): not for a
    // media without in-memory bytes, nor for one streamed from its file without prefetch.
    static bool KeepsPreparedCopy(const ZkMediaPreparation& media);
    // Gives one reference of the media's entry back, always.
    void ReleaseMediaReference(ZkUniqueID mediaID);
    // Loads one prepared media: 1 with nothing to do (no in-memory size, a streamed media without
    // prefetch, a media already prepared); else one reference on the entry and a prepared copy made
    // from the media's first copy or read from its file. 2 for a table without buckets or a file read
    // short; 52 out of memory; the reader's result when the file cannot be opened. A failure leaves
    // nothing taken.
    ZKRESULT LoadMediaEntry(const ZkMediaPreparation& media);
    bool IsCollectingMedia() const { return m_collecting; }
    void SetCollectingMedia(bool collecting);
    const ZK::ZkArray<ZkMediaPreparation>& CollectedMedia() const { return m_collected; }

    // Appends an object (its reference now the record's) to a bank's item list: for the
    // hierarchy-item handler.
    static void AddLoadedItem(LoadedBank& bank, CZkIndexedObject* object) { bank.AddItem(object); }

    BankReader& Reader() { return m_reader; }
    CZkLockedIdTable& BankTable() { return m_bankTable; }
    BankNameTable& BankNames() { return m_bankNames; }
    ZkCallbackCookieList& Cookies() { return m_cookies; }
    const MediaIndex& Media() const { return m_media; }
    ZK::Platform::ZkCriticalSection& MediaLock() { return m_mediaLock; }

protected:
    // The kinds of requests.
    ZKRESULT ExecuteLoad(BankRequest& request);
    ZKRESULT ExecuteUnload(BankRequest& request);
    ZKRESULT ExecuteClearBanks(BankRequest& request);
    ZKRESULT ExecutePrepareEvents(BankRequest& request);
    ZKRESULT ExecuteUnprepareEvents(BankRequest& request);
    void ExecuteUnprepareBank(const BankRequest& request);
    // Posts message 26 for the bank and ends the frame. False when there is no engine to post to.
    static bool PostUnloadMessage(LoadedBank& bank);
    // Releases the item list, stores the unload callback and marks the bank unloading.
    static void BeginUnload(LoadedBank& bank, ZkBankCallbackFunc callback, void* cookie);
    // Waits for the wait record's callback. Without an engine thread (or in offline rendering) the
    // engine ticks only when someone runs it: the waiting thread runs its ticks meanwhile, so a
    // wait that needs the engine (an unload) ends.
    static ZKRESULT AwaitWithEngine(BankSyncWait& wait);

    // Runs the requests of the plain manager one at a time.
    ZK::Platform::ZkCriticalSection m_executionLock;

private:
    struct Parse;
    struct EventPath;

    ZKRESULT PrepareActions(CZkEventObject& event, EventPath& path);
    void UnprepareActions(CZkEventObject& event, EventPath& path);
    void UnprepareAction(CZkEventAction& action, EventPath& path);
    // Drops one preparation of the bank record {bank id, no memory} when the table holds it.
    void ReleaseBankPreparation(ZkBankID bankID);
    // The prepared copy of a media, under the media lock: its entry takes one reference (made when
    // absent); an entry without a prepared copy gets one copied from its first copy, or, without
    // copies, read by read(block, size) into a block of size bytes with the media lock left (read
    // may replace the block and its size). A failure gives the reference back.
    template <typename Read>
    ZKRESULT PrepareEntry(ZkUniqueID mediaID, ZkMemoryId memoryID, uint32_t size, Read&& read);
    // Reads a bank's media from the reader at position (moved past it) into block, decoded with
    // decode. 7 for an entry behind the position; 2 for a short skip or read.
    ZKRESULT ReadBankMedia(const ZkMediaEntry& entry, uint32_t& position, bool decode, uint8_t*& block,
                           uint32_t& size);

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

    // Media index steps, under the media lock.
    bool AddBankCopy(const ZkMediaEntry& entry, const uint8_t* data, LoadedBank& bank, ZKRESULT& result);
    // Removes the copy of memory that SetMedia added and its reference.
    void RemoveGameCopy(MediaIndexEntry& entry, const uint8_t* memory);
    ZKRESULT ReadMediaFile(const ZkMediaPreparation& media, uint8_t* block);
    ZKRESULT CollectMedia(const ZkMediaPreparation& media);

    BankReader m_reader;
    ZK::Platform::ZkCriticalSection m_mediaLock;
    MediaIndex m_media;
    CZkLockedIdTable m_bankTable;
    BankNameTable m_bankNames;
    ZK::ZkArray<ZkMediaPreparation> m_collected;
    bool m_collecting = false;
    LoadedBank* m_detached = nullptr;
    ZkCallbackCookieList m_cookies;
};

// The engine's bank manager; null before the engine's initialisation and after its termination.
extern BankManager* g_pBankManager;
} // namespace ZK::SoundEngine
