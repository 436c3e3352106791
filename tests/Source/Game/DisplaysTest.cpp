// The display behaviours: each screen's music posted when its backdrop is built and stopped by a
// reset, the frame-rate display toggled by 'F', and health bars sized to their parent's health.
#include "GameTestKit.h"
#include "Engine/Mesh.h"
#include "Game/Background.h"
#include "Game/FPSDisplay.h"
#include "Game/HealthBar.h"
#include "support/GlContext.h"

#include <array>

namespace
{
using kp::test::MakeBehavior;
using kp::test::ObjectBuilder;
using kp::test::SoundCall;

constexpr float kStep = 0.05f;

class DisplaysTest : public kp::test::GameFixture
{
};

TEST_F(DisplaysTest, EachBackdropPostsItsScreensMusicWhenBuiltAndAResetStopsIt)
{
    const struct
    {
        const char* name;
        int kind;
        ZkUniqueID music;
    } cases[] = {{"MainMenuBackground", 0, 2228153899u}, {"GameBackground", 1, 557932600u},
                 {"PauseBackground", 2, 2228153899u},    {"WinBackground", 3, 51240863u},
                 {"LoseBackground", 4, 2339013412u},     {"creditMenuBackground", 5, 2097415741u},
                 {"HalvoSplash", 6, 1029053404u}};
    for (const auto& row : cases)
    {
        SCOPED_TRACE(row.name);
        m_sound.ForgetCalls();
        auto* backdrop = new Background(row.kind, row.name);
        GameObject* object = Keep(ObjectBuilder(row.name).WithAudio().With(backdrop).Build());
        backdrop->Init();
        const ZkGameObjectID id = object->GetComponent<Audio>()->emitterId;
        EXPECT_EQ(m_sound.Posted(id), std::vector<ZkUniqueID>{row.music});
        EXPECT_EQ(backdrop->name, row.name);
        backdrop->Reset();
        const std::vector<SoundCall> stops = m_sound.Calls(SoundCall::Kind::StopAll);
        ASSERT_EQ(stops.size(), 1u);
        EXPECT_EQ(stops[0].gameObject, id);
    }
    // Without an Audio component, or of another kind, nothing is posted.
    m_sound.ForgetCalls();
    auto* silent = new Background(1, "GameBackground");
    Keep(ObjectBuilder("GameBackground").With(silent).Build());
    silent->Init();
    auto* other = new Background(7, "OtherBackground");
    Keep(ObjectBuilder("OtherBackground").WithAudio().With(other).Build());
    other->Init();
    EXPECT_TRUE(m_sound.Posted().empty());
}

TEST_F(DisplaysTest, ReplayingTheSplashPostsItsSoundOnItsBackdrop)
{
    constexpr int kReplayKey = 66; // 'B'
    Scene& splash = AddScene("SplashScreen", false);
    const ZkGameObjectID id = Place(splash, ObjectBuilder("HalvoSplash").WithAudio().Build())->GetComponent<Audio>()->emitterId;
    AddScene("MenuUI");
    m_input.Press(kReplayKey);
    Frame(kStep);
    EXPECT_TRUE(m_sound.Posted().empty());
    m_input.Release(kReplayKey);
    Frame(kStep);
    EXPECT_EQ(m_sound.Posted(id), std::vector<ZkUniqueID>{1029053404u});
    EXPECT_TRUE(splash.active);
}

TEST_F(DisplaysTest, TheFrameRateStartsHiddenAndEachReleaseOfFShowsOrHidesIt)
{
    constexpr int kF = 70;
    GameObject* display = Keep(ObjectBuilder("FPSDisplay").Showing(Sheet(6, 16)).With(
        MakeBehavior(BehaviorClass::FPSDisplay)).Build());
    display->GetComponent<Behavior>()->Init();
    framesPerSecond = 143.0f;
    auto alpha = [display] { return display->GetComponent<Sprite>()->alpha; };
    FrameOf({display}, kStep);
    EXPECT_EQ(alpha(), 0.0f);
    m_input.Press(kF);
    FrameOf({display}, kStep);
    EXPECT_EQ(alpha(), 0.0f) << "not on the press";
    m_input.Release(kF);
    FrameOf({display}, kStep);
    EXPECT_EQ(alpha(), 1.0f);
    EXPECT_EQ(display->GetComponent<Sprite>()->text, "143");
    m_input.Press(kF);
    FrameOf({display}, kStep);
    m_input.Release(kF);
    FrameOf({display}, kStep);
    EXPECT_EQ(alpha(), 0.0f);
    framesPerSecond = 0.0f;
}

class HealthBarTest : public DisplaysTest
{
protected:
    void SetUp() override { ASSERT_TRUE(m_context.IsReady()) << m_context.Error(); }
    void TearDown() override { m_mesh.Destroy(); }

    kp::test::GlContext m_context{16, 16};
    Mesh m_mesh;
};

TEST_F(HealthBarTest, ABarIsAsLongAsItsParentsHealthAllows)
{
    const struct
    {
        int health, maxHealth;
        bool dead;
        float width;
    } cases[] = {
        {100, 100, false, 100.0f}, {50, 100, false, 50.0f}, {30, 120, false, 25.0f},
        {40, 100, true, 0.0f},     // dead, health left or not
        {0, 100, false, 0.0f},     {-5, 100, false, 0.0f},
        {10, 0, false, 0.0f},      // no maximum: no bar, rather than a division by 0
    };
    m_mesh.vertices.resize(6);
    m_mesh.vertexCount = 6;
    ObjectBuilder bar("TowerHealthBar");
    bar.Showing(Sheet(1, 1)).With(MakeBehavior(BehaviorClass::HealthBar));
    bar.Get()->GetComponent<Sprite>()->mesh = &m_mesh;
    ObjectBuilder tower("WoodTower1");
    tower.WithStats(100).Child(bar.Build());
    GameObject* parent = Keep(tower.Build());
    for (const auto& row : cases)
    {
        SCOPED_TRACE(testing::Message() << row.health << "/" << row.maxHealth << (row.dead ? " dead" : ""));
        auto* stats = parent->GetComponent<Stats>();
        stats->health = row.health;
        stats->MaxHealth = row.maxHealth;
        stats->dead = row.dead;
        parent->children.front()->Update(kStep);
        for (const int vertex : {0, 1, 3})
        {
            EXPECT_FLOAT_EQ(m_mesh.vertices[static_cast<size_t>(vertex)].x, row.width);
        }
    }
}
} // namespace
