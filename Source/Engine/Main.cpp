// Program entry of Korvane Pellar. Run from the repository root, where "./Assets" is found.
#include "Engine/GameProgram.h"

int main()
{
    return RunGame();
}
