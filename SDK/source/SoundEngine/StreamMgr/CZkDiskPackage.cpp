// Loading a file package from disk: the header is read through a standard stream into a block that
// mirrors the file's first bytes, checked whole, and only then becomes a package.
#include "StreamMgr/CZkFilePackage.h"

#include "StreamMgr/ZkFileNameHash.h"

#include <ZK/SoundEngine/Common/IZkStreamMgr.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>

namespace ZK::StreamMgr
{
namespace
{
constexpr uint32_t kPackageFileType = 11;
constexpr uint8_t kHeaderReadPriority = 50;
constexpr float kHeaderReadDeadlineMs = 0.0f;

uint64_t RoundUp(uint64_t value, uint64_t multiple)
{
    return (value + multiple - 1) / multiple * multiple;
}

// A synchronous read of size bytes; the bytes that came, or 0 when the read failed.
uint32_t ReadNow(IZkStandardStream& stream, void* buffer, uint32_t size)
{
    uint32_t moved = 0;
    if (stream.Read(buffer, size, true, kHeaderReadPriority, kHeaderReadDeadlineMs, moved) != ZK_Success ||
        stream.GetStatus() != ZK_StreamStatusCompleted)
        return 0;
    return moved;
}

// The first bytes of the file: 8, or one block when the block size does not divide 8. False when
// fewer than 8 came or the prologue is not a package's; else prologue holds what was read.
bool ReadPrologue(IZkStandardStream& stream, uint32_t blockSize, uint8_t* prologue, uint32_t& bytesRead)
{
    const uint32_t size = kPackagePrologueBytes % blockSize == 0 ? kPackagePrologueBytes : blockSize;
    bytesRead = ReadNow(stream, prologue, size);
    if (bytesRead < kPackagePrologueBytes)
        return false;
    uint32_t magic, headerSize;
    std::memcpy(&magic, prologue, 4);
    std::memcpy(&headerSize, prologue + 4, 4);
    return magic == kPackageMagic && headerSize != 0;
}
} // namespace

CZkDiskPackage::CZkDiskPackage(IZkStandardStream* stream, uint32_t blockSize)
    : m_stream(stream), m_blockSize(blockSize)
{
    if (const ZkFileDescriptor* fileDesc = stream->GetFileDescriptor())
    {
        m_fileHandle = fileDesc->fileHandle;
        m_hookData = fileDesc->hookData;
    }
}

ZKRESULT CZkDiskPackage::Load(const wchar_t* fileName, CZkDiskPackage*& outPackage)
{
    outPackage = nullptr;
    IZkStreamMgr* manager = IZkStreamMgr::m_pStreamMgr;
    if (manager == nullptr)
        return ZK_Fail;
    ZkFileOpenFlags flags;
    flags.fileType = kPackageFileType;
    flags.idSpace = ZK_FileIdSpace32;
    flags.isLanguageSpecific = false;
    flags.cacheId = ZK_NoCacheID;
    IZkStandardStream* stream = nullptr;
    const ZKRESULT opened = manager->CreateStandardStreamByName(fileName, &flags, ZK_OpenModeRead, stream, true);
    if (opened != ZK_Success)
        return opened;

    const uint32_t blockSize = std::max(stream->GetBlockSize(), 1u);
    ZkStreamInfo info{};
    stream->GetInfo(info);
    const uint32_t prologueBytes = std::max(2 * blockSize, kPackagePrologueBytes);
    auto* prologue = static_cast<uint8_t*>(ZK::MemoryMgr::Malign(ZkMemID_StreamMgr, prologueBytes, blockSize));
    uint32_t bytesRead = 0;
    uint32_t headerSize = 0;
    const bool isPackage = prologue != nullptr && ReadPrologue(*stream, blockSize, prologue, bytesRead);
    if (isPackage)
        std::memcpy(&headerSize, prologue + 4, 4);
    // Computed in 64 bits: a header size near 4 GiB must not wrap to a small block that the rest of
    // the file would then overflow. A header longer than the file is refused before any allocation.
    const uint64_t headerLength = uint64_t{headerSize} + kPackagePrologueBytes;
    const uint64_t headerBlock = RoundUp(RoundUp(headerLength, blockSize), alignof(CZkDiskPackage));
    void* block = nullptr;
    if (isPackage && info.size >= 0 && headerLength <= static_cast<uint64_t>(info.size))
        block = ZK::MemoryMgr::Malign(ZkMemID_FilePackage, headerBlock + sizeof(CZkDiskPackage),
                                      std::max<uint32_t>(blockSize, alignof(CZkDiskPackage)));
    if (block == nullptr)
    {
        if (prologue != nullptr)
            ZK::MemoryMgr::Free(ZkMemID_StreamMgr, prologue);
        stream->Destroy();
        return ZK_Fail;
    }

    auto* header = static_cast<uint8_t*>(block);
    auto* package = new (header + headerBlock) CZkDiskPackage(stream, blockSize);
    package->memoryBlock = block;
    package->headerLength = headerLength;
    package->packageId = FileIdOfName(fileName, std::wcslen(fileName));
    const uint64_t copied = std::min<uint64_t>(bytesRead, headerLength);
    std::memcpy(header, prologue, copied);
    ZK::MemoryMgr::Free(ZkMemID_StreamMgr, prologue);
    // The rest of the header goes straight into the block, in whole blocks.
    if (copied < headerLength)
    {
        const uint64_t needed = headerLength - copied;
        const uint64_t toRead = RoundUp(needed, blockSize);
        if (toRead > UINT32_MAX || ReadNow(*stream, header + copied, static_cast<uint32_t>(toRead)) < needed)
        {
            package->Destroy();
            return ZK_Fail;
        }
    }
    if (CZkFilePackageLUT::Check(header, headerLength) != ZK_Success)
    {
        package->Destroy();
        return ZK_Fail;
    }
    package->lut.Setup(header);
    outPackage = package;
    return ZK_Success;
}

void CZkDiskPackage::Destroy()
{
    void* block = memoryBlock;
    m_stream->Destroy();
    this->~CZkDiskPackage();
    ZK::MemoryMgr::Free(ZkMemID_FilePackage, block);
}

void CZkDiskPackage::DescribeFile(const ZkPackedFile& file, ZkFileDescriptor& fileDesc) const
{
    fileDesc.fileSize = file.fileSize;
    fileDesc.startBlock = file.startBlock;
    fileDesc.blockSizeParam = file.blockSize;
    fileDesc.fileHandle = m_fileHandle;
    fileDesc.hookData = m_hookData;
}
} // namespace ZK::StreamMgr
