// A stream manager of the tests' own that serves files from memory through standard streams that
// behave as the engine's do (block-sized reads cut at the end of the file, reads in the background
// completed by WaitForPendingOperation, positions in whole blocks), so that the bank reader can be
// driven without threads: a file can shrink after it was opened, reads can fail, every read is
// recorded.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/StubStreamMgr.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ZkBankTest
{
class FakeFileStream final : public IZkStandardStream
{
public:
    struct ReadCall
    {
        void* buffer;
        uint32_t size;
        bool wait;
        uint8_t priority;
    };

    FakeFileStream(std::vector<uint8_t> bytes, uint32_t block) : content(std::move(bytes)), blockSize(block)
    {
        sizeAtOpen = static_cast<int64_t>(content.size());
    }

    void Destroy() override { destroyed = true; }
    void GetInfo(ZkStreamInfo& info) override
    {
        info = {};
        info.size = sizeAtOpen;
        info.isOpen = true;
    }
    ZkFileDescriptor* GetFileDescriptor() override { return nullptr; }
    ZKRESULT SetStreamName(const wchar_t*) override { return ZK_Success; }
    uint32_t GetBlockSize() override { return blockSize; }
    ZKRESULT Read(void* buffer, uint32_t size, bool wait, uint8_t priority, float, uint32_t& outSize) override
    {
        outSize = 0;
        reads.push_back({buffer, size, wait, priority});
        if (pending || failReads || size % blockSize != 0)
            return ZK_Fail;
        const uint64_t left = position < static_cast<uint64_t>(sizeAtOpen) ? sizeAtOpen - position : 0;
        m_buffer = static_cast<uint8_t*>(buffer);
        m_size = static_cast<uint32_t>(std::min<uint64_t>(size, left));
        outSize = m_size;
        pending = true;
        status = ZK_StreamStatusPending;
        if (wait || m_size == 0)
        {
            Complete();
            outSize = m_moved;
        }
        return ZK_Success;
    }
    ZKRESULT Write(void*, uint32_t, bool, uint8_t, float, uint32_t& outSize) override
    {
        outSize = 0;
        return ZK_Fail;
    }
    uint64_t GetPosition(bool*) override { return position; }
    ZKRESULT SetPosition(int64_t offset, uint32_t method, int64_t* realOffset) override
    {
        if (pending)
            return ZK_Fail;
        const int64_t origin = method == ZK_MoveCurrent ? static_cast<int64_t>(position) : 0;
        const int64_t target = (origin + offset) / blockSize * blockSize;
        if (realOffset != nullptr)
            *realOffset = target - origin;
        position = static_cast<uint64_t>(target);
        ++positionings;
        return ZK_Success;
    }
    void Cancel() override
    {
        pending = false;
        ++cancels;
    }
    void* GetData(uint32_t& size) override
    {
        size = 0;
        return nullptr;
    }
    ZkStreamStatus GetStatus() override { return status; }
    ZkStreamStatus WaitForPendingOperation() override
    {
        if (pending)
            Complete();
        return status;
    }

    std::vector<uint8_t> content; // what the file holds now (may shrink after the open)
    int64_t sizeAtOpen = 0;
    uint32_t blockSize;
    uint64_t position = 0;
    bool pending = false;
    bool failReads = false;
    bool errorOnCompletion = false;
    bool destroyed = false;
    int cancels = 0;
    int positionings = 0;
    ZkStreamStatus status = ZK_StreamStatusIdle;
    std::vector<ReadCall> reads;

private:
    // The transfer: only the bytes the file still holds move.
    void Complete()
    {
        pending = false;
        if (errorOnCompletion)
        {
            status = ZK_StreamStatusError;
            m_moved = 0;
            return;
        }
        const uint64_t held = position < content.size() ? content.size() - position : 0;
        m_moved = static_cast<uint32_t>(std::min<uint64_t>(m_size, held));
        std::memcpy(m_buffer, content.data() + position, m_moved);
        position += m_moved;
        status = ZK_StreamStatusCompleted;
    }

    uint8_t* m_buffer = nullptr;
    uint32_t m_size = 0;
    uint32_t m_moved = 0;
};

class FakeFileStreamMgr final : public ZkEngineTest::StubStreamMgr
{
public:
    struct Open
    {
        std::wstring name;
        uint32_t fileID;
        bool languageSpecific;
        uint32_t fileType;
    };

    FakeFileStreamMgr() { m_pStreamMgr = this; }
    ~FakeFileStreamMgr() override { m_pStreamMgr = nullptr; }

    // A file found by name or id; with languageOnly it is found only when asked for the language.
    void AddFile(const std::wstring& name, uint32_t fileID, std::vector<uint8_t> bytes, bool languageSpecific = false)
    {
        files.push_back({name, fileID, std::move(bytes), languageSpecific});
    }
    FakeFileStream* LastStream() { return streams.empty() ? nullptr : streams.back().get(); }

    ZKRESULT CreateStandardStreamByID(uint32_t fileID, ZkFileOpenFlags* flags, uint32_t, IZkStandardStream*& out,
                                      bool) override
    {
        return OpenFile(L"", fileID, *flags, out);
    }
    ZKRESULT CreateStandardStreamByName(const wchar_t* name, ZkFileOpenFlags* flags, uint32_t, IZkStandardStream*& out,
                                        bool) override
    {
        return OpenFile(name, 0, *flags, out);
    }

    uint32_t blockSize = 1;
    std::vector<Open> opens;
    std::vector<std::unique_ptr<FakeFileStream>> streams;

private:
    struct File
    {
        std::wstring name;
        uint32_t fileID;
        std::vector<uint8_t> bytes;
        bool languageSpecific;
    };

    ZKRESULT OpenFile(const wchar_t* name, uint32_t fileID, const ZkFileOpenFlags& flags, IZkStandardStream*& out)
    {
        opens.push_back({name, fileID, flags.isLanguageSpecific, flags.fileType});
        for (const File& file : files)
        {
            const bool named = name[0] != L'\0' ? file.name == name : file.fileID == fileID;
            if (named && file.languageSpecific == flags.isLanguageSpecific)
            {
                streams.push_back(std::make_unique<FakeFileStream>(file.bytes, blockSize));
                out = streams.back().get();
                return ZK_Success;
            }
        }
        return ZK_FileNotFound;
    }

    std::vector<File> files;
};
} // namespace ZkBankTest
