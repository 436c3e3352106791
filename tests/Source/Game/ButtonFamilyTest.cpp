// The button family, every one of the twenty classes driven through the same clicks and held
// presses, each checked against its row of the family table: the sprite rows (or frames) it shows
// idle, hovered, at the release, acting and while busy; its scale (the idle restore, the 1.05
// hover, the press-in while held, never accumulating); what starts its action (the release, the
// press, or holding it); the cues it plays, in order; and its cooldown.
#include "GameTestKit.h"
#include "Game/Button.h"
#include "Objects/ComponentFactory.h"
#include "support/GlContext.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <optional>
#include <ostream>

namespace
{
using kp::test::ObjectBuilder;
using kp::test::SoundCall;

// The sheet of every test button: 4 rows of 2 frames, so row r starts at frame 2r.
constexpr int kColumns = 2;
// A frame that starts no row: what the sprite keeps when a state shows nothing.
constexpr int kKept = 7;
constexpr int Row(int row)
{
    return row * kColumns;
}
// The button's size, and a scale no state sets: what a state that leaves the scale alone keeps.
constexpr glm::vec2 kSize{100.0f, 50.0f};
constexpr glm::vec2 kUntouched{1.0f, 1.0f};
// Alpha no state sets.
constexpr float kUntouchedAlpha = 0.5f;

constexpr float kStep = 0.02f;

enum class Trigger
{
    Release,
    Press,
    Drag,
};

struct Looks
{
    int idle, hover, release, act, busy; // sprite frames after those updates
};

struct FamilyRow
{
    const char* name;
    BehaviorClass kind;
    int argument;
    Looks frames;
    std::optional<float> idleAlpha, hoverAlpha; // none: left alone
    bool restores;
    float hover;   // hovered scale / size, 0: left alone
    float held;    // held scale / size, 0: left alone
    Trigger trigger;
    std::vector<ZkUniqueID> cues;
    float cooldown; // seconds, 0: none
};

void PrintTo(const FamilyRow& row, std::ostream* out)
{
    *out << row.name;
}

constexpr ZkUniqueID H = 66789758;          // hover
constexpr ZkUniqueID P = 1713356576;        // press
constexpr ZkUniqueID GH = 1697518767;       // hover of the play field's buttons
constexpr ZkUniqueID kCoin = 1843752364;
constexpr ZkUniqueID kDialog = 1713356579;
constexpr ZkUniqueID kSelected = 1713356578;

constexpr Looks kRows012{Row(0), Row(1), Row(1), Row(2), Row(2)};
constexpr Looks kRows010{Row(0), Row(1), Row(1), Row(0), Row(0)};
constexpr Looks kNone{kKept, kKept, kKept, kKept, kKept};

const std::vector<FamilyRow> kFamily = {
    {"BackButton", BehaviorClass::BackButton, 0, kRows012, {}, {}, true, 1.05f, 0.945f, Trigger::Release, {H, P}, 0.25f},
    {"CoinButton", BehaviorClass::CoinButton, 0, kNone, {}, {}, true, 1.05f, 0.945f, Trigger::Release, {GH, kCoin}, 0.0f},
    {"CreditButton", BehaviorClass::CreditButton, 0, kRows012, {}, {}, true, 0, 0, Trigger::Release, {H, P}, 0.25f},
    {"CreditReturn", BehaviorClass::CreditReturn, 0, kRows010, {}, {}, false, 0, 0, Trigger::Release, {H, P}, 0.25f},
    {"MainConfirm", BehaviorClass::MainConfirm, 0, kRows012, {}, {}, false, 0, 0, Trigger::Release, {H, P, kDialog}, 0.25f},
    {"MenuButton", BehaviorClass::MenuButton, 0, kRows010, {}, {}, false, 0, 0, Trigger::Release, {H, P}, 0.25f},
    {"NoButton", BehaviorClass::NoButton, 0, kRows012, {}, {}, false, 0, 0, Trigger::Release, {H, P}, 0.25f},
    {"PlayButton", BehaviorClass::PlayButton, 0, kRows012, {}, {}, true, 1.05f, 0.945f, Trigger::Release, {H, P}, 0.25f},
    {"QuitButton", BehaviorClass::QuitButton, 0, kRows012, {}, {}, false, 0, 0, Trigger::Release, {H, P, kDialog}, 0.25f},
    {"ResumeButton", BehaviorClass::ResumeButton, 0, kRows012, {}, {}, false, 0, 0, Trigger::Release, {H, P}, 0.25f},
    {"RetryButton", BehaviorClass::RetryButton, 0, kRows012, {}, {}, false, 0, 0, Trigger::Release, {H, P}, 0.25f},
    // Row 1 only at the release edge; nothing in state 1 or 2.
    {"SettingsButton", BehaviorClass::SettingsButton, 0, {Row(0), kKept, Row(1), kKept, Row(2)}, {}, {}, false, 0, 0,
     Trigger::Release, {H, P}, 0.25f},
    {"TutorialButton", BehaviorClass::TutorialButton, 0, kRows012, {}, {}, false, 0, 0, Trigger::Release, {H, P}, 0.25f},
    {"YesButton", BehaviorClass::YesButton, 0, kRows012, {}, {}, false, 0, 0, Trigger::Release, {H, P}, 0.25f},
    // Nothing new while busy: row 2 stays from the action.
    {"KorvaneSelectButton", BehaviorClass::KorvaneSelectButton, 1, {Row(0), Row(1), Row(1), Row(2), kKept}, {}, {},
     false, 0, 0, Trigger::Release, {GH, kSelected}, 0.25f},
    // Invisible idle, visible hovered; no launch without an archetype, so no launch cue.
    {"SpawnButton", BehaviorClass::SpawnButton, 0, kNone, 0.0f, 1.0f, false, 0, 0, Trigger::Release, {GH}, 0.0f},
    // No archetype shown yet: row 0 idle, and the action buys nothing (no cue).
    {"UpgradeButton", BehaviorClass::UpgradeButton, 0, kRows012, {}, {}, false, 0, 0, Trigger::Release, {GH}, 0.25f},
    // Its own frames: 3 in full screen (the test window starts windowed, so the toggle's last switch
    // did not begin in full screen), 2 while switching. The held look is taken windowed, after the
    // first click's switch has gone full screen and the second click's back: 0.95, not scaled up.
    {"ScreenToggle", BehaviorClass::ScreenToggle, 0, {3, 3, 3, 2, 3}, {}, {}, true, 1.05f, 0.95f, Trigger::Press, {H},
     0.15f},
    // Frame 0: muted by the click.
    {"VolumeToggle", BehaviorClass::VolumeToggle, 0, {kKept, kKept, kKept, 0, kKept}, {}, {}, true, 1.05f, 0.945f,
     Trigger::Press, {H}, 0.15f},
    {"VolumeSlider", BehaviorClass::VolumeSlider, 0, kNone, {}, {}, false, 0, 0, Trigger::Drag, {}, 0.0f},
};

// What one update of the button left.
struct Look
{
    int frame;
    float alpha;
    glm::vec2 scale;
};

class ButtonFamilyTest : public kp::test::GameFixture, public ::testing::WithParamInterface<FamilyRow>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_context.IsReady()) << m_context.Error();
        window = m_context.Window();
        AddScene("MenuUI");
    }
    void TearDown() override { window = nullptr; }

    // A button of the row's class on a 4 x 2 sheet, at the centre, kSize, with its Audio.
    Button* MakeButton()
    {
        const FamilyRow& row = GetParam();
        Behavior* behavior = CreateBehavior(BehaviorChoice{row.kind, row.argument, {}, 0.0f, {}});
        auto* button = dynamic_cast<Button*>(behavior);
        EXPECT_NE(button, nullptr);
        ObjectBuilder builder("Button");
        builder.Scaled(kSize.x, kSize.y).Showing(Sheet(4, kColumns), kKept).Animated().Box().WithAudio().With(behavior);
        builder.Get()->GetComponent<Animation>()->playing = false;
        m_button = Keep(builder.Build());
        button->Init();
        return button;
    }

    // One update with the mouse over the button or away and button 0 down or up, from the
    // untouched look; every playback ends after it, so no cue is held back by an earlier one.
    Look Update(bool over, bool down)
    {
        over ? PointAt(0, 0) : PointAway();
        down ? m_input.Press(kMouse) : m_input.Release(kMouse);
        auto* sprite = m_button->GetComponent<Sprite>();
        auto* transform = m_button->GetComponent<Transform>();
        sprite->frameIndex = kKept;
        m_button->GetComponent<Animation>()->frameIndex = kKept;
        sprite->alpha = kUntouchedAlpha;
        transform->scale = glm::vec3(kUntouched, 1.0f);
        FrameOf({m_button}, kStep);
        m_sound.EndAll();
        return Look{sprite->frameIndex, sprite->alpha, glm::vec2(transform->scale)};
    }

    static void ExpectScale(const Look& look, float factor, const char* when)
    {
        const glm::vec2 expected = factor == 0.0f ? kUntouched : kSize * factor;
        EXPECT_NEAR(look.scale.x, expected.x, 1e-3f) << when;
        EXPECT_NEAR(look.scale.y, expected.y, 1e-3f) << when;
    }

    kp::test::GlContext m_context{static_cast<int>(kWindowWidth), static_cast<int>(kWindowHeight)};
    GameObject* m_button = nullptr;
};

TEST_P(ButtonFamilyTest, ShowsScalesTriggersSoundsAndRestsAsItsRowSays)
{
    const FamilyRow& row = GetParam();
    Button* button = MakeButton();
    ASSERT_NE(button, nullptr);

    // A click: idle, hovered, pressed and held twice, released, then two updates over it.
    const bool press = row.trigger == Trigger::Press;
    std::vector<Look> looks;
    std::optional<size_t> actedAt;
    std::vector<size_t> dragged;
    float cooldownAtAction = -1.0f;
    const struct
    {
        bool over, down;
    } clicks[] = {{false, false}, {true, false}, {true, false}, {true, true}, {true, true},
                  {true, true},   {true, false}, {true, false}, {true, false}};
    for (size_t step = 0; step < std::size(clicks); ++step)
    {
        const size_t writesBefore = m_sound.Calls(SoundCall::Kind::SetRTPCValue).size();
        looks.push_back(Update(clicks[step].over, clicks[step].down));
        if (!actedAt && button->currentState == Button::kActing)
        {
            actedAt = step;
            cooldownAtAction = button->cooldown != nullptr ? button->cooldown->remaining : 0.0f;
        }
        if (m_sound.Calls(SoundCall::Kind::SetRTPCValue).size() > writesBefore)
        {
            dragged.push_back(step);
        }
    }
    const std::vector<ZkUniqueID> cues = m_sound.Posted(button->audio->emitterId);

    // Rows (or frames) and alpha.
    EXPECT_EQ(looks[0].frame, row.frames.idle) << "idle";
    EXPECT_EQ(looks[2].frame, row.frames.hover) << "hovered";
    if (!press)
    {
        EXPECT_EQ(looks[6].frame, row.frames.release) << "at the release";
    }
    EXPECT_EQ(looks[press ? 4 : 7].frame, row.frames.act) << "acting";
    EXPECT_EQ(looks[press ? 5 : 8].frame, row.frames.busy) << "busy";
    EXPECT_EQ(looks[0].alpha, row.idleAlpha.value_or(kUntouchedAlpha)) << "idle";
    EXPECT_EQ(looks[2].alpha, row.hoverAlpha.value_or(kUntouchedAlpha)) << "hovered";

    // Scale: restored when idle, raised when hovered.
    ExpectScale(looks[0], row.restores ? 1.0f : 0.0f, "idle");
    ExpectScale(looks[2], row.hover, "hovered");

    // What starts the action.
    switch (row.trigger)
    {
    case Trigger::Release:
        EXPECT_EQ(actedAt, std::optional<size_t>(7)) << "the update after the release edge";
        break;
    case Trigger::Press:
        EXPECT_EQ(actedAt, std::optional<size_t>(4)) << "the update after the press edge";
        break;
    case Trigger::Drag:
        EXPECT_EQ(actedAt, std::nullopt);
        EXPECT_EQ(dragged, (std::vector<size_t>{4, 5})) << "every held update over it";
        break;
    }

    // Cues: the hover cue once, the press cue on the press edge, the action's cue.
    EXPECT_EQ(cues, row.cues);

    // The cooldown starts with the action.
    EXPECT_FLOAT_EQ(row.trigger == Trigger::Drag ? 0.0f : cooldownAtAction, row.cooldown);

    // A long press: the held look, the same on the last two updates (it does not accumulate).
    for (int rest = 0; rest < 30; ++rest)
    {
        Update(false, false);
    }
    Update(true, false);
    Update(true, false);
    Update(true, true);
    for (int held = 0; held < 20; ++held)
    {
        Update(true, true);
    }
    const Look held = Update(true, true);
    const Look heldLonger = Update(true, true);
    ExpectScale(held, row.held, "held");
    ExpectScale(heldLonger, row.held, "held longer");
}

INSTANTIATE_TEST_SUITE_P(AllTwenty, ButtonFamilyTest, ::testing::ValuesIn(kFamily),
                         [](const ::testing::TestParamInfo<FamilyRow>& info) { return std::string(info.param.name); });

TEST(ButtonFamily, TheTableHoldsTwentyClasses)
{
    EXPECT_EQ(kFamily.size(), 20u);
}
} // namespace
