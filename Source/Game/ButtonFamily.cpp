#include "Game/ButtonFamily.h"

#include "Game/SoundEvents.h"

#include <array>
#include <cstddef>

namespace
{
using namespace SoundEvents;
constexpr ButtonTrigger kRelease = ButtonTrigger::Release;
constexpr ButtonTrigger kPress = ButtonTrigger::Press;
constexpr ButtonCooldown kFull = ButtonCooldown::Full;
constexpr ButtonCooldown kShort = ButtonCooldown::Short;
constexpr ButtonCooldown kNone = ButtonCooldown::None;
constexpr int K = kKeepRow;

// Rows 0, 1 and 2, row 2 while the cooldown runs; the same with row 0 in place of row 2.
constexpr ButtonRows kThreeRows{0, 1, 2, 2};
constexpr ButtonRows kBackToRowZero{0, 1, 0, 0};
constexpr ButtonRows kNoRows{K, K, K, K};

// Restored in state 0, 1.05 when hovered, 0.9 of that while held; restored only; left alone.
constexpr ButtonScaling kScaled{true, 1.05f, 0.9f};
constexpr ButtonScaling kRestoreOnly{true, 1.0f, 1.0f};
constexpr ButtonScaling kUnscaled{false, 1.0f, 1.0f};

// In ButtonClass order. MainConfirm and QuitButton play their hover cue before showing row 1; the
// order is not audible, so the table does not keep it.
constexpr std::array<ButtonStyle, 20> kFamily = {{
    // rows              row 1 at release  scaling     trigger  hover / press / action cues              cooldown
    {kThreeRows, false, kScaled, kRelease, kButtonHover, kButtonPress, 0, kFull},                    // BackButton
    {kNoRows, false, kScaled, kRelease, kGameButtonHover, kCoinPress, 0, kNone},                     // CoinButton
    {kThreeRows, false, kRestoreOnly, kRelease, kButtonHover, kButtonPress, 0, kFull},               // CreditButton
    {kBackToRowZero, false, kUnscaled, kRelease, kButtonHover, kButtonPress, 0, kFull},              // CreditReturn
    {kThreeRows, false, kUnscaled, kRelease, kButtonHover, kButtonPress, kDialogOpen, kFull},        // MainConfirm
    {kBackToRowZero, false, kUnscaled, kRelease, kButtonHover, kButtonPress, 0, kFull},              // MenuButton
    {kThreeRows, false, kUnscaled, kRelease, kButtonHover, kButtonPress, 0, kFull},                  // NoButton
    {kThreeRows, false, kScaled, kRelease, kButtonHover, kButtonPress, 0, kFull},                    // PlayButton
    {kThreeRows, false, kUnscaled, kRelease, kButtonHover, kButtonPress, kDialogOpen, kFull},        // QuitButton
    {kThreeRows, false, kUnscaled, kRelease, kButtonHover, kButtonPress, 0, kFull},                  // ResumeButton
    {kThreeRows, false, kUnscaled, kRelease, kButtonHover, kButtonPress, 0, kFull},                  // RetryButton
    {{0, K, K, 2}, true, kUnscaled, kRelease, kButtonHover, kButtonPress, 0, kFull},                 // SettingsButton
    {kThreeRows, false, kUnscaled, kRelease, kButtonHover, kButtonPress, 0, kFull},                  // TutorialButton
    {kThreeRows, false, kUnscaled, kRelease, kButtonHover, kButtonPress, 0, kFull},                  // YesButton
    {{0, 1, 2, K}, false, kUnscaled, kRelease, kGameButtonHover, 0, kAirshipSelected, kFull},        // KorvaneSelectButton
    {kNoRows, false, kUnscaled, kRelease, kGameButtonHover, 0, 0, kNone},                            // SpawnButton
    {kThreeRows, false, kUnscaled, kRelease, kGameButtonHover, 0, 0, kFull},                         // UpgradeButton
    {kNoRows, false, {true, 1.05f, 0.95f}, kPress, kButtonHover, 0, 0, kShort},                      // ScreenToggle
    {kNoRows, false, kScaled, kPress, kButtonHover, 0, 0, kShort},                                   // VolumeToggle
    {kNoRows, false, kUnscaled, ButtonTrigger::Drag, 0, 0, 0, kNone},                                // VolumeSlider
}};
} // namespace

const ButtonStyle& StyleOf(ButtonClass button)
{
    return kFamily[static_cast<std::size_t>(button)];
}
