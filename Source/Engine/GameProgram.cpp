#include "Engine/GameProgram.h"

#include "Engine/Engine.h"
#include "Engine/FrameLoop.h"
#include "Engine/GameWindow.h"
#include "Engine/StickyKeys.h"

#include <cstdio>
#include <string>

int RunGame()
{
    const trindle::StickyKeysRecord savedStickyKeys = trindle::DisableStickyKeysShortcut();

    std::string error;
    if (!OpenGameWindow(error))
    {
        std::fprintf(stderr, "Korvane Pellar cannot start: %s\n", error.c_str());
        trindle::RestoreStickyKeys(savedStickyKeys);
        return kExitNoWindow;
    }

    EngineInit();
    FrameLoop loop;
    loop.Run();
    EngineShutdown();

    CloseGameWindow();
    trindle::RestoreStickyKeys(savedStickyKeys);
    return 0;
}
