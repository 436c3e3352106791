#include "Engine/StickyKeys.h"

namespace trindle
{
namespace
{
StickyKeysRecord& DesktopRecord()
{
    static StickyKeysRecord record{8, kStickyKeysHotKeyActive | kStickyKeysConfirmHotKey};
    return record;
}
} // namespace

namespace StickyKeysSetting
{
StickyKeysRecord Read()
{
    return DesktopRecord();
}

void Write(const StickyKeysRecord& record)
{
    DesktopRecord() = record;
}
} // namespace StickyKeysSetting

StickyKeysRecord DisableStickyKeysShortcut()
{
    const StickyKeysRecord saved = StickyKeysSetting::Read();
    // A player who uses sticky keys keeps them exactly as they are.
    if ((saved.flags & kStickyKeysOn) == 0)
    {
        StickyKeysRecord withoutShortcut = saved;
        withoutShortcut.flags &= ~(kStickyKeysHotKeyActive | kStickyKeysConfirmHotKey);
        StickyKeysSetting::Write(withoutShortcut);
    }
    return saved;
}

void RestoreStickyKeys(const StickyKeysRecord& saved)
{
    StickyKeysSetting::Write(saved);
}
} // namespace trindle
