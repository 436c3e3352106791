// The game's global state: the player's gold and the airship type chosen, shown and upgraded.
//
// Gold grows with the gold counter and the towers destroyed, pays for launches and upgrades, and is
// set to 0 when a round starts and when the city falls. The chosen type is kept across rounds; the
// shown and upgraded types and the archetype they name belong to the play field being shown.
//
// Threading: main thread. Ownership: plain values; gSelectedArchetype is an object of the play
// field ("Sandbox"), not owned, and is set again by every build of the play field before use.
#pragma once

class GameObject;

// The player's gold; 0 at program start.
extern int gGold;
// The chosen airship type (1 Gremlin, 2 Bugbear, 3 Tyrant); 1 at program start.
extern int gSelectedType;
// The type whose three stat displays are in the play field's object list; 0 until sorted.
extern int gShownStatType;
// The type the upgrade buttons refer to.
extern int gStatDisplayType;
// The archetype of gStatDisplayType in the play field, or null.
extern GameObject* gSelectedArchetype;
