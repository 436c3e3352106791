// The object reader's choice of behaviour by name. An object file names its behaviour in
// "Behavior"."Name" and its particle behaviour in "EmitterBehavior"; the class is chosen by a fixed
// cascade of case-sensitive substring tests on that text, tested in a fixed order so that the first
// matching test wins (a name holding both "Yes" and "No" makes a YesButton). The choice is pure
// data here; ComponentFactory.h turns it into a component.
//
// Threading: any (pure functions). Ownership: plain values.
#pragma once

#include <string>
#include <vector>

enum class BehaviorClass
{
    Tower,
    Korvane,
    Cannon,
    RoundTimer,
    GoldCounter,
    TimerResult,
    VolumeSlider,
    VolumeToggle,
    ScreenToggle,
    FPSDisplay,
    UpgradeButton,
    Background,
    City,
    StarResult,
    Star,
    HealthBar,
    BehaviorBlackSquare,
    PlayButton,
    CreditReturn,
    SettingsButton,
    TutorialButton,
    YesButton,
    NoButton,
    QuitButton,
    CoinButton,
    MainConfirm,
    MenuButton,
    CreditButton,
    ResumeButton,
    BackButton,
    RetryButton,
    SpawnButton,
    KorvaneSelectButton,
};

// One behaviour to construct.
struct BehaviorChoice
{
    BehaviorClass kind;
    // The constructor's argument: tower kind, airship type, upgrade kind, background kind, spawn
    // lane or airship type of a select button; 0 for classes without one.
    int argument = 0;
    // Background: the whole name, handed to its constructor.
    std::string text;
    // Star: its time in seconds.
    float seconds = 0.0f;
    // The name the reader writes into the behaviour; empty keeps the constructor's name.
    std::string storedName;

    bool operator==(const BehaviorChoice&) const = default;
};

// The behaviours "Behavior"."Name" creates, in creation order, each replacing the one before in the
// behaviour slot: none for a name that matches nothing, one for most names, and up to three for an
// airship name holding several of "TypeS", "TypeM" and "TypeL". A Star's time is not part of the
// name: a Star is chosen with kDefaultStarSeconds, and the reader replaces it with the object
// file's "Time" when there is one.
std::vector<BehaviorChoice> ChooseBehaviors(const std::string& name);

// Seconds of a Star whose object file has no "Time".
constexpr float kDefaultStarSeconds = 30.0f;

enum class EmitterBehaviorClass
{
    None,
    EmitterTest,
    EmitterExplosion,
    EmitterDeath,
    EmitterKey,
};

struct EmitterBehaviorChoice
{
    EmitterBehaviorClass kind = EmitterBehaviorClass::None;
    std::string storedName; // the name the reader writes into it

    bool operator==(const EmitterBehaviorChoice&) const = default;
};

// The particle behaviour an "EmitterBehavior" text selects; kind None when nothing matches.
EmitterBehaviorChoice ChooseEmitterBehavior(const std::string& text);
