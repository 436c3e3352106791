// Shared by the pinned-event tests: the engine without its own thread (each RenderAudio ticks on the
// test's thread), over the blocking low-level I/O with I/O memory, a scratch folder as its base path
// holding the shipped Init.bnk and the test's own bank with its streamed media as loose ".oxm"
// files; a stream manager that records the pinning calls while it passes them on; and a node class
// that selects one child by a switch or state value and reports its group, as switch containers do.
#pragma once

#include "SDK/source/SoundEngine/StreamMgr/StreamTestSupport.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Engine/EngineLifeFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Hierarchy/HierarchyTestNodes.h"

#include "StreamMgr/CZkFilePackageLowLevelIOBlocking.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/GameSyncs/CZkGroupSubscriber.h"
#include "ZkAudiolib/Common/Hierarchy/ZkStreamedMediaRequest.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkEngineControls.h>
#include <ZK/SoundEngine/Common/ZkEventCalls.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace ZkPinTest
{
namespace fs = std::filesystem;
using namespace ZK::SoundEngine;

// Passes every call to the real manager and writes the pinning calls down, in order:
// "pin FILE type T lang L cache C bytes B at P", "unpin FILE at P", "update FILE P<-Q".
class RecordingStreamMgr final : public ZK::IZkStreamMgr
{
public:
    RecordingStreamMgr() = default;
    ~RecordingStreamMgr() override = default;

    ZK::IZkStreamMgr* m_real = nullptr; // the manager every call goes on to
    std::vector<std::string> calls;

    void Destroy() override {}
    void* GetStreamMgrProfile() override { return nullptr; }
    ZKRESULT CreateStandardStreamByID(uint32_t fileId, ZkFileOpenFlags* flags, uint32_t openMode,
                                      IZkStandardStream*& outStream, bool syncOpen) override
    {
        return m_real->CreateStandardStreamByID(fileId, flags, openMode, outStream, syncOpen);
    }
    ZKRESULT CreateStandardStreamByName(const wchar_t* fileName, ZkFileOpenFlags* flags, uint32_t openMode,
                                        IZkStandardStream*& outStream, bool syncOpen) override
    {
        return m_real->CreateStandardStreamByName(fileName, flags, openMode, outStream, syncOpen);
    }
    ZKRESULT CreateAutomaticStreamOnMemory(void* memory, uint64_t size, const ZkAutomaticStreamHeuristics& heuristics,
                                           IZkAutomaticStream*& outStream) override
    {
        return m_real->CreateAutomaticStreamOnMemory(memory, size, heuristics, outStream);
    }
    ZKRESULT CreateAutomaticStreamByID(uint32_t fileId, ZkFileOpenFlags* flags,
                                       const ZkAutomaticStreamHeuristics& heuristics,
                                       const ZkAutomaticStreamBufferSettings* bufferSettings,
                                       IZkAutomaticStream*& outStream, bool syncOpen) override
    {
        return m_real->CreateAutomaticStreamByID(fileId, flags, heuristics, bufferSettings, outStream, syncOpen);
    }
    ZKRESULT CreateAutomaticStreamByName(const wchar_t* fileName, ZkFileOpenFlags* flags,
                                         const ZkAutomaticStreamHeuristics& heuristics,
                                         const ZkAutomaticStreamBufferSettings* bufferSettings,
                                         IZkAutomaticStream*& outStream, bool syncOpen) override
    {
        return m_real->CreateAutomaticStreamByName(fileName, flags, heuristics, bufferSettings, outStream, syncOpen);
    }
    ZKRESULT PinFileInCache(uint32_t fileId, ZkFileOpenFlags* flags, int8_t priority) override
    {
        calls.push_back("pin " + std::to_string(fileId) + " type " + std::to_string(flags->fileType) + " lang " +
                        std::to_string(flags->isLanguageSpecific) + " cache " + std::to_string(flags->cacheId) +
                        " bytes " + std::to_string(flags->cachedBytes) + " at " + std::to_string(priority));
        return m_real->PinFileInCache(fileId, flags, priority);
    }
    ZKRESULT UnpinFileInCache(uint32_t fileId, int8_t priority) override
    {
        calls.push_back("unpin " + std::to_string(fileId) + " at " + std::to_string(priority));
        return m_real->UnpinFileInCache(fileId, priority);
    }
    ZKRESULT UpdateCachingPriority(uint32_t fileId, int8_t newPriority, int8_t oldPriority) override
    {
        calls.push_back("update " + std::to_string(fileId) + " " + std::to_string(newPriority) + "<-" +
                        std::to_string(oldPriority));
        return m_real->UpdateCachingPriority(fileId, newPriority, oldPriority);
    }
    ZKRESULT GetBufferStatusForPinnedFile(uint32_t fileId, float& percentBuffered, bool& cacheFull) override
    {
        return m_real->GetBufferStatusForPinnedFile(fileId, percentBuffered, cacheFull);
    }
    ZKRESULT SetMemoryStreamAddress(IZkAutomaticStream* memoryStream, void* memory) override
    {
        return m_real->SetMemoryStreamAddress(memoryStream, memory);
    }
    ZKRESULT CreateCachingStream(uint32_t fileId, ZkFileOpenFlags* flags, int8_t priority,
                                 IZkAutomaticStream*& outStream) override
    {
        return m_real->CreateCachingStream(fileId, flags, priority, outStream);
    }
};

// Plays the child whose value the group has (a switch group, type 0, or a state group, type 1), as
// a switch container does: reports the group, collects the selected child's media as active and the
// others' as inactive (all inactive when asked with the flag clear). Children are named by id.
class SelectingTestNode final : public ZkHierarchyTest::TestNode
{
public:
    SelectingTestNode(ZkUniqueID id, ZkUniqueID groupID, uint32_t groupType,
                      std::vector<std::pair<ZkUniqueID, ZkUniqueID>> children)
        : TestNode(id), m_groupID(groupID), m_groupType(groupType), m_children(std::move(children))
    {
    }

    static SelectingTestNode* CreateIndexed(ZkUniqueID id, ZkUniqueID groupID, uint32_t groupType,
                                            std::vector<std::pair<ZkUniqueID, ZkUniqueID>> children)
    {
        auto* node = ZK::ZkNew<SelectingTestNode>(kPool, id, groupID, groupType, std::move(children));
        if (node != nullptr && node->AddToIndex() != ZK_Success)
        {
            ZK::ZkDelete(kPool, node);
            return nullptr;
        }
        return node;
    }

    void CollectStreamedMedia(const ZkStreamedMediaRequest& request, bool active) const override
    {
        ZkUniqueID value = 0;
        if (active)
        {
            request.groups.AddLast(ZkStreamedMediaRequest::GroupEntry(m_groupID, m_groupType));
            value = request.overrideGroupID == m_groupID
                        ? request.overrideValue
                        : CZkGroupSubscriber::GetGroupValue(request.gameObject, m_groupID, m_groupType);
        }
        for (const auto& [groupValue, childID] : m_children)
        {
            CZkIndexedObject* child = g_pObjectIndex->GetNodePtrAndAddRef(childID, false);
            if (child == nullptr)
                continue;
            static_cast<CZkHierarchyNode*>(child)->CollectStreamedMedia(request, active && groupValue == value);
            child->Release();
        }
    }

private:
    ZkUniqueID m_groupID;
    uint32_t m_groupType;
    std::vector<std::pair<ZkUniqueID, ZkUniqueID>> m_children; // (group value, child id)
};

class PinnedEvents : public ZkEngineLifeTest::EngineLifeTest
{
protected:
    void SetUp() override
    {
        EngineLifeTest::SetUp();
        UseVirtualSpeakersWithoutEngineThread();
        ZkDeviceSettings device = ZkStreamTest::DefaultDeviceSettings();
        device.ioMemoryBytes = ZK_DefaultIOMemoryBytes;
        device.pinnedBytesLimit = m_pinnedBytesLimit;
        ASSERT_EQ(m_io.Init(device), ZK_Success);
        ASSERT_EQ(m_io.AddBasePath(m_dir.WPath().c_str()), ZK_Success);
        fs::copy_file(fs::path(KP_SOURCE_DIR) / "Trindle_Ostrel" / "Banks" / "Init.bnk", m_dir.Path() / "Init.bnk");
        ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success);
        ZkBankID bank = 0;
        ASSERT_EQ(LoadBank("Init.bnk", bank), ZK_Success);
        m_real = ZK::IZkStreamMgr::m_pStreamMgr;
        m_recorder.m_real = m_real;
    }
    void TearDown() override
    {
        ZK::IZkStreamMgr::m_pStreamMgr = m_real;
        if (m_node != nullptr)
        {
            ZK::Platform::ZkScopedLock guard(g_EngineLock);
            m_node->Release();
        }
        Term();
        m_io.Term();
        EngineLifeTest::TearDown();
    }

    // Writes the bank (and its streamed media, beside it) into the base path and loads it.
    void LoadTestBank(const std::string& descriptionJson, const std::string& name = "Pins.bnk")
    {
        const fs::path description = m_dir.Path() / (name + ".json");
        std::ofstream(description) << descriptionJson;
        const std::string command = "python3 \"" + std::string(KP_SOURCE_DIR) + "/tools/bank_writer.py\" \"" +
                                    description.string() + "\" -o \"" + (m_dir.Path() / name).string() + "\"";
        ASSERT_EQ(std::system(command.c_str()), 0) << descriptionJson;
        ZkBankID bank = 0;
        ASSERT_EQ(LoadBank(name.c_str(), bank), ZK_Success);
    }

    void Record() { ZK::IZkStreamMgr::m_pStreamMgr = &m_recorder; }
    std::vector<std::string> TakeCalls() { return std::exchange(m_recorder.calls, {}); }

    // Posts the pin (or unpin) and lets the engine run it.
    void PinNow(const char* eventName, int8_t active, int8_t inactive)
    {
        ASSERT_EQ(PinEventInStreamCache(eventName, active, inactive), ZK_Success);
        ASSERT_EQ(RenderAudio(true), ZK_Success);
    }
    void UnpinNow(const char* eventName)
    {
        ASSERT_EQ(UnpinEventInStreamCache(eventName), ZK_Success);
        ASSERT_EQ(RenderAudio(true), ZK_Success);
    }

    uint32_t m_pinnedBytesLimit = ZK_NoPinnedBytesLimit;
    ZkStreamTest::TempDir m_dir;
    ZK::StreamMgr::CZkFilePackageLowLevelIOBlocking m_io;
    ZK::IZkStreamMgr* m_real = nullptr;
    RecordingStreamMgr m_recorder;
    SelectingTestNode* m_node = nullptr;
};
} // namespace ZkPinTest
