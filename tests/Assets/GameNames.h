// The names the game's code looks up in its data, gathered in one place for the asset checks:
// scenes, objects by scene, children, sprite sources with the rows and frames the behaviours show.
//
// Threading: any. Ownership: static tables.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace kp::assets
{
// Every scene the screen flow and the buttons open or switch to.
inline const std::vector<std::string> kSceneNames = {
    "SplashScreen", "OstrelSplash", "MenuUI", "Sandbox", "PauseMenu", "AreUSure",
    "AreUSureMain", "CreditMenu",   "Tutorial", "GameWin", "GameLose", "Loading1",
};

// Objects found by name in a scene's object list.
struct LookedUpObject
{
    const char* scene;
    const char* object;
    bool needsAudio;  // its Audio component's game object is used to post or stop sounds
    bool needsText;   // its text is set at run time
};

inline const std::vector<LookedUpObject> kLookedUpObjects = {
    {"SplashScreen", "HalvoSplash", true, false},
    {"MenuUI", "BlackSquare", false, false},
    {"MenuUI", "MainMenuBackground", true, false},
    {"Sandbox", "GameBackground", true, false},
    {"Sandbox", "FuelGaugeFill", false, false},
    {"Sandbox", "StarTest", false, false},
    {"Sandbox", "StarTest1", false, false},
    {"Sandbox", "StarTest2", false, false},
    {"Sandbox", "KorSelected", false, false},
    {"Sandbox", "DeployCostNumber", false, true},
    {"Sandbox", "DwarfCity", true, false},
    {"Sandbox", "GremlinHP", false, false},
    {"Sandbox", "GremlinDM", false, false},
    {"Sandbox", "GremlinSP", false, false},
    {"Sandbox", "BugbearHP", false, false},
    {"Sandbox", "BugbearDM", false, false},
    {"Sandbox", "BugbearSP", false, false},
    {"Sandbox", "TyrantHP", false, false},
    {"Sandbox", "TyrantDM", false, false},
    {"Sandbox", "TyrantSP", false, false},
    {"CreditMenu", "creditMenuBackground", true, false},
    {"GameWin", "StarTest_Results", false, false},
    {"GameWin", "StarTest_Results1", false, false},
    {"GameWin", "StarTest_Results2", false, false},
};

// The airship archetypes a launch clones, and what the airship behaviour looks up on them.
struct AirshipArchetype
{
    const char* name;
    int type;
    const char* cannon;   // the first of "Cannon", "Cannon2", "TyrantCannon" it carries
    const char* wing;     // "GremlinWing" or "TyrantWing"
    const char* smoke;    // "Particle_Smoke" or "Big_Smoke"
    const char* icon;     // the selection icon's sprite source
};

inline const std::array<AirshipArchetype, 3> kAirships = {{
    {"Korvane1", 1, "Cannon", "GremlinWing", "Particle_Smoke", "Gremlin"},
    {"Korvane2", 2, "Cannon2", "TyrantWing", "Particle_Smoke", "Bugbear"},
    {"Korvane3", 3, "TyrantCannon", "TyrantWing", "Big_Smoke", "Tyrant"},
}};

inline const std::array<const char*, 6> kSpawnClouds = {"Particle_SpawnCloud1", "Particle_SpawnCloud2",
                                                         "Particle_SpawnCloud3", "Particle_SpawnCloud4",
                                                         "Particle_SpawnCloud5", "Particle_SpawnCloud6"};

// Rows a behaviour shows on an object's sheet: the sheet must have at least this many rows (and,
// where given, exactly this many columns). Buttons show rows 0 to 2, upgrade buttons also row 3
// (cannot be bought now); stars switch to row 1; towers and airships to their ruined row 1; the
// city shows rows 1 and 2; guns turn to rows 0 to 7; stat displays show their level's row.
struct SheetNeed
{
    const char* object;
    int minRows;
    int minFrames;
};
} // namespace kp::assets
