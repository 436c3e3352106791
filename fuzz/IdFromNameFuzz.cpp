// Ids from names over arbitrary bytes: the id ignores the case of ASCII letters and nothing else;
// a wide name gives the id of its UTF-8 text; a bank name gives the id of its name without the
// last extension.
#include "support/SoundMemory.h"

#include "Platform/PlatformText.h"
#include "ZkAudiolib/Common/FrontEnd/BankIdFromName.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

using kp::fuzz::Check;

namespace
{

std::string Folded(const std::string& text, int (*fold)(int))
{
    std::string result = text;
    for (char& c : result)
    {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            c = static_cast<char>(fold(byte));
    }
    return result;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace ZK::SoundEngine;
    // The name: the input up to its first null byte.
    std::string name(reinterpret_cast<const char*>(data), size);
    name = name.substr(0, name.find('\0'));
    const ZkUniqueID id = GetIDFromString(name.c_str());
    Check(GetIDFromString(static_cast<const char*>(nullptr)) == 0);
    Check(GetIDFromString(Folded(name, std::tolower).c_str()) == id);
    Check(GetIDFromString(Folded(name, std::toupper).c_str()) == id);
    if (name.empty())
        Check(id == kIdOfEmptyName);

    // The wide form of the text: the same id as the UTF-8 it converts back to, within the limits.
    const std::wstring wide = ZK::Platform::Utf8ToWide(name);
    const std::string utf8 = ZK::Platform::WideToUtf8(wide);
    if (wide.size() <= 258 && utf8.size() <= 259)
        Check(GetIDFromString(wide.c_str()) == GetIDFromString(utf8.c_str()));

    // A bank name: its last extension does not count.
    if (name.size() <= 200 && name.find('.') == std::string::npos)
    {
        Check(GetBankIDFromString((name + ".bnk").c_str()) == GetBankIDFromString(name.c_str()));
        Check(GetBankIDFromString(name.c_str()) == id);
    }
    return 0;
}
