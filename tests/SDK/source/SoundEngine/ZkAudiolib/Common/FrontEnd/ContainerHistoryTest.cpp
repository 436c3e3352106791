// The container history streams while no playlist container exists: nothing to write, and every
// record read is skipped by its byte count; a record cut short, a stream without room to skip, and
// the engine not being there are refused.
#include "FrontEndFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <ZK/SoundEngine/Common/ZkBytes.h>

using namespace ZkFrontEndTest;

namespace
{
class ContainerHistory : public FrontEndTest
{
protected:
    // Records {id, count, count bytes} back to back.
    static Bytes Records(std::initializer_list<std::pair<uint32_t, uint32_t>> records)
    {
        Bytes bytes;
        for (const auto& [id, count] : records)
        {
            const uint32_t head[2] = {id, count};
            bytes.insert(bytes.end(), reinterpret_cast<const uint8_t*>(head), reinterpret_cast<const uint8_t*>(head + 2));
            bytes.insert(bytes.end(), count, 0xAB);
        }
        return bytes;
    }
    static ZKRESULT Read(const Bytes& bytes)
    {
        ZK::ReadBytesMem stream(bytes.data(), static_cast<int32_t>(bytes.size()));
        return SetContainerHistory(&stream);
    }
};
} // namespace

TEST_F(ContainerHistory, NothingIsWrittenAndUnknownRecordsAreSkipped)
{
    AddEvent(1); // an object of another table
    ZK::WriteBytesMem written;
    written.SetMemPool(ZkMemID_Default);
    EXPECT_EQ(GetContainerHistory(&written), ZK_Success);
    EXPECT_EQ(written.Count(), 0);

    EXPECT_EQ(Read({}), ZK_Success) << "an empty stream";
    EXPECT_EQ(Read(Records({{5, 3}, {6, 0}, {7, 9000}})), ZK_Success) << "skipped in scratch-sized steps";
    Bytes cut = Records({{5, 10}});
    cut.resize(cut.size() - 1);
    EXPECT_EQ(Read(cut), ZK_Fail) << "the bytes end inside a record";
    cut.resize(6);
    EXPECT_EQ(Read(cut), ZK_Fail) << "the bytes end inside a record's head";
    ZK::MemoryMgr::FaultInjection::FailNth(ZkMemID_Default, 1);
    EXPECT_EQ(Read(Records({{5, 3}})), ZK_InsufficientMemory);
    ZK::MemoryMgr::FaultInjection::Disarm();
    EXPECT_EQ(GetContainerHistory(nullptr), ZK_InvalidParameter);
    EXPECT_EQ(SetContainerHistory(nullptr), ZK_InvalidParameter);
}
