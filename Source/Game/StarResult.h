// StarResult: one star of the win screen ("StarTest_Results", "StarTest_Results1",
// "StarTest_Results2"). When the win screen is built it reads the stars kept from the play field's
// "GameBackground": with s stars kept, the first s result stars stay lit and the others show their
// lost look.
//
// Threading: main thread. Ownership: reads the play field's objects while they still exist.
#pragma once

#include "Game/Behavior.h"

class StarResult final : public CopyCloned<StarResult>
{
public:
    StarResult() : CopyCloned(kUnnamed, 0) {}

    void Init() override;
    void OnCollision(GameObject*) override {}
};
