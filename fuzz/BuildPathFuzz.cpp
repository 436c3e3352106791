// Building the path of a loose file from a base path, the current language and a name, over
// arbitrary names: a path is built whole or refused, never cut short, and never longer than 259
// characters.
#include "support/SoundMemory.h"

#include "StreamMgr/CZkMultipleFileLocation.h"

#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <string>

using kp::fuzz::Check;

namespace
{

// Wide text of the given length from the input's bytes (no null characters inside).
std::wstring Text(kp::fuzz::InputBytes& input, size_t length)
{
    std::wstring text;
    for (size_t index = 0; index < length; ++index)
        text.push_back(static_cast<wchar_t>(input.Byte() % 94 + 33));
    return text;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace ZK::StreamMgr;
    kp::fuzz::StartSoundMemory();
    kp::fuzz::InputBytes input(data, size);
    const size_t nameLength = input.Word() % 300;
    const size_t baseLength = input.Word() % 300;
    const size_t languageLength = input.Byte() % 40;
    const uint8_t choices = input.Byte();
    const uint32_t openMode = choices % 4;
    const bool languageSpecific = (choices & 4) != 0;
    const bool nullName = (choices & 8) != 0 && nameLength == 0;
    const std::wstring name = Text(input, nameLength);
    const std::wstring base = Text(input, baseLength);
    const std::wstring language = Text(input, languageLength);

    // The language goes through the manager's own check; a refused one leaves the last one set.
    if (SetCurrentLanguage(language.c_str()) != ZK_Success)
        Check(SetCurrentLanguage(L"") == ZK_Success);
    const std::wstring current = GetCurrentLanguage();

    ZkFileOpenFlags flags;
    flags.isLanguageSpecific = languageSpecific;
    wchar_t path[kMaxPathChars];
    const ZKRESULT result = CZkMultipleFileLocation::BuildPath(nullName ? nullptr : name.c_str(), &flags, openMode,
                                                                base.c_str(), path);
    if (nullName || name.size() >= kMaxPathChars)
    {
        Check(result == ZK_InvalidParameter);
        return 0;
    }
    const bool inLanguageFolder = openMode == ZK_OpenModeRead && languageSpecific && !current.empty();
    const std::wstring expected = base + (inLanguageFolder ? current + L"/" : L"") + name;
    if (expected.size() >= kMaxPathChars)
    {
        Check(result == ZK_Fail);
        return 0;
    }
    Check(result == ZK_Success && expected == path);
    return 0;
}
