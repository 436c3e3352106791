// Process-wide state of the stream manager beside its singleton that the manager's Destroy tears
// down. Threading: one thread at a time, as every exported function.
#pragma once

namespace ZK::StreamMgr
{
// Frees the language-change observer array (counts and capacity back to 0).
void FreeLanguageObservers();
} // namespace ZK::StreamMgr
