// Voice-parameter gathering over three-level trees read from writer-made banks: a sound, its
// parent, and its output bus under a master bus. The accumulated slots must equal the sums this
// test computes from the same description (properties, state values, game-parameter values and
// modified-property records of every level); each resolved group must come from the level that
// its override bits name. Then the other inherited settings: priority, positioning, effect bypass,
// random offsets and key tracking.
#include "BusFixture.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/Hierarchy/CZkSoundNode.h"

#include <ZK/SoundEngine/Common/ZkPositioningInfo.h>

#include <cmath>
#include <limits>
#include <map>
#include <sstream>

namespace
{
using namespace ZkHierarchyTest;

// Property id -> the game parameter that drives it, for the summed properties used here (the
// property table of the node body format).
const std::map<uint32_t, uint32_t> kDrivingParameter = {{0, 0}, {2, 2}, {3, 3}, {4, 4}, {5, 5},
                                                         {6, 7}, {19, 39}, {60, 48}, {72, 47}};

// What one level of a tree holds, by property id.
struct Level
{
    std::map<uint32_t, float> props = {};
    std::map<uint32_t, float> states = {};           // the value of the level's state for the property
    std::map<uint32_t, float> gameParameters = {};   // the game parameter's global value
    std::map<uint32_t, float> objectParameters = {}; // the same for the game object of the gathering
    std::map<uint32_t, float> modified = {};         // the global modified-property record
    std::map<uint32_t, float> objectModified = {};   // the game object's record
};

constexpr ZkUniqueID kGroup = 30;
constexpr ZkUniqueID kState = 32;

std::string Number(float value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

// The writer keys of a level's properties, state chunk and game-parameter list (game parameter
// 5000 + 100 x level + parameter bit, with a curve that gives the value itself).
std::string LevelKeys(const Level& level, uint32_t levelIndex, ZkUniqueID stateObject)
{
    std::string props;
    for (const auto& [id, value] : level.props)
        props += (props.empty() ? "" : ", ") + std::string("\"") + std::to_string(id) + "\": " + Number(value);
    std::string keys = "\"props\": {" + props + "}";
    if (!level.states.empty())
    {
        std::string properties;
        for (const auto& entry : level.states)
            properties += (properties.empty() ? "[" : ", [") + std::to_string(kDrivingParameter.at(entry.first)) + ", 0, 0]";
        keys += R"(, "state": {"properties": [)" + properties + R"(], "groups": [{"id": 30, "states": [[32, )" +
                std::to_string(stateObject) + "]]}]}";
    }
    std::string rtpc;
    std::map<uint32_t, float> parameters = level.gameParameters;
    for (const auto& entry : level.objectParameters)
        parameters.emplace(entry.first, 0.0f);
    for (const auto& entry : parameters)
    {
        const uint32_t bit = kDrivingParameter.at(entry.first);
        rtpc += (rtpc.empty() ? "" : ", ") + std::string(R"({"parameter": )") + std::to_string(5000 + 100 * levelIndex + bit) +
                R"(, "target": )" + std::to_string(bit) + R"(, "curve": )" + std::to_string(bit + 1) +
                R"(, "points": [[-1000, -1000], [1000, 1000]]})";
    }
    if (!rtpc.empty())
        keys += R"(, "rtpc": [)" + rtpc + "]";
    return keys;
}

class Gathering : public BusTest
{
protected:
    // Loads the tree (levels: sound 200, parent 201, bus "Music", bus "Master"), sets its values
    // and returns its four nodes.
    std::vector<CZkHierarchyNode*> LoadTree(const std::vector<Level>& levels, const std::string& soundKeys = "",
                                            const std::string& parentKeys = "")
    {
        EXPECT_EQ(g_pStateMgr->AddStateGroup(kGroup), ZK_Success);
        // Each tree has state objects of its own (ids are never used twice).
        const ZkUniqueID stateBase = m_nextStateObject;
        m_nextStateObject += static_cast<ZkUniqueID>(levels.size());
        for (uint32_t index = 0; index < levels.size(); ++index)
        {
            std::vector<std::pair<uint16_t, float>> values;
            for (const auto& [id, value] : levels[index].states)
                values.emplace_back(static_cast<uint16_t>(kDrivingParameter.at(id)), value);
            MakeState(stateBase + index, values);
        }
        const auto keys = [&](uint32_t index, const std::string& more) {
            return LevelKeys(levels[index], index, stateBase + index) + (more.empty() ? "" : ", " + more);
        };
        Load(Bus("Master", keys(3, "")) + ", " + Bus("Music", keys(2, R"("parent": "Master")")) + ", " +
             Sound(keys(1, parentKeys), 201) + ", " + Sound(keys(0, R"("bus": "Music")" + (soundKeys.empty() ? "" : ", " + soundKeys)), 200));
        std::vector<CZkHierarchyNode*> nodes = {FindSound(200), FindSound(201), FindBus("Music"), FindBus("Master")};
        for (CZkHierarchyNode* node : nodes)
            EXPECT_NE(node, nullptr);
        nodes[0]->SetParent(nodes[1]);
        m_sound = nodes[0];
        g_pStateMgr->SetStateInternal(kGroup, kState, true, false);
        m_object = Register(42);
        for (uint32_t index = 0; index < levels.size(); ++index)
        {
            for (const auto& [id, value] : levels[index].gameParameters)
                EXPECT_EQ(g_pRTPCMgr->SetRTPCImmediate(5000 + 100 * index + kDrivingParameter.at(id), value, ZkRTPCKey::Global()),
                          ZK_Success);
            for (const auto& [id, value] : levels[index].objectParameters)
                EXPECT_EQ(g_pRTPCMgr->SetRTPCImmediate(5000 + 100 * index + kDrivingParameter.at(id), value,
                                                       ZkRTPCKey::ForObject(m_object)),
                          ZK_Success);
            for (const auto& [id, value] : levels[index].modified)
                EXPECT_EQ(nodes[index]->SetModifiedProperty(nullptr, static_cast<uint8_t>(id), value, 0, 4), ZK_Success);
            for (const auto& [id, value] : levels[index].objectModified)
                EXPECT_EQ(nodes[index]->SetModifiedProperty(m_object, static_cast<uint8_t>(id), value, 0, 4), ZK_Success);
        }
        return nodes;
    }
    void TearDown() override
    {
        if (m_sound != nullptr)
            m_sound->SetParent(nullptr);
        BusTest::TearDown();
    }
    // Undoes LoadTree, for the next tree of a table.
    void ReleaseTree()
    {
        m_sound->SetParent(nullptr);
        m_sound = nullptr;
        ReleaseBanks();
        g_pStateMgr->RemoveAllStateGroups(false);
        g_pRegistryMgr->UnregisterObject(42);
    }

    static void WantAll(ZkVoiceParams& params)
    {
        for (uint32_t id = 0; id < kPropertyCount; ++id)
            params.Want(id);
    }

    CZkHierarchyNode* m_sound = nullptr;
    CZkRegisteredObj* m_object = nullptr;
    ZkUniqueID m_nextStateObject = 900;
};

TEST_F(Gathering, SlotsHoldTheSumsOfEveryLevelAndTheBusChain)
{
    struct Case
    {
        const char* name;
        std::vector<Level> levels; // sound, parent, bus, master
    };
    const std::vector<Case> cases = {
        {"properties at every level",
         {{{{0, -3.0f}, {2, 100.0f}}}, {{{0, -2.0f}, {3, 5.0f}}}, {{{0, -1.0f}, {5, -4.0f}}}, {{{0, -0.5f}, {19, 7.0f}}}}},
        {"state values and game parameters",
         {{{{0, -1.0f}}, {{0, -6.0f}}, {{2, 50.0f}}},
          {{}, {{2, 12.0f}}, {{0, -2.0f}}},
          {{}, {}, {{60, 3.0f}}},
          {{{72, 1.0f}}, {{72, 2.0f}}, {}}}},
        {"values for the game object and modified-property records",
         {{{{3, 1.0f}}, {}, {{4, 10.0f}}, {{4, 20.0f}}, {{0, -1.5f}, {4, 1.0f}}, {{0, -0.5f}}},
          {{}, {}, {}, {{6, 3.0f}}, {{6, 1.0f}}, {{6, 0.25f}}},
          {{}, {}, {}, {}, {{5, -2.0f}}, {}},
          {{}, {}, {}, {}, {}, {{0, -1.0f}}}}},
    };
    const std::vector<uint32_t> summed = {0, 2, 3, 4, 5, 6, 19, 60, 72};
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        LoadTree(test.levels);
        ZkVoiceParams params;
    WantAll(params);
        ZkGatherRequest request;
        request.gameObject = m_object;
        m_sound->GatherVoiceParams(params, request);
        for (uint32_t id : summed)
        {
            float expected = 0.0f;
            for (const Level& level : test.levels)
            {
                for (const auto* values :
                     {&level.props, &level.states, &level.modified, &level.objectModified, &level.objectParameters})
                {
                    const auto found = values->find(id);
                    expected += found != values->end() ? found->second : 0.0f;
                }
                // A game parameter set for the object hides its global value for that object.
                const auto global = level.gameParameters.find(id);
                if (global != level.gameParameters.end() && level.objectParameters.count(id) == 0)
                    expected += global->second;
            }
            EXPECT_FLOAT_EQ(params.Sum(id), expected) << "property " << id;
        }
        // Without the game object only the global values count.
        ZkVoiceParams global;
    WantAll(global);
        m_sound->GatherVoiceParams(global, ZkGatherRequest{});
        float expectedVolume = 0.0f;
        for (const Level& level : test.levels)
        {
            for (const auto* values : {&level.props, &level.states, &level.modified, &level.gameParameters})
                expectedVolume += values->count(0) != 0 ? values->at(0) : 0.0f;
        }
        EXPECT_FLOAT_EQ(global.Sum(0), expectedVolume);
        // Only what is wanted is summed.
        ZkVoiceParams onlyPitch;
        onlyPitch.Want(2);
        m_sound->GatherVoiceParams(onlyPitch, request);
        EXPECT_EQ(onlyPitch.Sum(0), 0.0f);
        ReleaseTree();
    }
}

TEST_F(Gathering, GainsAreFactorsPerNodeAndTheBusChainIsOptional)
{
    LoadTree({{{}, {}, {}, {}, {{11, 0.5f}}, {{11, 0.8f}}}, {}, {{}, {}, {}, {}, {{11, 0.25f}}, {}}, {}});
    CZkHierarchyNode* sound = m_sound;
    ZkVoiceParams params;
    WantAll(params);
    ZkGatherRequest request;
    request.gameObject = m_object;
    sound->GatherVoiceParams(params, request);
    ASSERT_EQ(params.gains.Length(), 3u) << "the sound's global and object records, the bus's";
    EXPECT_FLOAT_EQ(params.GainProduct(), 0.5f * 0.8f * 0.25f);
    EXPECT_EQ(params.outputBus, FindBus("Music"));

    ZkVoiceParams withoutBuses;
    WantAll(withoutBuses);
    request.includeBusChain = false;
    sound->GatherVoiceParams(withoutBuses, request);
    EXPECT_EQ(withoutBuses.gains.Length(), 2u);
    EXPECT_EQ(withoutBuses.outputBus, nullptr) << "the routing is cleared without the bus chain";
    EXPECT_NE(withoutBuses.resolved & ZkVoiceParams::kRouting, 0);

    // A stop node ends the walk below it: the parent is not gathered.
    ZkVoiceParams stopped;
    WantAll(stopped);
    ZkGatherRequest stopAtParent;
    stopAtParent.stopAt = FindSound(201);
    ASSERT_EQ(FindSound(201)->SetFloatProperty(0, -9.0f), ZK_Success);
    sound->GatherVoiceParams(stopped, stopAtParent);
    EXPECT_EQ(stopped.Sum(0), 0.0f);
}

TEST_F(Gathering, EachGroupComesFromTheLevelItsOverrideBitsName)
{
    struct Case
    {
        const char* name;
        std::string soundKeys;
        std::string parentKeys;
        ZkUniqueID extraAux;
        ZkUniqueID firstUserAux;
        bool useGameAux;
        bool bypassAll;
        bool flagD;
    };
    const std::vector<Case> cases = {
        {"nothing overridden: the root (parent) resolves every group", R"("aux": 2, "extra_aux_bus": 7, "aux_buses": [1, 0, 0, 0])",
         R"("aux": 0, "extra_aux_bus": 8, "effects_override": 0, "bypass": 16, "effects": [{"slot": 0, "id": 3}], "advanced": 4)",
         8, 0, false, true, true},
        {"the sound overrides the aux groups", R"("aux": 23, "extra_aux_bus": 7, "aux_buses": [1, 0, 0, 0])",
         R"("aux": 2, "extra_aux_bus": 8, "aux_buses": [9, 0, 0, 0])", 7, 1, true, false, false},
        {"the sound overrides effects and flag D",
         R"("effects_override": 1, "bypass": 16, "effects": [{"slot": 1, "id": 3}], "advanced": 6)",
         R"("bypass": 0, "effects": [{"slot": 0, "id": 3}], "advanced": 6)", 0, 0, false, true, true},
        {"the sound overrides flag D with its value clear", R"("advanced": 2)", R"("advanced": 6)", 0, 0, false, false, false},
        {"overriding parameter 37 is not overriding flag D", R"("advanced": 1)", R"("advanced": 4)", 0, 0, false, false, true},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        LoadTree({{}, {}, {}, {}}, test.soundKeys, test.parentKeys);
        ZkVoiceParams params;
    WantAll(params);
        m_sound->GatherVoiceParams(params, ZkGatherRequest{});
        EXPECT_EQ(params.resolved & 0x3F, 0x3F) << "every group resolved";
        EXPECT_EQ(params.extraAuxBus, test.extraAux);
        EXPECT_EQ(params.userAuxBuses[0], test.firstUserAux);
        EXPECT_EQ(params.useGameAux, test.useGameAux);
        EXPECT_EQ(params.bypassAll, test.bypassAll);
        EXPECT_EQ(params.flagD, test.flagD);
        ReleaseTree();
    }
}

TEST_F(Gathering, ANodeWithoutParentResolvesEveryGroupItself)
{
    Load(Sound(R"("aux": 8, "aux_buses": [4, 5, 6, 7], "extra_aux_bus": 9, "advanced": 13, "props": {"33": 20.0})"));
    CZkHierarchyNode* sound = FindSound(200);
    ZkVoiceParams params;
    WantAll(params);
    params.wantsProperty33 = true;
    sound->GatherVoiceParams(params, ZkGatherRequest{});
    EXPECT_EQ(params.resolved, 0x6F) << "every group but the routing (no output bus)";
    EXPECT_EQ(params.extraAuxBus, 9u);
    EXPECT_EQ(params.userAuxBuses[3], 7u);
    EXPECT_EQ(params.userAuxMask, 0x0Fu);
    EXPECT_EQ(params.property33, 20.0f);
    EXPECT_TRUE(params.property33Flag) << "flag D bit 3";
}

TEST_F(Gathering, APriorityThatIsNotFiniteIs50)
{
    Load(Sound(R"("props": {"priority": 70, "8": -20.0}, "behaviour": 3, "rtpc": [{"parameter": 6017, "target": 17, "curve": 1, "points": [[0, 0], [1, 1]]}])"));
    CZkHierarchyNode* sound = FindSound(200);
    float priority = 0.0f;
    float offset = 0.0f;
    sound->GetPriority(nullptr, priority, offset);
    EXPECT_EQ(priority, 70.0f);
    EXPECT_EQ(offset, -20.0f) << "the priority-distance flag is set";
    for (const float value : {std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()})
    {
        ASSERT_EQ(g_pRTPCMgr->SetRTPCImmediate(6017, 0.5f, ZkRTPCKey::Global()), ZK_Success);
        ASSERT_EQ(sound->SetFloatProperty(ZkProp_Priority, value), ZK_Success);
        sound->GetPriority(nullptr, priority, offset);
        EXPECT_EQ(priority, 50.0f) << value;
    }
}

TEST_F(Gathering, AStateDrivenBypassIgnoresTheBitsOfActions)
{
    ASSERT_EQ(g_pStateMgr->AddStateGroup(kGroup), ZK_Success);
    MakeState(31, {{29, 0.0f}, {30, 1.0f}});
    Load(Sound(R"("effects_override": 1, "effects": [{"slot": 0, "id": 5}, {"slot": 1, "id": 6}, {"slot": 2, "id": 7}],
                 "state": {"properties": [[29, 0, 0], [30, 0, 0]], "groups": [{"id": 30, "states": [[32, 31]]}]})"));
    CZkHierarchyNode* sound = FindSound(200);
    g_pStateMgr->SetStateInternal(kGroup, kState, true, false);
    ASSERT_EQ(sound->SetEffectBypass(0x07, 0x07, nullptr), ZK_Success);
    EXPECT_FALSE(sound->IsEffectBypassed(0, nullptr)) << "the state says 0 for slot 0";
    EXPECT_TRUE(sound->IsEffectBypassed(1, nullptr)) << "and 1 for slot 1";
    EXPECT_TRUE(sound->IsEffectBypassed(2, nullptr)) << "slot 2 takes the action's bit";
    EXPECT_FALSE(sound->IsEffectBypassed(3, nullptr)) << "an empty slot";
    CZkRegisteredObj* object = Register(5);
    ASSERT_EQ(sound->SetEffectBypass(0x00, 0x04, object), ZK_Success);
    EXPECT_FALSE(sound->IsEffectBypassed(2, object)) << "the game object's record first";
    EXPECT_TRUE(sound->IsEffectBypassed(2, nullptr));
}

TEST_F(Gathering, PositioningInfoTakesPanningFromTheOwnerAnd3DFromTheNode)
{
    // The parent overrides positioning (P: override, 3-D, both panner flags, mode 3; Q: every flag).
    // The node's attenuation 77 has a cone and curves for roles 0, 1 and 3 (one shared); the owner's
    // 55 maps role 2 first.
    Load(Sound(R"("positioning": 111, "positioning_3d": 255, "props": {"14": 40.0, "attenuation": 55})", 201) + ", " +
         Sound(R"("props": {"attenuation": 77, "14": 90.0})", 200) +
         R"(, {"type": "attenuation", "id": 77, "map": [0, 0, 255, 1, 255, 255, 255],
               "cone": {"inside": 90, "outside": 270, "volume": -6, "lowpass": 20, "highpass": 10},
               "curves": [{"points": [[0, 0], [120, -30]]}, {"points": [[0, 0], [40, 50], [80, 70]]}]},
             {"type": "attenuation", "id": 55, "map": [255, 255, 0, 255, 255, 255, 255],
               "curves": [{"points": [[10, 0], [250, -96]]}]})");
    CZkHierarchyNode* parent = FindSound(201);
    CZkHierarchyNode* sound = FindSound(200);
    sound->SetParent(parent);
    m_sound = sound;
    EXPECT_EQ(sound->PositioningOwner(), parent);
    EXPECT_EQ(parent->PositionMode(), 3u);
    ZkPositioningInfo info;
    ASSERT_EQ(sound->GetPositioningInfo(info), ZK_Success);
    EXPECT_FLOAT_EQ(info.centerPercent, 0.4f) << "the parent's centre";
    EXPECT_EQ(info.pannerType, 0x3u) << "the parent's panner bits";
    EXPECT_EQ(info.positionMode3D, 0u) << "the node's own mode, not the parent's";
    EXPECT_EQ(info.flags, 0u);
    EXPECT_EQ(info.value3D, 0u);
    EXPECT_EQ(info.attenuationID, 77u) << "the node's own attenuation";
    EXPECT_TRUE(info.hasAttenuation);
    EXPECT_TRUE(info.hasCone);
    const float cone[5] = {45.0f * 0.017453292f, 135.0f * 0.017453292f, -6.0f, 20.0f, 10.0f};
    for (uint32_t value = 0; value < 5; ++value)
        EXPECT_NEAR(info.cone[value], cone[value], 1e-5f) << "cone value " << value << " (half-angles in radians)";
    const float lastPoints[ZkPositioningInfo::kAttenuationCurves] = {120.0f, 120.0f, 0.0f, 80.0f, 0.0f};
    for (uint32_t role = 0; role < ZkPositioningInfo::kAttenuationCurves; ++role)
        EXPECT_EQ(info.curveMaxDistance[role], lastPoints[role]) << "role " << role << ": the last bank point";
    ZkPositioningInfo ofParent;
    ASSERT_EQ(parent->GetPositioningInfo(ofParent), ZK_Success);
    EXPECT_EQ(ofParent.positionMode3D, 3u);
    EXPECT_EQ(ofParent.flags, 0x3u) << "Q bits 5 and 7";
    EXPECT_EQ(ofParent.value3D, 0x3u) << "Q bits 0 and 1";
    float distance = 1.0f;
    ASSERT_TRUE(sound->GetMaxAttenuationDistance(distance));
    EXPECT_EQ(distance, 250.0f) << "the owner's attenuation, its first mapped curve's last point";
    const ZkPositioningValues values = sound->GetPositioningValues(nullptr);
    EXPECT_EQ(values.centrePercent, 40.0f);
    EXPECT_EQ(values.pannerType, 0x3u);
    EXPECT_TRUE(values.has3D);
    EXPECT_EQ(sound->Get3DModeInfo(nullptr).attenuationID, 55u) << "the 3-D mode info is the owner's";
    ASSERT_EQ(sound->SetIntProperty(ZkProp_Attenuation, 0), ZK_Success);
    ASSERT_EQ(parent->SetIntProperty(ZkProp_Attenuation, 12345), ZK_Success);
    EXPECT_FALSE(sound->GetMaxAttenuationDistance(distance)) << "an unknown attenuation";
    ASSERT_EQ(sound->GetPositioningInfo(info), ZK_Success);
    EXPECT_FALSE(info.hasAttenuation) << "id 0";
}

TEST_F(Gathering, RandomOffsetsDrawFromTheEnginesGenerator)
{
    Load(Sound(R"("ranges": {"0": [-2.0, 2.0], "3": [1.0, 1.0], "6": [0.0, 10.0]})"));
    CZkHierarchyNode* sound = FindSound(200);
    constexpr uint64_t kSeed = 0x1234567;
    ZK::ZkLcg64::Engine().Seed(kSeed);
    ZkVoiceParams params;
    WantAll(params);
    ZkGatherRequest request;
    request.drawRandomOffsets = true;
    sound->GatherVoiceParams(params, request);
    // The model: x = x * 0x5851F42D4C957F2D + 1; a fraction is (x >> 33) / (2^31 - 1); ids 0, 6, 2,
    // 3, 4 in that order; an empty range (min == max) gives min without a draw.
    uint64_t x = kSeed;
    const auto fraction = [&x] {
        x = x * 0x5851F42D4C957F2Dull + 1;
        return static_cast<double>(x >> 33) / 2147483647.0;
    };
    const float first = static_cast<float>(-2.0 + fraction() * 4.0);
    const float second = static_cast<float>(0.0 + fraction() * 10.0);
    EXPECT_FLOAT_EQ(params.randomOffsets[0], first);
    EXPECT_FLOAT_EQ(params.randomOffsets[1], second);
    EXPECT_EQ(params.randomOffsets[2], 0.0f) << "no range";
    EXPECT_EQ(params.randomOffsets[3], 1.0f) << "an empty range gives its minimum";
    EXPECT_EQ(ZK::ZkLcg64::Engine().State(), x) << "two draws, no more";
}

TEST_F(Gathering, KeyTrackingMovesThePitchFromTheRootNote)
{
    Load(Sound(R"("behaviour": 24, "props": {"45": {"i32": 57}, "2": 10.0})", 201) + ", " + Sound("", 200));
    CZkHierarchyNode* sound = FindSound(200);
    sound->SetParent(FindSound(201));
    m_sound = sound;
    const ZkMidiSettings midi = sound->GetMidiSettings();
    EXPECT_TRUE(midi.keyTracking);
    EXPECT_EQ(midi.rootNote, 57);
    ZkVoiceParams params;
    WantAll(params);
    ZkGatherRequest request;
    request.midiNote = 64;
    sound->GatherVoiceParams(params, request);
    EXPECT_FLOAT_EQ(params.Sum(2), 10.0f + (64 - 57) * 100.0f) << "once, for the sound";
    ZkVoiceParams noNote;
    WantAll(noNote);
    sound->GatherVoiceParams(noNote, ZkGatherRequest{});
    EXPECT_FLOAT_EQ(noNote.Sum(2), 10.0f);
}
} // namespace

namespace
{
// An effect object of the tests' own in one of the effect tables.
class TestEffect final : public CZkIndexedObject
{
public:
    TestEffect(ZkIndexTable& table, ZkUniqueID id) : CZkIndexedObject(id), m_table(table) {}
    uint32_t AddRef() override { return m_table.AddRef(this); }
    uint32_t Release() override { return m_table.Release(this); }
    void Destroy() override { ZK::ZkDelete(ZkMemID_BankObjects, this); }

private:
    ZkIndexTable& m_table;
};

TEST_F(Gathering, PlugInsCustomEffectAndBehavioursComeFromTheirOwners)
{
    std::vector<TestEffect*> effects;
    const auto addEffect = [&](ZkIndexKind kind, ZkUniqueID id) {
        ZkIndexTable& table = g_pObjectIndex->Table(kind);
        effects.push_back(ZK::ZkNew<TestEffect>(ZkMemID_BankObjects, table, id));
        ASSERT_EQ(table.Insert(effects.back()), ZK_Success);
    };
    addEffect(ZkIndexKind::SharedEffects, 61);
    addEffect(ZkIndexKind::CustomEffects, 62);
    addEffect(ZkIndexKind::CustomEffects, 63);
    addEffect(ZkIndexKind::CustomEffects, 64);
    // The sound's plug-ins are its parent's (the sound does not override them); the bus chain adds
    // the buses' own up to the first bus with a mix stage (Music has an effect, Master is not met).
    Load(Bus("Master", R"("plugins": [{"index": 0, "id": 64}])") + ", " +
         Bus("Music", R"("parent": "Master", "effects": [{"slot": 0, "id": 5}], "plugins": [{"index": 0, "id": 63}])") + ", " +
         Sound(R"("plugins_override": 1, "plugins": [{"index": 0, "id": 61, "shareset": 1}, {"index": 1, "id": 62}, {"index": 2, "id": 99}],
                  "props": {"57": {"i32": 62}}, "custom_effect_override": 1, "limit_flags": 16, "below_threshold": 3, "queue": 2)", 201) + ", " +
         Sound(R"("bus": "Music", "plugins": [{"index": 0, "id": 64}], "props": {"57": {"i32": 63}}, "below_threshold": 1)", 200));
    CZkHierarchyNode* sound = FindSound(200);
    sound->SetParent(FindSound(201));
    m_sound = sound;

    ZK::ZkArray<CZkIndexedObject*> found;
    EXPECT_EQ(sound->CollectAttachedPlugins(&found), 3u) << "61 and 62 from the parent (99 is not loaded), 63 from Music";
    ASSERT_EQ(found.Length(), 3u);
    EXPECT_EQ(found[0]->ID(), 61u);
    EXPECT_EQ(found[1]->ID(), 62u);
    EXPECT_EQ(found[2]->ID(), 63u);
    for (CZkIndexedObject* object : found)
        object->Release();
    EXPECT_EQ(sound->CollectAttachedPlugins(nullptr), 3u) << "a count without objects";
    EXPECT_EQ(FindBus("Master")->CollectAttachedPlugins(nullptr), 1u) << "a bus starts with its own";

    // The sound has an output bus: its own property 57 (63) is the custom effect.
    CZkIndexedObject* custom = sound->GetCustomEffect();
    ASSERT_NE(custom, nullptr);
    EXPECT_EQ(custom->ID(), 63u);
    custom->Release();
    CZkIndexedObject* parentCustom = FindSound(201)->GetCustomEffect();
    ASSERT_NE(parentCustom, nullptr);
    EXPECT_EQ(parentCustom->ID(), 62u);
    parentCustom->Release();

    const ZkBehaviours behaviours = sound->GetBehaviours();
    EXPECT_EQ(behaviours.belowThreshold, 3u) << "the parent overrides the behaviours";
    EXPECT_EQ(behaviours.queue, 1u) << "below-threshold behaviour 3 makes the effective queue behaviour 1";

    for (TestEffect* effect : effects)
        effect->Release();
}
} // namespace
