// The object reader's name cascade: every row of both tables, and the precedence that the order of
// the substring tests gives.
#include "Objects/BehaviorChoice.h"

#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace
{
using Kind = BehaviorClass;
using Choices = std::vector<BehaviorChoice>;

BehaviorChoice Make(Kind kind, int argument = 0, const char* storedName = "")
{
    return BehaviorChoice{kind, argument, std::string(), 0.0f, storedName};
}
BehaviorChoice Background(int kind, const char* name)
{
    return BehaviorChoice{Kind::Background, kind, name, 0.0f, ""};
}
BehaviorChoice Star()
{
    return BehaviorChoice{Kind::Star, 0, std::string(), kDefaultStarSeconds, ""};
}
} // namespace

std::ostream& operator<<(std::ostream& out, const BehaviorChoice& choice)
{
    return out << "{kind " << static_cast<int>(choice.kind) << ", argument " << choice.argument << ", text \""
               << choice.text << "\", seconds " << choice.seconds << ", name \"" << choice.storedName << "\"}";
}

namespace
{
TEST(BehaviorChoice, EveryRowOfTheBehaviourTable)
{
    const struct
    {
        const char* name;
        Choices expected;
    } cases[] = {
        // Row 1: towers by material.
        {"WoodTower", {Make(Kind::Tower, 1, "WoodTower")}},
        {"TowerStone", {Make(Kind::Tower, 2, "StoneTower")}},
        // Row 2: airships.
        {"KorvaneTypeS", {Make(Kind::Korvane, 1, "KorvaneS")}},
        {"KorvaneTypeM", {Make(Kind::Korvane, 2, "KorvaneM")}},
        {"KorvaneTypeL", {Make(Kind::Korvane, 3, "KorvaneL")}},
        // Rows 3 to 10.
        {"Cannon2", {Make(Kind::Cannon, 0, "Cannon")}},
        {"NewUITimer", {Make(Kind::RoundTimer, 0, "NewUITimer")}},
        {"GoldCount", {Make(Kind::GoldCounter, 0, "GoldCount")}},
        {"TimerResult", {Make(Kind::TimerResult, 0, "TimerResult")}},
        {"VolumeSlider", {Make(Kind::VolumeSlider, 0, "VolumeSlider")}},
        {"VolumeToggle", {Make(Kind::VolumeToggle, 0, "VolumeToggle")}},
        {"ScreenToggle", {Make(Kind::ScreenToggle, 0, "ScreenToggle")}},
        {"FPSDisplay", {Make(Kind::FPSDisplay, 0, "FPSDisplay")}},
        // Row 11: upgrades by their capital letter.
        {"UpgradeDamage", {Make(Kind::UpgradeButton, 0)}},
        {"UpgradeHealth", {Make(Kind::UpgradeButton, 1)}},
        {"UpgradeSpeed", {Make(Kind::UpgradeButton, 2)}},
        // Row 12: names without "Button".
        {"MainBackground", {Background(0, "MainBackground")}},
        {"HalvoBackground", {Background(6, "HalvoBackground")}},
        {"GameBackground", {Background(1, "GameBackground")}},
        {"PauseBackground", {Background(2, "PauseBackground")}},
        {"WinBackground", {Background(3, "WinBackground")}},
        {"LoseBackground", {Background(4, "LoseBackground")}},
        {"CreditBackground", {Background(5, "CreditBackground")}},
        {"DwarfCity", {Make(Kind::City, 0, "Tower")}},
        {"Star_Programer_Results", {Make(Kind::StarResult)}},
        {"Star1", {Star()}},
        {"Cityhealthbar", {Make(Kind::City, 0, "Tower")}},
        {"Towerhealthbar", {}},
        {"healthbar", {Make(Kind::HealthBar)}},
        {"BlackSquare", {Make(Kind::BehaviorBlackSquare)}},
        // Row 13: buttons, in the order of their tests.
        {"StartButton", {Make(Kind::PlayButton)}},
        {"CreditReturnButton", {Make(Kind::CreditReturn)}},
        {"SettingsButton", {Make(Kind::SettingsButton)}},
        {"TutButton", {Make(Kind::TutorialButton)}},
        {"YesButton", {Make(Kind::YesButton)}},
        {"NoButton", {Make(Kind::NoButton)}},
        {"QuitButton", {Make(Kind::QuitButton)}},
        {"CoinButton", {Make(Kind::CoinButton)}},
        {"MainConfirmButton", {Make(Kind::MainConfirm)}},
        {"ToMainMenuButton", {Make(Kind::MenuButton)}},
        {"ToCreditsButton", {Make(Kind::CreditButton)}},
        {"ResumeButton", {Make(Kind::ResumeButton)}},
        {"BackButton", {Make(Kind::BackButton)}},
        {"RetryButton", {Make(Kind::RetryButton)}},
        {"SpawnButtonTop", {Make(Kind::SpawnButton, 0)}},
        {"SpawnButtonMid", {Make(Kind::SpawnButton, 1)}},
        {"SpawnButtonBot", {Make(Kind::SpawnButton, 2)}},
        {"SelectButtonSm", {Make(Kind::KorvaneSelectButton, 1)}},
        {"SelectButtonMed", {Make(Kind::KorvaneSelectButton, 2)}},
        {"SelectButtonLarge", {Make(Kind::KorvaneSelectButton, 3)}},
        // Names that match nothing.
        {"", {}},
        {"Scenery", {}},
        {"PlainButton", {}},
        {"SpawnButton", {}},
        {"SelectButton", {}},
        {"Upgrade", {}},
        {"Korvane", {}},
    };
    for (const auto& row : cases)
    {
        EXPECT_EQ(ChooseBehaviors(row.name), row.expected) << "name \"" << row.name << "\"";
    }
}

TEST(BehaviorChoice, TheOrderOfTheTestsDecides)
{
    const struct
    {
        const char* name;
        Choices expected;
        const char* why;
    } cases[] = {
        {"WoodTowerCannon", {Make(Kind::Tower, 1, "WoodTower")}, "row 1 comes before the cannon"},
        {"TowerCannon", {}, "a tower of neither material creates nothing, cannon or not"},
        {"DwarfCityTower", {}, "a city that also says Tower falls under row 1"},
        {"StoneCityTower", {Make(Kind::Tower, 2, "StoneTower")}, "and needs a material there"},
        {"KorvaneTypeSTypeL",
         {Make(Kind::Korvane, 1, "KorvaneS"), Make(Kind::Korvane, 3, "KorvaneL")},
         "each type creates its own behaviour; the last one stays in the slot"},
        {"KorvaneTypeLTypeMTypeS",
         {Make(Kind::Korvane, 1, "KorvaneS"), Make(Kind::Korvane, 2, "KorvaneM"), Make(Kind::Korvane, 3, "KorvaneL")},
         "tested S, M, L whatever their order in the name"},
        {"KorvaneCannon", {}, "an airship name without a type creates nothing, not a cannon"},
        {"TowerKorvaneTypeS", {}, "row 2 is reached only without Tower"},
        {"CannonGoldCount", {Make(Kind::Cannon, 0, "Cannon")}, "rows 3 to 10 in order"},
        {"UpgradeButtonDHS", {Make(Kind::UpgradeButton, 0)}, "upgrade before the buttons; D before H and S"},
        {"UpgradeLevel", {}, "an upgrade name without D, H or S creates nothing"},
        {"StartUpgrade", {Make(Kind::UpgradeButton, 2)}, "any capital S counts, the one of Start too"},
        {"YesNoButton", {Make(Kind::YesButton)}, "Yes is tested before No"},
        {"NoQuitButton", {Make(Kind::NoButton)}, "No before Quit"},
        {"MainConfirmNoButton", {Make(Kind::NoButton)}, "MainConfirm is reached only without No"},
        {"MainConfirmButton", {Make(Kind::MainConfirm)}, "and without Quit and Coin"},
        {"StartQuitButton", {Make(Kind::PlayButton)}, "Start first of all"},
        {"TutorialBackButton", {Make(Kind::TutorialButton)}, "Tut before BackButton"},
        {"SpawnSelectButtonSm", {}, "Spawn wins over Select and needs Top, Mid or Bot"},
        {"SelectButtonSmLarge", {Make(Kind::KorvaneSelectButton, 1)}, "Sm before Large"},
        {"BackgroundButton", {}, "a background name with Button is a button and matches none"},
        {"BackgroundMainWin", {Background(0, "BackgroundMainWin")}, "Main before Win"},
        {"BackgroundCity", {}, "a background of no known screen creates nothing, not a city"},
        {"CityStar", {Make(Kind::City, 0, "Tower")}, "City before Star"},
        {"Starhealthbar", {Star()}, "Star before healthbar"},
        {"HealthBar", {}, "healthbar is lower case"},
        {"woodtower", {}, "the tests are case-sensitive"},
    };
    for (const auto& row : cases)
    {
        EXPECT_EQ(ChooseBehaviors(row.name), row.expected) << "name \"" << row.name << "\": " << row.why;
    }
}

TEST(BehaviorChoice, TheParticleBehaviourTable)
{
    using Emitter = EmitterBehaviorClass;
    const struct
    {
        const char* text;
        EmitterBehaviorChoice expected;
    } cases[] = {
        {"EmitterTest", {Emitter::EmitterTest, "EmitterTest"}},
        {"CannonHit", {Emitter::EmitterExplosion, "EmitterExplosion"}},
        {"SmokeOnDeath", {Emitter::EmitterDeath, "EmitterDeath"}},
        {"EmitterKey", {Emitter::EmitterKey, "EmitterKey"}},
        {"EmitterTestOnDeath", {Emitter::EmitterTest, "EmitterTest"}},
        {"OnDeathCannonHit", {Emitter::EmitterExplosion, "EmitterExplosion"}},
        {"EmitterKeyOnDeath", {Emitter::EmitterDeath, "EmitterDeath"}},
        {"ondeath", {}},
        {"", {}},
    };
    for (const auto& row : cases)
    {
        EXPECT_EQ(ChooseEmitterBehavior(row.text), row.expected) << "text \"" << row.text << "\"";
    }
}
} // namespace
