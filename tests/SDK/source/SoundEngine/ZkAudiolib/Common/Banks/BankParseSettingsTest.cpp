// The global chunks of a bank: "STMG" (engine limits, state groups, switch groups, game parameters,
// group entries), "ENVS", "STID", "PLAT" and "INIT". Each is read within its declared size.
#include "BankTestSupport.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkSwitchMgr.h"
#include "ZkAudiolib/Common/Playback/CZkEnvCurves.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include "Platform/PlatformText.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>

namespace
{
using namespace ZkBankTest;

std::string Settings(const std::string& chunks)
{
    return Bank(R"({"tag": "BKHD"}, )" + chunks);
}

const char* const kTwoParameters = R"("game_parameters": [{"id": 1006694123, "default": 100},
    {"id": 1564184899, "default": 50, "ramp": 1, "ramp_up": 2.5, "ramp_down": 4.0, "builtin": 3}])";

using BankParseSettings = BankParseTest;

TEST_F(BankParseSettings, GameParametersReachTheGameParameterManager)
{
    const Bytes bank = WriteBank(Settings(std::string(R"({"tag": "STMG", )") + kTwoParameters + "}"));
    ASSERT_EQ(ParseMemory(bank), ZK_Success);
    bool found = false;
    EXPECT_EQ(m_rtpc.GetDefaultValue(1006694123, found), 100.0f);
    EXPECT_TRUE(found);
    EXPECT_EQ(m_rtpc.GetDefaultValue(1564184899, found), 50.0f);
    const ZkRTPCParamEntry* entry = m_rtpc.FindEntry(1564184899);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(m_rtpc.BuiltInRow(3).Length(), 1u) << "bound to built-in row 3";
}

TEST_F(BankParseSettings, CountsThatRunPastTheChunkChangeNothing)
{
    struct Case
    {
        const char* label;
        const char* stmg;
    };
    const Case cases[] = {
        {"game parameters one too many", R"("game_parameter_count": 3)"},
        {"game parameters 0xFFFFFFFF", R"("game_parameter_count": "0xFFFFFFFF")"},
        {"state groups one too many", R"("state_groups": [], "state_group_count": 1)"},
        {"transitions one too many", R"("state_groups": [{"id": 5, "transitions": [], "transition_count": 1}])"},
        {"switch groups one too many", R"("switch_groups": [], "switch_group_count": 1)"},
        {"switch points one too many", R"("switch_groups": [{"id": 6, "parameter": 7, "points": [[0, 1, 4]], "point_count": 2}])"},
        {"group entries one too many", R"("group_entries": [], "group_entry_count": 1)"},
    };
    ZkBankID bankID = 1;
    for (const Case& c : cases)
    {
        const Bytes bank = WriteBank(Settings(std::string(R"({"tag": "STMG", )") + kTwoParameters + ", " + c.stmg +
                                              R"(}, {"tag": "PLAT", "name": "Linux"})"));
        EXPECT_EQ(ParseMemory(bank, bankID++), ZK_InvalidFile) << c.label;
        EXPECT_EQ(m_rtpc.FindEntry(1006694123), nullptr) << c.label << ": nothing of the chunk applied";
        EXPECT_EQ(GetBankIdentification(), nullptr) << c.label << ": the next chunk is not read";
    }
    EXPECT_EQ(ParseMemory(WriteBank(Settings(R"({"tag": "STMG", "hex": "00"})")), bankID++), ZK_InvalidFile)
        << "a chunk too short for its limits";
    EXPECT_EQ(ParseMemory(WriteBank(Settings(R"({"tag": "STMG", "game_parameters": [], "game_parameter_count": 0,
        "group_entries": [{"id": 8, "values": [1, 2, 3, 4, 5, 6]}], "group_entry_count": 0})")), bankID++), ZK_InvalidFile)
        << "bytes after the last section";
    const Bytes whole = WriteBank(Settings(std::string(R"({"tag": "STMG", )") + kTwoParameters + "}"));
    const Bytes shorter(whole.begin(), whole.end() - 3);
    EXPECT_EQ(ParseMemory(shorter, bankID++), ZK_ShortBankRead) << "the file ends inside the chunk";
}

TEST_F(BankParseSettings, SectionsReachTheStateAndSwitchManagers)
{
    CZkStateMgr states;
    g_pStateMgr = &states;
    CZkSwitchMgr switches;
    g_pSwitchMgr = &switches;
    const Bytes bank = WriteBank(Settings(R"({"tag": "STMG",
        "state_groups": [{"id": 5, "default_time": 100, "transitions": [{"from": 1, "to": 2, "time": 50}]},
                         {"id": 9, "default_time": 0}],
        "switch_groups": [{"id": 6, "parameter": 7, "parameter_type": 0, "points": [[0, 11, 4], [50, 12, 4]]},
                          {"id": 8, "parameter": 7, "points": []}]})"));
    ASSERT_EQ(ParseMemory(bank), ZK_Success);
    ASSERT_NE(states.FindGroup(5), nullptr);
    EXPECT_EQ(states.FindGroup(5)->defaultTransitionMs, 100u);
    ASSERT_NE(states.FindGroup(5)->FindTransition(1, 2), nullptr);
    EXPECT_EQ(states.FindGroup(5)->FindTransition(1, 2)->timeMs, 50u);
    EXPECT_EQ(states.FindGroup(5)->FindTransition(2, 1), nullptr);
    EXPECT_NE(states.FindGroup(9), nullptr);
    const CZkSwitchGroup* driven = switches.FindGroup(6);
    ASSERT_NE(driven, nullptr);
    EXPECT_EQ(driven->parameterID, 7u);
    ASSERT_EQ(driven->states.Length(), 2u);
    EXPECT_EQ(driven->states[1], 12u);
    EXPECT_EQ(switches.FindGroup(8), nullptr) << "a group without points is skipped";
    EXPECT_EQ(switches.GetSwitch(6, ZkRTPCKey::Global()), 11u) << "parameter 7 at its default 0";

    // Group entries become settings objects that plug-ins find by id.
    EXPECT_EQ(ParseMemory(WriteBank(Settings(R"({"tag": "STMG", "group_entries": [{"id": 8, "values": [1, 2, 3, 4, 5, 6]}]})")), 2),
              ZK_Success);
    const ZkGroupEntryRecord* entry = m_index.FindGroupEntry(8);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->values[5], 6.0f);
    m_index.Table(ZkIndexKind::SettingsGroups).Table().Find(8)->Release();
    switches.Term();
    g_pSwitchMgr = nullptr;
    g_pStateMgr = nullptr;
}

TEST_F(BankParseSettings, EnvironmentCurves)
{
    const Bytes curves = WriteBank(Settings(R"({"tag": "ENVS", "curves": [{"enabled": 1, "points": [[0, 1], [100, 0]]}]})"));
    EXPECT_EQ(ParseMemory(curves, 1), ZK_Fail) << "no state manager";
    CZkStateMgr states;
    g_pStateMgr = &states;
    CZkEnvCurves environment;
    g_pEnvCurves = &environment;
    EXPECT_EQ(ParseMemory(curves, 2), ZK_InvalidParameter) << "the five curves not given have no points";
    EXPECT_EQ(environment.curveEnabled[0][0], 1) << "the enabled flag is the parser's to store";
    EXPECT_TRUE(environment.InUse(0, 0));
    EXPECT_FALSE(environment.InUse(0, 1));

    // Six curves: the volume curves (0 of each group) become linear gains, the others stay.
    const Bytes six = WriteBank(Settings(R"({"tag": "ENVS", "curves": [
        {"enabled": 1, "scaling": 2, "points": [[0, 0], [100, -1]]}, {"points": [[0, 10], [100, 20]]},
        {"points": [[0, 30], [100, 40]]}, {"scaling": 0, "points": [[0, 0], [100, -6]]},
        {"enabled": 1, "points": [[0, 50], [100, 60]]}, {"points": [[0, 70], [100, 80]]}]})"));
    ASSERT_EQ(ParseMemory(six, 6), ZK_Success);
    uint32_t segment = 1;
    EXPECT_EQ(environment.Curve(0, 0).Scaling(), ZkCurveScaling_None);
    EXPECT_FLOAT_EQ(environment.Curve(0, 0).Evaluate(50.0f, segment), 0.5f) << "signed dB scale plus 1";
    EXPECT_EQ(environment.Curve(1, 0).Scaling(), ZkCurveScaling_DBToLin);
    EXPECT_NEAR(environment.Curve(1, 0).Evaluate(100.0f, segment), 0.501f, 0.002f) << "-6 dB";
    EXPECT_FLOAT_EQ(environment.Curve(0, 2).Evaluate(50.0f, segment), 35.0f);
    EXPECT_FLOAT_EQ(environment.Curve(1, 2).Evaluate(-5.0f, segment), 70.0f) << "flat before the first point";
    EXPECT_TRUE(environment.IsEnabled(1, 1));
    EXPECT_FALSE(environment.IsEnabled(0, 1));
    EXPECT_EQ(environment.Set(0, 1, 0, nullptr, 0), ZK_InvalidParameter);
    EXPECT_FALSE(environment.InUse(0, 1)) << "the refused curve is left empty";
    {
        const ZkCurvePoint point = {0.0f, 1.0f, 4};
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_Default, 1);
        EXPECT_EQ(environment.Set(1, 1, 1, &point, 0), ZK_InsufficientMemory);
        EXPECT_FALSE(environment.InUse(1, 1));
    }
    EXPECT_EQ(ParseMemory(WriteBank(Settings(R"({"tag": "ENVS", "hex": ""})")), 3), ZK_Fail) << "an empty body";
    EXPECT_EQ(ParseMemory(WriteBank(Settings(R"({"tag": "ENVS", "curves": [{"points": [[0, 1]], "point_count": 2}]})")), 4),
              ZK_InvalidFile);
    EXPECT_EQ(ParseMemory(WriteBank(Settings(R"({"tag": "ENVS", "curves": [{"points": [], "point_count": 65535}]})")), 5),
              ZK_InvalidFile);
    g_pEnvCurves = nullptr;
    g_pStateMgr = nullptr;
}

TEST_F(BankParseSettings, BankNamesKeepTheFirstName)
{
    const Bytes first = WriteBank(Settings(R"({"tag": "STID", "groups": [{"banks": [{"name": "Main"}, {"name": "Init"}]}]})"));
    ASSERT_EQ(ParseMemory(first, 1), ZK_Success);
    const ZkUniqueID main = ZK::SoundEngine::GetIDFromString("Main");
    EXPECT_STREQ(m_manager.BankNames().Find(main), "Main.bnk");
    EXPECT_STREQ(m_manager.BankNames().Find(0x50C63A23), "Init.bnk");
    const Bytes second = WriteBank(Settings(R"({"tag": "STID", "groups": [{"banks": [{"name": "Other", "id": "Main"}]},
        {"banks": [{"name": "Extra"}]}]})"));
    ASSERT_EQ(ParseMemory(second, 2), ZK_Success);
    EXPECT_STREQ(m_manager.BankNames().Find(main), "Main.bnk");
    EXPECT_STREQ(m_manager.BankNames().Find(ZK::SoundEngine::GetIDFromString("Extra")), "Extra.bnk") << "second group";
    EXPECT_EQ(m_manager.BankNames().Length(), 3u);
    EXPECT_EQ(ParseMemory(WriteBank(Settings(R"({"tag": "STID", "groups": [{"banks": [{"name": "Cut", "length": 9}]}]})")), 3),
              ZK_InvalidFile);
    EXPECT_EQ(ParseMemory(WriteBank(Settings(R"({"tag": "STID", "groups": [{"banks": [], "count": "0x40000000"}]})")), 4),
              ZK_InvalidFile);
    EXPECT_EQ(m_manager.BankNames().Length(), 3u);
}

TEST_F(BankParseSettings, EveryBankNamesTheSamePlatform)
{
    EXPECT_EQ(ParseMemory(WriteBank(Settings(R"({"tag": "PLAT", "name": ""})")), 1), ZK_Success) << "empty: no check";
    EXPECT_EQ(GetBankIdentification(), nullptr);
    EXPECT_EQ(ParseMemory(WriteBank(Settings(R"({"tag": "PLAT", "name": "Linux"})")), 2), ZK_Success);
    EXPECT_STREQ(GetBankIdentification(), "Linux");
    EXPECT_EQ(ParseMemory(WriteBank(Settings(R"({"tag": "PLAT", "name": "Linux"})")), 3), ZK_Success);
    EXPECT_EQ(ParseMemory(WriteBank(Settings(R"({"tag": "PLAT", "name": "Windows"})")), 4), ZK_PlatformMismatch);
    EXPECT_EQ(ParseMemory(WriteBank(Settings(R"({"tag": "PLAT", "hex": ""})")), 5), ZK_Success) << "an empty body";
    EXPECT_EQ(ParseMemory(WriteBank(Settings(R"({"tag": "PLAT", "hex": "4c696e7578"})")), 6), ZK_InvalidFile)
        << "a name without its terminator";
}

TEST_F(BankParseSettings, PluginLibrariesOfAnInitBankAreRegistered)
{
    const std::wstring folder = ZK::Platform::Utf8ToWide(std::string(KP_TEST_PLUGIN_FOLDER));
    ASSERT_EQ(PluginRegistry::Init(folder.c_str()), ZK_Success);
    const uint32_t effectKey = ZK::ZkMakePluginKey(ZK::ZkPluginTypeEffect, 64, 5);
    const Bytes outside = WriteBank(Settings(R"({"tag": "INIT", "plugins": [{"id": "0x50403", "library": "../plugins/ZkTestPlugins"}]})"));
    EXPECT_EQ(ParseMemory(outside, 9), ZK_Success);
    EXPECT_EQ(PluginRegistry::GetPluginEntry(effectKey), nullptr) << "a path out of the plug-in folder is not followed";
    const Bytes bank = WriteBank(Settings(R"({"tag": "INIT", "plugins": [{"id": "0x50403", "library": "NoSuchLibrary"},
        {"id": "0x50403", "library": "ZkTestPlugins"}]}, {"tag": "PLAT", "name": "Linux"})"));
    EXPECT_EQ(ParseMemory(bank, 1), ZK_Success) << "a library that cannot be registered does not stop the bank";
    EXPECT_NE(PluginRegistry::GetPluginEntry(effectKey), nullptr);
    EXPECT_STREQ(GetBankIdentification(), "Linux") << "the chunk after it was read";
    EXPECT_EQ(ParseMemory(WriteBank(Settings(R"({"tag": "INIT", "plugins": [], "count": 3})")), 2), ZK_InvalidFile);
    EXPECT_EQ(ParseMemory(WriteBank(Settings(R"({"tag": "INIT", "hex": "010000000300050061"})")), 3), ZK_InvalidFile)
        << "a library name without its terminator";
    EXPECT_EQ(ParseMemory(WriteBank(Settings(R"({"tag": "INIT", "hex": ""})")), 4), ZK_Success) << "an empty body";
    PluginRegistry::Term();
}
} // namespace
