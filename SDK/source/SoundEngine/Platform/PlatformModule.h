// Loading shared libraries (".so") and finding their symbols.
#pragma once

namespace ZK::Platform
{
enum class ModuleStatus
{
    Ok,
    NotFound,      // no file at the path
    BadFormat,     // the file is not a loadable library
    MissingSymbol, // the library has no such symbol
    Failed,        // any other failure (a missing dependency, for example)
};

struct ZkModule
{
    void* nativeHandle = nullptr;
    bool IsLoaded() const { return nativeHandle != nullptr; }
};

ModuleStatus LoadModule(const char* path, ZkModule& module);
ModuleStatus FindModuleSymbol(const ZkModule& module, const char* symbol, void*& address);
void UnloadModule(ZkModule& module);
} // namespace ZK::Platform
