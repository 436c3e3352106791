#include "ZkAudiolib/Common/Plugins/PluginLibrary.h"

#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include "Platform/PlatformModule.h"
#include "Platform/PlatformText.h"

#include <cwchar>

namespace ZK::SoundEngine
{
namespace
{
constexpr wchar_t kLibraryExtension[] = L".so";
constexpr char kPluginListSymbol[] = "g_pZKPluginList";

// Appends text to path at length, never past the last character before the terminator.
void Append(wchar_t (&path)[kPluginPathCapacity], size_t& length, const wchar_t* text)
{
    for (; *text != L'\0' && length < kPluginPathCapacity - 1; ++text)
        path[length++] = *text;
    path[length] = L'\0';
}

ZKRESULT ResultOfLoad(ZK::Platform::ModuleStatus status)
{
    switch (status)
    {
    case ZK::Platform::ModuleStatus::Ok:
        return ZK_Success;
    case ZK::Platform::ModuleStatus::NotFound:
        return ZK_FileNotFound;
    case ZK::Platform::ModuleStatus::BadFormat:
        return ZK_NotImplemented;
    case ZK::Platform::ModuleStatus::OutOfMemory:
        return ZK_InsufficientMemory;
    default:
        return ZK_Fail;
    }
}
} // namespace

size_t BuildPluginDllPath(wchar_t (&path)[kPluginPathCapacity], const wchar_t* name, const wchar_t* folder)
{
    size_t length = 0;
    path[0] = L'\0';
    const wchar_t* base = folder != nullptr ? folder : PluginRegistry::PluginFolder();
    if (base != nullptr)
    {
        Append(path, length, base);
        if (length > 0 && path[length - 1] != L'/')
            Append(path, length, L"/");
    }
    Append(path, length, name);
    Append(path, length, kLibraryExtension);
    return length;
}

ZKRESULT RegisterPluginDLL(const wchar_t* name, const wchar_t* folder)
{
    if (name == nullptr)
        return ZK_InvalidParameter;
    wchar_t path[kPluginPathCapacity];
    BuildPluginDllPath(path, name, folder);
    // A wide character becomes at most 4 UTF-8 bytes.
    char systemPath[kPluginPathCapacity * 4];
    if (!ZK::Platform::WideToUtf8Exact(path, systemPath, sizeof(systemPath)))
        return ZK_FileNotFound; // no file can carry that name
    ZK::Platform::ZkModule library;
    const ZKRESULT loaded = ResultOfLoad(ZK::Platform::LoadModule(systemPath, library));
    if (loaded != ZK_Success)
        return loaded;
    void* symbol = nullptr;
    if (ZK::Platform::FindModuleSymbol(library, kPluginListSymbol, symbol) != ZK::Platform::ModuleStatus::Ok)
    {
        ZK::Platform::UnloadModule(library);
        return ZK_InvalidFile;
    }
    PluginRegistry::RegisterList(*static_cast<ZK::ZkPluginRegistrationNode**>(symbol));
    return ZK_Success;
}
} // namespace ZK::SoundEngine
