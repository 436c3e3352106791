#include "Game/GameGlobals.h"

int gGold = 0;
int gSelectedType = 1;
int gShownStatType = 0;
int gStatDisplayType = 0;
GameObject* gSelectedArchetype = nullptr;
