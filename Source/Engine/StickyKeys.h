// The accessibility shortcut that turns on sticky keys (pressing Shift five times) interrupts a
// full-screen game, so the program turns the shortcut off while it runs and puts the setting back
// at exit. The setting itself belongs to the desktop: here it is read and written through a
// stand-in of ours, StickyKeysSetting, which keeps the record in the process. Linux desktops have
// no such process-wide setting that a game may change, so on Linux nothing outside the program is
// changed; the read, the change and the restoration still happen in the same order.
//
// Threading: main thread. Ownership: records are plain values.
#pragma once

#include <cstdint>

namespace trindle
{
// The sticky-keys record: its own size in bytes and the flag bits below.
struct StickyKeysRecord
{
    std::uint32_t size = 8;
    std::uint32_t flags = 0;
};

constexpr std::uint32_t kStickyKeysOn = 0x1;            // sticky keys are on
constexpr std::uint32_t kStickyKeysHotKeyActive = 0x4;  // the Shift-five-times shortcut is active
constexpr std::uint32_t kStickyKeysConfirmHotKey = 0x8; // the shortcut asks before it acts

// The stand-in for the desktop's setting. Starts as the desktop default: sticky keys off, the
// shortcut active and confirming.
namespace StickyKeysSetting
{
StickyKeysRecord Read();
void Write(const StickyKeysRecord& record);
} // namespace StickyKeysSetting

// Start-up: reads the setting and, unless sticky keys are on, writes a copy with the shortcut
// bits cleared. Returns the record as it was read, for RestoreStickyKeys.
StickyKeysRecord DisableStickyKeysShortcut();
// Exit: writes the saved record back, whatever start-up did.
void RestoreStickyKeys(const StickyKeysRecord& saved);
} // namespace trindle
