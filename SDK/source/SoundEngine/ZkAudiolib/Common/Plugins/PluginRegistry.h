// PluginRegistry: the engine's tables of plug-in factories and codec factories. Effects, sources,
// mixers, sinks and metadata plug-ins are created through it by key ((plug-in id << 16) + company
// id x 16 + type), codecs' sources likewise (type 1).
//
// Plug-ins arrive three ways: the built-in ones push registration nodes onto the program's
// g_pZKPluginList before main runs; Init registers the built-in PCM codec and every node of that
// list; RegisterPluginDLL loads a plug-in library and registers the nodes of its own list.
// Look-ups are linear scans (a few dozen entries at most).
//
// Threading: registration runs at start-up or on the game thread, creation on the engine's threads.
// The tables have no lock: registration after start-up must not overlap creation.
// Ownership: the registry owns its two tables and its copy of the plug-in folder (memory pool 0).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <ZK/SoundEngine/Common/IZkPlugin.h>
#include <ZK/SoundEngine/Common/ZkPluginRegistration.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkVoiceSource;

struct ZkPluginEntry
{
    uint32_t key;
    ZK::ZkCreatePluginCallback createFunc;
    ZK::ZkCreateParamCallback createParamFunc;
    void* data;
};

struct ZkCodecEntry
{
    uint32_t key;
    ZK::ZkCreateCodecCallback createFileSource;
    ZK::ZkCreateCodecCallback createBankSource;
    ZK::ZkCodecFunction function3;
    ZK::ZkCodecFunction function4;
};

namespace PluginRegistry
{
constexpr uint32_t kBuiltInCodecID = 1;
// Source kind of CreateCodec that takes the file-source creator; every other takes the bank one.
constexpr uint32_t kSourceKindFile = 1;
constexpr ZkMemoryId kCodecSourcePool = ZkMemID_Processing;

// Keeps a copy of the folder (ending in '/'; null keeps none), registers the built-in codec and every
// node of the program's list. 1, or 52 when the folder cannot be copied.
ZKRESULT Init(const wchar_t* pluginFolder);
// Frees both tables and the folder.
void Term();

// 2 when the key is present; 31 without a file or bank creator; 2 when the table cannot grow; 1.
ZKRESULT RegisterCodec(uint32_t companyID, uint32_t codecID, ZK::ZkCreateCodecCallback fileSource,
                       ZK::ZkCreateCodecCallback bankSource, ZK::ZkCodecFunction function3,
                       ZK::ZkCodecFunction function4);
// 1 (the first entry kept) when the key is present; 2 when the table cannot grow; 1.
ZKRESULT RegisterPlugin(uint32_t type, uint32_t companyID, uint32_t pluginID, ZK::ZkCreatePluginCallback create,
                        ZK::ZkCreateParamCallback createParam, void* data);
// Registers every node from first on; a node whose registration succeeded and that has a
// registration callback gets it called with the global plug-in context. 1.
ZKRESULT RegisterList(const ZK::ZkPluginRegistrationNode* first);

// 88 when the key is not registered; 2 when the creator gives nothing; else 1 with the instance and
// its plug-in info.
ZKRESULT CreatePlugin(uint32_t key, ZK::IZkPlugin*& instance, ZK::IZkPluginMemAlloc* allocator,
                      ZK::ZkPluginInfo& info);
// 88 when not registered; 1 with null when the plug-in has no parameters; 2 when the creator gives
// nothing; 1.
ZKRESULT CreatePluginParam(ZK::IZkPluginMemAlloc* allocator, uint32_t key, ZK::IZkPluginParam*& parameters);
// 46 when the info was built for another engine version, 10 for another type, else 0.
ZKRESULT CheckPluginInfo(uint32_t expectedType, const ZK::ZkPluginInfo& info);

// The codec's file-source creator for source kind 1, its bank-source creator otherwise; null when
// the key is not registered or the creator gives nothing.
CZkVoiceSource* CreateCodec(void* context, uint32_t sourceKind, uint32_t key);
// The codec's third or fourth function, when it has one; null otherwise.
void* CallCodecFunction3(uint32_t key);
void* QueryCodec(uint32_t key);
// Destroys a source a codec creator made (its destructor, then memory pool 5).
void DestroyCodec(CZkVoiceSource* source);

const ZkPluginEntry* GetPluginEntry(uint32_t key);
const ZkCodecEntry* GetCodecEntry(uint32_t key);
// The folder kept by Init ('/'-terminated), or null.
const wchar_t* PluginFolder();
uint32_t PluginCount();
uint32_t CodecCount();
} // namespace PluginRegistry
} // namespace ZK::SoundEngine
