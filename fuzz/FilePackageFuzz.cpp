// The file-package header check and the three look-ups (language, 32-bit id, 64-bit id) over a
// header image taken from the input, held in a block of exactly its size: a header is accepted only
// when every table, count and name lies inside it, and no look-up reads outside it.
#include "StreamMgr/CZkFilePackageLUT.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace ZK::StreamMgr;
    if (size < kPackagePrologueBytes)
        return 0;
    uint32_t headerSize;
    std::memcpy(&headerSize, data + 4, 4);
    const uint64_t headerLength = uint64_t{headerSize} + kPackagePrologueBytes;
    // As the loader: a header longer than the file is refused before anything is read.
    if (headerLength > size)
        return 0;
    const std::vector<uint8_t> header(data, data + headerLength);
    if (CZkFilePackageLUT::Check(header.data(), headerLength) != ZK_Success)
        return 0;
    CZkFilePackageLUT lut;
    lut.Setup(header.data());
    for (const wchar_t* language : {L"English(US)", L"french(canada)", L"", L"\U0001F600x"})
        lut.SetCurrentLanguageId(lut.LanguageIdOf(language));
    // Ids from the bytes after the header, and a few fixed ones.
    std::vector<uint32_t> ids = {0u, 1u, 77u, 78u, 0xFFFFFFFFu};
    for (size_t at = headerLength; at + 4 <= size && ids.size() < 16; at += 4)
    {
        uint32_t id;
        std::memcpy(&id, data + at, 4);
        ids.push_back(id);
    }
    ZkPackedFile file;
    for (uint32_t id : ids)
    {
        for (uint32_t fileType : {ZK_FileTypeSoundBank, 1u})
        {
            for (bool languageSpecific : {false, true})
            {
                ZkFileOpenFlags flags;
                flags.fileType = fileType;
                flags.isLanguageSpecific = languageSpecific;
                lut.FindFile(id, flags, file);
                lut.FindExternalFile(uint64_t{id} * 0x100000001B3ull, flags, file);
            }
        }
    }
    return 0;
}
