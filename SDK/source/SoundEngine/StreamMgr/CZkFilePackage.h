// CZkFilePackage: one loaded file package: its look-up tables over the copy of its header, its id
// (the id of the file name it was loaded from), and the count of references that keep it: one for
// the package list while it is loaded, one for every file open in it. CZkDiskPackage adds the
// standard stream that keeps the package file open; the files found in it are read through that
// file's handle at their own positions.
//
// Memory: the record lives in the one block (memory id 15) that also holds the header copy, at the
// block's start, so that offsets in the block are offsets in the file. Destroy releases what the
// package holds (a disk package closes its stream) and frees the block.
//
// Threading: the low-level I/O object's package-list lock guards the links, the reference count and
// the current language; Destroy runs once, when the last reference went, without that lock held.
#pragma once

#include "StreamMgr/CZkFilePackageLUT.h"
#include "StreamMgr/CZkListAware.h"

#include <cstdint>

class IZkStandardStream;

namespace ZK::StreamMgr
{
class CZkFilePackage : public CZkListAware<CZkFilePackage>
{
public:
    virtual ~CZkFilePackage() = default;
    virtual void Destroy() = 0;
    // Fills the descriptor of a file found in the package: where it lies, and the package file's
    // handle and hook data.
    virtual void DescribeFile(const ZkPackedFile& file, ZkFileDescriptor& fileDesc) const = 0;

    CZkFilePackageLUT lut;
    uint32_t packageId = 0;
    uint64_t headerLength = 0; // header size + 8
    void* memoryBlock = nullptr;
    int32_t referenceCount = 1;
};

class CZkDiskPackage final : public CZkFilePackage
{
public:
    // Opens the package file (a loose file, by name, through the stream manager), reads and checks
    // its header and builds the package holding the list's reference. 1; the open's own result when
    // the file does not open; 2 for a file that is not a package (too short, wrong magic, a header
    // size of 0 or beyond the file, version 0, tables outside the header) or when out of memory.
    // Nothing stays open or allocated on failure.
    static ZKRESULT Load(const wchar_t* fileName, CZkDiskPackage*& outPackage);

    // Closes the package file, then frees the record and its block.
    void Destroy() override;

    void DescribeFile(const ZkPackedFile& file, ZkFileDescriptor& fileDesc) const override;

    uint32_t BlockSize() const { return m_blockSize; }

    CZkDiskPackage(IZkStandardStream* stream, uint32_t blockSize);

private:
    IZkStandardStream* m_stream;
    uint32_t m_blockSize;
    void* m_fileHandle = nullptr;
    uint64_t m_hookData = 0;
};
} // namespace ZK::StreamMgr
