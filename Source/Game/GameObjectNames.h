// The names of the objects and scenes the game's rules look up besides the screens of
// SceneManager.h. Names are matched exactly.
//
// Threading and ownership: constants.
#pragma once

namespace ObjectNames
{
// Music objects of the screens.
constexpr const char* kGameBackground = "GameBackground";
constexpr const char* kMenuBackground = "MainMenuBackground";
constexpr const char* kCreditBackground = "creditMenuBackground";
// The full-screen square that fades a screen in or out.
constexpr const char* kBlackSquare = "BlackSquare";
// The screen the play button shows while the play field is built.
constexpr const char* kLoadingScreen = "Loading1";
// The play field's round clock, star clocks, city and launch-cost display.
constexpr const char* kRoundTimer = "FuelGaugeFill";
constexpr const char* kStarTimers[] = {"StarTest", "StarTest1", "StarTest2"};
constexpr const char* kCity = "DwarfCity";
constexpr const char* kDeployCost = "DeployCostNumber";
// The selection marker and its icon child.
constexpr const char* kSelectionMarker = "KorSelected";
constexpr const char* kSelectionIcon = "KorSelectedIcon";
// Words in object names that tell what an object is.
constexpr const char* kAirshipWord = "Korvane";
constexpr const char* kTowerWord = "Tower";
} // namespace ObjectNames
