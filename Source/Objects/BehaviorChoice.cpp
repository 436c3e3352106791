#include "Objects/BehaviorChoice.h"

#include <array>

namespace
{
bool Contains(const std::string& name, const char* text)
{
    return name.find(text) != std::string::npos;
}

// A test and what it selects, for the rows whose tests simply run in order.
struct NamedTest
{
    const char* text;
    BehaviorClass kind;
    int argument;
    const char* storedName; // empty: the constructor's name stays
};

// Rows 3 to 10: one test and one class each.
constexpr std::array kSingleTestRows = {
    NamedTest{"Cannon", BehaviorClass::Cannon, 0, "Cannon"},
    NamedTest{"NewUITimer", BehaviorClass::RoundTimer, 0, "NewUITimer"},
    NamedTest{"GoldCount", BehaviorClass::GoldCounter, 0, "GoldCount"},
    NamedTest{"TimerResult", BehaviorClass::TimerResult, 0, "TimerResult"},
    NamedTest{"VolumeSlider", BehaviorClass::VolumeSlider, 0, "VolumeSlider"},
    NamedTest{"VolumeToggle", BehaviorClass::VolumeToggle, 0, "VolumeToggle"},
    NamedTest{"ScreenToggle", BehaviorClass::ScreenToggle, 0, "ScreenToggle"},
    NamedTest{"FPSDisplay", BehaviorClass::FPSDisplay, 0, "FPSDisplay"},
};

// The background kinds, tested in this order.
constexpr std::array kBackgroundKinds = {
    NamedTest{"Main", BehaviorClass::Background, 0, ""},  NamedTest{"Halvo", BehaviorClass::Background, 6, ""},
    NamedTest{"Game", BehaviorClass::Background, 1, ""},  NamedTest{"Pause", BehaviorClass::Background, 2, ""},
    NamedTest{"Win", BehaviorClass::Background, 3, ""},   NamedTest{"Lose", BehaviorClass::Background, 4, ""},
    NamedTest{"Credit", BehaviorClass::Background, 5, ""},
};

// Buttons, tested in this order; "Spawn" and "Select" have sub-tests of their own after these.
constexpr std::array kButtonRows = {
    NamedTest{"Start", BehaviorClass::PlayButton, 0, ""},
    NamedTest{"CreditReturn", BehaviorClass::CreditReturn, 0, ""},
    NamedTest{"SettingsButton", BehaviorClass::SettingsButton, 0, ""},
    NamedTest{"Tut", BehaviorClass::TutorialButton, 0, ""},
    NamedTest{"Yes", BehaviorClass::YesButton, 0, ""},
    NamedTest{"No", BehaviorClass::NoButton, 0, ""},
    NamedTest{"Quit", BehaviorClass::QuitButton, 0, ""},
    NamedTest{"Coin", BehaviorClass::CoinButton, 0, ""},
    NamedTest{"MainConfirm", BehaviorClass::MainConfirm, 0, ""},
    NamedTest{"ToMainMenu", BehaviorClass::MenuButton, 0, ""},
    NamedTest{"ToCredits", BehaviorClass::CreditButton, 0, ""},
    NamedTest{"Resume", BehaviorClass::ResumeButton, 0, ""},
    NamedTest{"BackButton", BehaviorClass::BackButton, 0, ""},
    NamedTest{"Retry", BehaviorClass::RetryButton, 0, ""},
};
constexpr std::array kSpawnLanes = {
    NamedTest{"Top", BehaviorClass::SpawnButton, 0, ""},
    NamedTest{"Mid", BehaviorClass::SpawnButton, 1, ""},
    NamedTest{"Bot", BehaviorClass::SpawnButton, 2, ""},
};
constexpr std::array kSelectSizes = {
    NamedTest{"Sm", BehaviorClass::KorvaneSelectButton, 1, ""},
    NamedTest{"Med", BehaviorClass::KorvaneSelectButton, 2, ""},
    NamedTest{"Large", BehaviorClass::KorvaneSelectButton, 3, ""},
};
constexpr std::array kUpgradeKinds = {
    NamedTest{"D", BehaviorClass::UpgradeButton, 0, ""},
    NamedTest{"H", BehaviorClass::UpgradeButton, 1, ""},
    NamedTest{"S", BehaviorClass::UpgradeButton, 2, ""},
};
constexpr std::array kTowerKinds = {
    NamedTest{"Wood", BehaviorClass::Tower, 1, "WoodTower"},
    NamedTest{"Stone", BehaviorClass::Tower, 2, "StoneTower"},
};
// Each airship type is tested on its own; every match creates a behaviour.
constexpr std::array kAirshipTypes = {
    NamedTest{"TypeS", BehaviorClass::Korvane, 1, "KorvaneS"},
    NamedTest{"TypeM", BehaviorClass::Korvane, 2, "KorvaneM"},
    NamedTest{"TypeL", BehaviorClass::Korvane, 3, "KorvaneL"},
};

BehaviorChoice ChoiceOf(const NamedTest& row)
{
    return BehaviorChoice{row.kind, row.argument, std::string(), 0.0f, row.storedName};
}

// The first row of `rows` whose text the name contains: that one choice, or none.
template <size_t Count>
std::vector<BehaviorChoice> FirstMatch(const std::string& name, const std::array<NamedTest, Count>& rows)
{
    for (const NamedTest& row : rows)
    {
        if (Contains(name, row.text))
        {
            return {ChoiceOf(row)};
        }
    }
    return {};
}

std::vector<BehaviorChoice> ChooseWithoutButton(const std::string& name)
{
    if (Contains(name, "Background"))
    {
        std::vector<BehaviorChoice> chosen = FirstMatch(name, kBackgroundKinds);
        for (BehaviorChoice& background : chosen)
        {
            background.text = name;
        }
        return chosen;
    }
    if (Contains(name, "City"))
    {
        return {BehaviorChoice{BehaviorClass::City, 0, std::string(), 0.0f, "Tower"}};
    }
    if (Contains(name, "Star"))
    {
        if (Contains(name, "_Programer_Results"))
        {
            return {BehaviorChoice{BehaviorClass::StarResult, 0, std::string(), 0.0f, std::string()}};
        }
        return {BehaviorChoice{BehaviorClass::Star, 0, std::string(), kDefaultStarSeconds, std::string()}};
    }
    if (Contains(name, "healthbar"))
    {
        return {BehaviorChoice{BehaviorClass::HealthBar, 0, std::string(), 0.0f, std::string()}};
    }
    if (Contains(name, "BlackSquare"))
    {
        return {BehaviorChoice{BehaviorClass::BehaviorBlackSquare, 0, std::string(), 0.0f, std::string()}};
    }
    return {};
}

std::vector<BehaviorChoice> ChooseButton(const std::string& name)
{
    std::vector<BehaviorChoice> chosen = FirstMatch(name, kButtonRows);
    if (!chosen.empty())
    {
        return chosen;
    }
    if (Contains(name, "Spawn"))
    {
        return FirstMatch(name, kSpawnLanes);
    }
    if (Contains(name, "Select"))
    {
        return FirstMatch(name, kSelectSizes);
    }
    return {};
}
} // namespace

std::vector<BehaviorChoice> ChooseBehaviors(const std::string& name)
{
    if (Contains(name, "Tower"))
    {
        return FirstMatch(name, kTowerKinds);
    }
    if (Contains(name, "Korvane"))
    {
        std::vector<BehaviorChoice> chosen;
        for (const NamedTest& type : kAirshipTypes)
        {
            if (Contains(name, type.text))
            {
                chosen.push_back(ChoiceOf(type));
            }
        }
        return chosen;
    }
    std::vector<BehaviorChoice> chosen = FirstMatch(name, kSingleTestRows);
    if (!chosen.empty())
    {
        return chosen;
    }
    if (Contains(name, "Upgrade"))
    {
        return FirstMatch(name, kUpgradeKinds);
    }
    if (!Contains(name, "Button"))
    {
        return ChooseWithoutButton(name);
    }
    return ChooseButton(name);
}

EmitterBehaviorChoice ChooseEmitterBehavior(const std::string& text)
{
    struct EmitterTest
    {
        const char* text;
        EmitterBehaviorClass kind;
        const char* storedName;
    };
    constexpr std::array kEmitterRows = {
        EmitterTest{"EmitterTest", EmitterBehaviorClass::EmitterTest, "EmitterTest"},
        EmitterTest{"CannonHit", EmitterBehaviorClass::EmitterExplosion, "EmitterExplosion"},
        EmitterTest{"OnDeath", EmitterBehaviorClass::EmitterDeath, "EmitterDeath"},
        EmitterTest{"EmitterKey", EmitterBehaviorClass::EmitterKey, "EmitterKey"},
    };
    for (const EmitterTest& row : kEmitterRows)
    {
        if (Contains(text, row.text))
        {
            return EmitterBehaviorChoice{row.kind, row.storedName};
        }
    }
    return EmitterBehaviorChoice{};
}
