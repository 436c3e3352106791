// Star: one star of the round's rating, on the play field ("StarTest", "StarTest1", "StarTest2").
// Its clock starts when the play field is built; when its time has passed the star switches once
// to its lost look (the next row of its sheet). A win before a star's time keeps that star.
//
// Threading: main thread. Ownership: the timer belongs to the timer list; a clone shares it.
#pragma once

#include "Game/Behavior.h"

struct Timer;

class Star final : public CopyCloned<Star>
{
public:
    // Starts the star's clock of `starSeconds` (the object file's "Time").
    explicit Star(float starSeconds);

    void Init() override { SetStateZero(); }
    void Update(float dt) override;
    void OnCollision(GameObject*) override {}

    // Whether the star's time has passed.
    bool IsLost() const;

    Timer* timer = nullptr;
    float seconds;
    bool armed = true; // the lost look is still to be shown
};
