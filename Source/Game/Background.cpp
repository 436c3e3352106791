#include "Game/Background.h"

#include "Game/SoundEvents.h"
#include "Objects/ObjectSound.h"

#include <array>

namespace
{
// The music of each kind.
constexpr std::array<ZkUniqueID, 7> kMusic = {SoundEvents::kMenuMusic,  SoundEvents::kGameMusic,
                                              SoundEvents::kMenuMusic,  SoundEvents::kWinMusic,
                                              SoundEvents::kLoseMusic,  SoundEvents::kCreditMusic,
                                              SoundEvents::kSplashMusic};
} // namespace

void Background::Init()
{
    StartAtStateZero();
    snapshot = TransformSnapshot::Of(owner);
    if (kind >= 0 && kind < static_cast<int>(kMusic.size()))
    {
        PostEventOn(owner, kMusic[static_cast<size_t>(kind)]);
    }
}

void Background::Reset()
{
    snapshot = TransformSnapshot::Of(owner);
    StopSoundsOf(owner);
}
