// The sound events the game posts, by what they mean. Ids are those of the events' names in the
// game's sound banks.
//
// Threading and ownership: constants.
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace SoundEvents
{
// Buttons.
constexpr ZkUniqueID kButtonHover = 66789758;
constexpr ZkUniqueID kButtonPress = 1713356576;
constexpr ZkUniqueID kDialogOpen = 1713356579;
constexpr ZkUniqueID kGameButtonHover = 1697518767;
constexpr ZkUniqueID kCoinPress = 1843752364;
constexpr ZkUniqueID kAirshipSelected = 1713356578;
constexpr ZkUniqueID kUpgradeDamage = 2983009038;
constexpr ZkUniqueID kUpgradeHealth = 2043821631;
constexpr ZkUniqueID kUpgradeSpeed = 1177687250;

// Music, one event per screen.
constexpr ZkUniqueID kMenuMusic = 2228153899;
constexpr ZkUniqueID kGameMusic = 557932600;
constexpr ZkUniqueID kWinMusic = 51240863;
constexpr ZkUniqueID kLoseMusic = 2339013412;
constexpr ZkUniqueID kCreditMusic = 2097415741;
constexpr ZkUniqueID kSplashMusic = 1029053404;

// Airships, by type 1 to 3 (index 0 unused).
constexpr ZkUniqueID kAirshipLaunch[] = {0, 3643286168, 1168262086, 2917290866};
constexpr ZkUniqueID kAirshipFire[] = {0, 2152679746, 97727228, 2383607268};
constexpr ZkUniqueID kAirshipWreck[] = {0, 2688475861, 4273342723, 3951251861};
constexpr ZkUniqueID kAirshipEngine = 3826206711;
constexpr ZkUniqueID kAirshipHit = 2023560711;
constexpr ZkUniqueID kAirshipDeath = 914471075;

// Towers, by kind 1 wood and 2 stone (index 0 unused).
constexpr ZkUniqueID kTowerHitByAirship[] = {0, 300927168, 2842146700};
constexpr ZkUniqueID kTowerFire[] = {0, 737768043, 1205173799};
constexpr ZkUniqueID kTowerDestroyed[] = {0, 2816493517, 2592254617};
constexpr ZkUniqueID kTowerCollapse = 853173628;

// The city.
constexpr ZkUniqueID kCityHit = 844605027;
constexpr ZkUniqueID kCityFires = 1205173799;
constexpr ZkUniqueID kCityFalls = 3873832695;
} // namespace SoundEvents
