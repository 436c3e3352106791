// Reserve, commit, decommit and release, checked against the kernel's own view of the address
// space (/proc/self/maps and /proc/self/smaps).
#include "Platform/PlatformVirtualMemory.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>

namespace
{
using namespace ZK::Platform;

struct Mapping
{
    std::string permissions; // "rw-p", "---p"; empty when the address is not mapped
    size_t residentKilobytes = 0;
};

// The mapping that holds the address, from /proc/self/smaps.
Mapping MappingAt(const void* address)
{
    const auto where = reinterpret_cast<uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    Mapping mapping;
    while (std::getline(smaps, line))
    {
        uintptr_t start = 0;
        uintptr_t end = 0;
        char permissions[8] = {};
        if (std::sscanf(line.c_str(), "%lx-%lx %7s", &start, &end, permissions) == 3 &&
            line.find(':') > line.find(' '))
        {
            if (inside)
            {
                break;
            }
            inside = where >= start && where < end;
            if (inside)
            {
                mapping.permissions = permissions;
            }
        }
        else if (inside && line.rfind("Rss:", 0) == 0)
        {
            std::istringstream(line.substr(4)) >> mapping.residentKilobytes;
        }
    }
    return mapping;
}

std::string PermissionsOfPages(const char* base, size_t firstPage, size_t pageCount)
{
    std::string seen;
    for (size_t page = firstPage; page < firstPage + pageCount; ++page)
    {
        const std::string permissions = MappingAt(base + page * PageSize()).permissions;
        if (page == firstPage)
        {
            seen = permissions;
        }
        else if (permissions != seen)
        {
            return "mixed";
        }
    }
    return seen;
}

TEST(VirtualMemory, GranularityIsThePageSize)
{
    EXPECT_EQ(PageSize(), static_cast<size_t>(sysconf(_SC_PAGESIZE)));
    EXPECT_EQ(AllocationGranularity(), PageSize());
}

TEST(VirtualMemory, ReserveCommitDecommitReleaseShowInTheAddressSpace)
{
    constexpr size_t kPages = 16;
    const size_t page = PageSize();
    auto* base = static_cast<char*>(ReserveAddressRange(kPages * page));
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(PermissionsOfPages(base, 0, kPages), "---p") << "reserved pages are not accessible";

    // Commit pages 4..7, the first through an address inside the page and a size that ends early.
    ASSERT_TRUE(CommitPages(base + 4 * page + 100, 4 * page - 200));
    EXPECT_EQ(PermissionsOfPages(base, 4, 4), "rw-p");
    EXPECT_EQ(PermissionsOfPages(base, 0, 4), "---p");
    EXPECT_EQ(PermissionsOfPages(base, 8, kPages - 8), "---p");
    std::memset(base + 4 * page, 0x5A, 4 * page);
    EXPECT_GE(MappingAt(base + 4 * page).residentKilobytes, 4 * page / 1024);

    // Decommit the middle two: they lose access and their memory, their neighbours keep theirs.
    ASSERT_TRUE(DecommitPages(base + 5 * page, 2 * page));
    EXPECT_EQ(PermissionsOfPages(base, 5, 2), "---p");
    EXPECT_EQ(MappingAt(base + 5 * page).residentKilobytes, 0u) << "decommitted memory is given back";
    EXPECT_EQ(PermissionsOfPages(base, 4, 1), "rw-p");
    EXPECT_EQ(PermissionsOfPages(base, 7, 1), "rw-p");
    EXPECT_EQ(base[4 * page], 0x5A);
    EXPECT_EQ(base[8 * page - 1], 0x5A);

    ASSERT_TRUE(CommitPages(base + 5 * page, 2 * page));
    EXPECT_EQ(PermissionsOfPages(base, 4, 4), "rw-p");
    for (size_t offset = 5 * page; offset < 7 * page; ++offset)
    {
        ASSERT_EQ(base[offset], 0) << "a recommitted page reads as zero, offset " << offset;
    }

    ASSERT_TRUE(ReleaseAddressRange(base, kPages * page));
    EXPECT_EQ(MappingAt(base).permissions, "");
    EXPECT_EQ(MappingAt(base + (kPages - 1) * page).permissions, "");
}

TEST(VirtualMemory, ReserveAndCommitIsWritableAtOnce)
{
    const size_t size = 3 * PageSize() + 1; // rounded up to four pages
    auto* base = static_cast<char*>(ReserveAndCommit(size));
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(base) % AllocationGranularity(), 0u);
    EXPECT_EQ(PermissionsOfPages(base, 0, 4), "rw-p");
    base[0] = 1;
    base[4 * PageSize() - 1] = 1;
    EXPECT_TRUE(ReleaseAddressRange(base, size));
    EXPECT_EQ(MappingAt(base).permissions, "");
}

TEST(VirtualMemory, EmptyAndNullRequestsFail)
{
    EXPECT_EQ(ReserveAddressRange(0), nullptr);
    EXPECT_EQ(ReserveAndCommit(0), nullptr);
    EXPECT_EQ(ReserveAddressRange(SIZE_MAX), nullptr);
    EXPECT_FALSE(CommitPages(nullptr, PageSize()));
    EXPECT_FALSE(DecommitPages(nullptr, PageSize()));
    EXPECT_FALSE(ReleaseAddressRange(nullptr, PageSize()));
}
} // namespace
