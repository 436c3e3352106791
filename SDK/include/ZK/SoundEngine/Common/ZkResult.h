// ZKRESULT: the result of every sound-engine operation. One table of stable numbers; a number may
// carry a more precise meaning in the operation that returns it, and then has a second name.
#pragma once

#include <cstdint>

enum ZKRESULT : uint32_t
{
    ZK_NothingToReport = 0,
    ZK_Success = 1,
    ZK_Fail = 2,
    ZK_PartialSuccess = 3,          // also: not found inside an object; deferred by an initial delay
    ZK_NotImplemented = 4,          // also: category not allowed under a container
    ZK_AlreadyAChild = 5,           // also: the source joined an existing voice
    ZK_InvalidFile = 7,             // invalid or malformed file
    ZK_HeaderIncomplete = 8,        // media header incomplete in the bytes given
    ZK_EffectInOtherSlot = 9,       // the effect already runs in another slot of the device; also: a full child array
    ZK_PluginTypeMismatch = 10,
    ZK_InvalidShareSetID = 14,      // also: id 0 given
    ZK_InvalidID = 15,              // invalid id or name
    ZK_StateObjectNotLoaded = 16,
    ZK_NoMoreData = 17,
    ZK_UnknownStateGroup = 20,
    ZK_ChildRoutedElsewhere = 21,
    ZK_LanguageNotFound = 22,
    ZK_BusWouldBeOwnChild = 23,     // also: a node would be its own ancestor
    ZK_InvalidParameter = 31,
    ZK_DuplicateUniqueID = 35,      // the same id twice where ids must differ
    ZK_ItemNotFound = 36,           // the item is not in the array
    ZK_NoVertex = 37,               // a position path without vertices
    ZK_NotPlaying = 38,
    ZK_NotPaused = 39,
    ZK_AlreadyInList = 40,
    ZK_NotInList = 41,
    ZK_DataNeeded = 43,
    ZK_NotProcessedThisFrame = 44,
    ZK_DataReady = 45,
    ZK_NoDataReady = 46,            // also: plug-in built for another engine version; nothing to mix
    ZK_InsufficientMemory = 52,
    ZK_TransferNotStarted = 53,     // retried later
    ZK_BankNotLoaded = 54,
    ZK_ShortBankRead = 56,
    ZK_IDAlreadyListed = 57,        // an id listed twice in one list of a bank item
    ZK_NotReadyYet = 63,
    ZK_WrongBankVersion = 64,
    ZK_FileNotFound = 66,
    ZK_DeviceNotActive = 67,        // audio endpoint not active
    ZK_BankAlreadyLoaded = 69,
    ZK_MemoryMgrNotInitialized = 74,
    ZK_StreamMgrNotInitialized = 75,
    ZK_ChannelConfigWithoutChannels = 78, // volume offsets for a configuration of 0 channels
    ZK_InstanceLimitReached = 80,
    ZK_MidiEventFiltered = 82,
    ZK_PlatformMismatch = 83,       // bank platform differs
    ZK_PluginNotRegistered = 88,    // plug-in or codec not registered
    ZK_BankMisaligned = 89,         // in-memory bank misaligned
    ZK_SinkAsksForBaseSink = 90,    // a sink's Init: run the device on the base sink as a working one
    ZK_AlreadyExists = 91,          // object already exists; bank item id used by another class
    ZK_MainOutputNotReady = 92,
    ZK_DeviceNotFound = 93,         // output device not found
    ZK_PlayingIDWithoutGameObject = 94,
    ZK_NotFinite = 95,              // value not finite
    ZK_UnsupportedFormat = 96,      // unsupported format tag
    ZK_ListenerSetConflict = 97,    // two devices of one share set with an empty or shared listener set
    ZK_MediaInUse = 99,
};
