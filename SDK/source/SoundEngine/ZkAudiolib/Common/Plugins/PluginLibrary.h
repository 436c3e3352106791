// Plug-in libraries: ".so" files that carry plug-ins of their own, registered at run time. A
// library is found as folder + name + ".so" (the folder given, or else the registry's plug-in
// folder), loaded, and the nodes of its own plug-in list (its exported g_pZKPluginList) are
// registered. A registered library stays loaded until the process ends.
//
// Threading: registration runs on the game thread (or the bank thread for an Init bank's list),
// never while plug-ins are being created (the registry has no lock).
// Ownership: the loaded libraries belong to the process.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstddef>

namespace ZK::SoundEngine
{
constexpr size_t kPluginPathCapacity = 1024; // wide characters, the terminator included

// The library's path: folder (a '/' added when missing; null: the registry's folder, which is the
// plug-in folder of the engine's settings, or none) + name + ".so", cut to kPluginPathCapacity - 1
// characters. Returns the characters written.
size_t BuildPluginDllPath(wchar_t (&path)[kPluginPathCapacity], const wchar_t* name, const wchar_t* folder);

// Loads the library and registers its list. 1; 66 no such file; 4 not a library for this machine;
// 52 the system could not map it; 2 any other load failure; 7 no g_pZKPluginList in it (the
// library is unloaded again and nothing is registered); 31 for a null name.
ZKRESULT RegisterPluginDLL(const wchar_t* name, const wchar_t* folder);
} // namespace ZK::SoundEngine
