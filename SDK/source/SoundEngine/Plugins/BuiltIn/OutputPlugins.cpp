// The built-in output plug-ins of this program, pushed onto its plug-in list before main runs: the
// base sink (181) with the basic sink parameters, and the system output's metadata parameters (900),
// which have parameters only. The registry registers them at its Init.
#include "ZkAudiolib/Common/Output/ZkSinkBase.h"
#include "ZkAudiolib/Common/Output/ZkSinkPluginParams.h"
#include "ZkAudiolib/Common/Output/ZkSystemOutputMeta.h"

#include <ZK/SoundEngine/Common/ZkPluginRegistration.h>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kBuiltInCompany = 0;

ZK::ZkPluginRegistration g_baseSink(ZK::ZkPluginTypeSink, kBuiltInCompany, CZkSinkBase::kPluginNumber,
                                    &CZkSinkBase::Create, &CZkSinkParamsBasic::Create);
ZK::ZkPluginRegistration g_systemOutputMeta(ZK::ZkPluginTypeMetadata, kBuiltInCompany,
                                            CZkSystemOutputMeta::kPluginNumber, nullptr,
                                            &CZkSystemOutputMeta::Create);
} // namespace
