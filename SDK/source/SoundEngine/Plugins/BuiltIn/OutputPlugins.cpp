// The built-in output plug-ins of this program, pushed onto its plug-in list before main runs: the
// system sink over the platform's endpoints for its device kinds (174 with the spatial sink
// parameters; 175, 176, 177, 179 and 180 without parameters), the base sink (181) with the basic
// sink parameters, and the system output's metadata parameters (900), which have parameters only.
// The registry registers them at its Init.
#include "ZkAudiolib/Common/Output/ZkSinkBase.h"
#include "ZkAudiolib/Common/Output/ZkSinkPluginParams.h"
#include "ZkAudiolib/Common/Output/ZkSystemOutputMeta.h"
#include "ZkAudiolib/Win32/ZkSinkCoreAudio.h"

#include <ZK/SoundEngine/Common/ZkPluginRegistration.h>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kBuiltInCompany = 0;

ZK::ZkPluginRegistration g_systemSink(ZK::ZkPluginTypeSink, kBuiltInCompany, CZkSinkCoreAudio::Kind_SystemOutput,
                                      &CZkSinkCoreAudio::Create, &CZkSinkParamsSpatial::Create);
ZK::ZkPluginRegistration g_gameMediaSink(ZK::ZkPluginTypeSink, kBuiltInCompany, CZkSinkCoreAudio::Kind_GameMedia,
                                         &CZkSinkCoreAudio::Create, nullptr);
ZK::ZkPluginRegistration g_communicationsSink(ZK::ZkPluginTypeSink, kBuiltInCompany,
                                              CZkSinkCoreAudio::Kind_Communications, &CZkSinkCoreAudio::Create, nullptr);
ZK::ZkPluginRegistration g_gameChatSink(ZK::ZkPluginTypeSink, kBuiltInCompany, CZkSinkCoreAudio::Kind_GameChat,
                                        &CZkSinkCoreAudio::Create, nullptr);
ZK::ZkPluginRegistration g_sink179(ZK::ZkPluginTypeSink, kBuiltInCompany, 179, &CZkSinkCoreAudio::Create, nullptr);
ZK::ZkPluginRegistration g_sink180(ZK::ZkPluginTypeSink, kBuiltInCompany, 180, &CZkSinkCoreAudio::Create, nullptr);

ZK::ZkPluginRegistration g_baseSink(ZK::ZkPluginTypeSink, kBuiltInCompany, CZkSinkBase::kPluginNumber,
                                    &CZkSinkBase::Create, &CZkSinkParamsBasic::Create);
ZK::ZkPluginRegistration g_systemOutputMeta(ZK::ZkPluginTypeMetadata, kBuiltInCompany,
                                            CZkSystemOutputMeta::kPluginNumber, nullptr,
                                            &CZkSystemOutputMeta::Create);
} // namespace
