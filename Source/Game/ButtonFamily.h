// The button family as data: the look, sounds, trigger and cooldown of each of the twenty button
// classes, in one table. The shared state machine (Button.h) reads a class's row; the classes whose
// machines differ (launch, volume and screen controls) read the values that apply to them.
//
// Threading and ownership: constant data.
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

enum class ButtonClass
{
    BackButton,
    CoinButton,
    CreditButton,
    CreditReturn,
    MainConfirm,
    MenuButton,
    NoButton,
    PlayButton,
    QuitButton,
    ResumeButton,
    RetryButton,
    SettingsButton,
    TutorialButton,
    YesButton,
    KorvaneSelectButton,
    SpawnButton,
    UpgradeButton,
    ScreenToggle,
    VolumeToggle,
    VolumeSlider,
};

// What starts a button's action.
enum class ButtonTrigger
{
    Release, // the release of mouse button 0 over the button
    Press,   // its press over the button
    Drag,    // holding it (the slider acts on every held frame)
};

// How long a button ignores the mouse after acting.
enum class ButtonCooldown
{
    None,
    Full,  // the button's delay, 0.25 s
    Short, // the delay less 0.1 s
};

// A row the state does not change.
constexpr int kKeepRow = -1;

// Sprite rows shown in states 0 (idle), 1 (hovered) and 2 (acting), and while the cooldown runs.
struct ButtonRows
{
    int idle;
    int hover;
    int act;
    int busy;
};

// State 0 puts the snapshot's scale back (restores); state 1 shows the snapshot's scale times
// `hover`, times `pressIn` while mouse button 0 is held (1: no change).
struct ButtonScaling
{
    bool restores;
    float hover;
    float pressIn;
};

struct ButtonStyle
{
    ButtonRows rows;
    // SettingsButton: row 1 is shown at the release edge instead of in state 1.
    bool hoverRowOnRelease;
    ButtonScaling scaling;
    ButtonTrigger trigger;
    // Cues (0: none): on entering the hovered state, on the press edge while hovered, and as the
    // action's first step.
    ZkUniqueID hoverCue;
    ZkUniqueID pressCue;
    ZkUniqueID actionCue;
    ButtonCooldown cooldown;
};

// The row of `button` in the family table.
const ButtonStyle& StyleOf(ButtonClass button);
