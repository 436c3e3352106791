// Background: a screen's backdrop, which starts the screen's music when the screen is built, and,
// on the play field, holds the round's result for the win screen (the stars kept and the seconds
// left, written by the city's fall).
//
// Kinds and their music: 0 main menu, 1 play field, 2 pause menu, 3 win screen, 4 lose screen,
// 5 credits, 6 opening splash.
//
// Threading: main thread. Ownership: the music plays on the owner's Audio component.
#pragma once

#include "Game/Behavior.h"
#include "Game/TransformSnapshot.h"

class Background final : public CopyCloned<Background>
{
public:
    Background(int backgroundKind, std::string behaviorName)
        : CopyCloned(std::move(behaviorName), 0), kind(backgroundKind)
    {
    }

    // Starts from state 0; takes the snapshot; posts the kind's music on the owner's Audio.
    void Init() override;
    // Takes the snapshot again and stops every sound of the owner.
    void Reset() override;
    void OnCollision(GameObject*) override {}

    TransformSnapshot snapshot;
    int kind;
    int starCount = 0;
    float roundTimeLeft = 0.0f;
};
