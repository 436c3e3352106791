#include "Game/Star.h"

#include "Engine/Timer.h"
#include "Game/SpriteRows.h"

Star::Star(float starSeconds) : CopyCloned(kUnnamed, 0), timer(CreateTimer(starSeconds)), seconds(starSeconds) {}

bool Star::IsLost() const
{
    return timer != nullptr && timer->done;
}

void Star::Update(float dt)
{
    Behavior::Update(dt);
    if (IsLost() && armed)
    {
        ShowNextRow(owner);
        armed = false;
    }
}
