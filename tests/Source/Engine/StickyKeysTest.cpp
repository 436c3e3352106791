// The sticky-keys shortcut is turned off for the game and the setting restored at exit.
#include "Engine/StickyKeys.h"

#include <gtest/gtest.h>

namespace
{
using trindle::StickyKeysRecord;

struct StickyCase
{
    const char* name;
    std::uint32_t flagsBefore;
    std::uint32_t flagsWhileRunning;
};

TEST(StickyKeys, ShortcutIsOffWhileRunningAndTheRecordComesBackAtExit)
{
    const StickyCase cases[] = {
        {"desktop default: shortcut on and confirming", 0x4 | 0x8 | 0x2, 0x2},
        {"shortcut on without confirmation", 0x4, 0x0},
        {"shortcut already off", 0x2, 0x2},
        {"sticky keys on: nothing is touched", 0x1 | 0x4 | 0x8, 0x1 | 0x4 | 0x8},
    };
    const StickyKeysRecord desktop = trindle::StickyKeysSetting::Read();
    for (const StickyCase& row : cases)
    {
        SCOPED_TRACE(row.name);
        trindle::StickyKeysSetting::Write(StickyKeysRecord{8, row.flagsBefore});

        const StickyKeysRecord saved = trindle::DisableStickyKeysShortcut();
        EXPECT_EQ(saved.flags, row.flagsBefore);
        EXPECT_EQ(trindle::StickyKeysSetting::Read().flags, row.flagsWhileRunning);
        EXPECT_EQ(trindle::StickyKeysSetting::Read().size, 8u);

        trindle::RestoreStickyKeys(saved);
        EXPECT_EQ(trindle::StickyKeysSetting::Read().flags, row.flagsBefore);
    }
    trindle::StickyKeysSetting::Write(desktop);
}
} // namespace
