#include "BehaviorCascade.h"

#include <array>
#include <utility>

namespace kp::assets
{
namespace
{
bool Has(const std::string& text, const char* word)
{
    return text.find(word) != std::string::npos;
}

BehaviorChoice Pick(const std::string& name, std::initializer_list<std::pair<const char*, int>> words,
                    const char* className)
{
    for (const auto& [word, argument] : words)
    {
        if (Has(name, word))
        {
            return {className, argument};
        }
    }
    return {};
}

BehaviorChoice NotAButton(const std::string& name)
{
    if (Has(name, "Background"))
    {
        return Pick(name, {{"Main", 0}, {"Halvo", 6}, {"Game", 1}, {"Pause", 2}, {"Win", 3}, {"Lose", 4}, {"Credit", 5}},
                    "Background");
    }
    if (Has(name, "City"))
    {
        return {"City", 0};
    }
    if (Has(name, "Star"))
    {
        return {Has(name, "_Programer_Results") ? "StarResult" : "Star", 0};
    }
    if (Has(name, "healthbar"))
    {
        return {"HealthBar", 0};
    }
    if (Has(name, "BlackSquare"))
    {
        return {"BehaviorBlackSquare", 0};
    }
    return {};
}

BehaviorChoice AButton(const std::string& name)
{
    static const std::array<std::pair<const char*, const char*>, 14> kWords = {{
        {"Start", "PlayButton"},
        {"CreditReturn", "CreditReturn"},
        {"SettingsButton", "SettingsButton"},
        {"Tut", "TutorialButton"},
        {"Yes", "YesButton"},
        {"No", "NoButton"},
        {"Quit", "QuitButton"},
        {"Coin", "CoinButton"},
        {"MainConfirm", "MainConfirm"},
        {"ToMainMenu", "MenuButton"},
        {"ToCredits", "CreditButton"},
        {"Resume", "ResumeButton"},
        {"BackButton", "BackButton"},
        {"Retry", "RetryButton"},
    }};
    for (const auto& [word, className] : kWords)
    {
        if (Has(name, word))
        {
            return {className, 0};
        }
    }
    if (Has(name, "Spawn"))
    {
        return Pick(name, {{"Top", 0}, {"Mid", 1}, {"Bot", 2}}, "SpawnButton");
    }
    if (Has(name, "Select"))
    {
        return Pick(name, {{"Sm", 1}, {"Med", 2}, {"Large", 3}}, "KorvaneSelectButton");
    }
    return {};
}
} // namespace

BehaviorChoice ChooseBehavior(const std::string& name)
{
    if (Has(name, "Tower"))
    {
        return Pick(name, {{"Wood", 1}, {"Stone", 2}}, "Tower");
    }
    if (Has(name, "Korvane"))
    {
        // Each type word creates its airship behaviour in turn; the last one present stays.
        BehaviorChoice choice;
        for (const auto& [word, type] : {std::pair{"TypeS", 1}, std::pair{"TypeM", 2}, std::pair{"TypeL", 3}})
        {
            if (Has(name, word))
            {
                choice = {"Korvane", type};
            }
        }
        return choice;
    }
    static const std::array<std::pair<const char*, const char*>, 8> kSingles = {{
        {"Cannon", "Cannon"},
        {"NewUITimer", "RoundTimer"},
        {"GoldCount", "GoldCounter"},
        {"TimerResult", "TimerResult"},
        {"VolumeSlider", "VolumeSlider"},
        {"VolumeToggle", "VolumeToggle"},
        {"ScreenToggle", "ScreenToggle"},
        {"FPSDisplay", "FPSDisplay"},
    }};
    for (const auto& [word, className] : kSingles)
    {
        if (Has(name, word))
        {
            return {className, 0};
        }
    }
    if (Has(name, "Upgrade"))
    {
        return Pick(name, {{"D", 0}, {"H", 1}, {"S", 2}}, "UpgradeButton");
    }
    return Has(name, "Button") ? AButton(name) : NotAButton(name);
}

std::string ChooseEmitterBehavior(const std::string& name)
{
    if (Has(name, "EmitterTest"))
    {
        return "EmitterTest";
    }
    if (Has(name, "CannonHit"))
    {
        return "EmitterExplosion";
    }
    if (Has(name, "OnDeath"))
    {
        return "EmitterDeath";
    }
    if (Has(name, "EmitterKey"))
    {
        return "EmitterKey";
    }
    return {};
}
} // namespace kp::assets
