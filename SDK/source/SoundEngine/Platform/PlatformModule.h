// Loading shared libraries (".so") and finding their symbols. Libraries are loaded with every
// symbol bound at once, so a library with a missing dependency or symbol fails to load instead of
// failing later in a call.
//
// Thread safety: every function may be called from any thread. A ZkModule is owned by the code that
// loaded it, which unloads it once.
#pragma once

namespace ZK::Platform
{
enum class ModuleStatus
{
    Ok,
    NotFound,      // no file at the path
    BadFormat,     // the file is not a loadable library
    MissingSymbol, // the library has no such symbol
    OutOfMemory,   // the system could not map the library
    Failed,        // any other failure (a missing dependency, for example)
};

struct ZkModule
{
    void* nativeHandle = nullptr;
    bool IsLoaded() const { return nativeHandle != nullptr; }
};

// A path with a '/' names a file; a bare name is looked for on the system's library path, and when
// none is found there the answer is NotFound.
ModuleStatus LoadModule(const char* path, ZkModule& module);
ModuleStatus FindModuleSymbol(const ZkModule& module, const char* symbol, void*& address);
void UnloadModule(ZkModule& module);
} // namespace ZK::Platform
