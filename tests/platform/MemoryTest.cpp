#include "quorlix/platform/Memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

using namespace Quorlix;

TEST(PlatformMemory, PagesAreWholeZeroedAndAligned) {
    const size_t page = Platform::PageSize();
    ASSERT_GE(page, 4096u);
    EXPECT_EQ(page & (page - 1), 0u);
    EXPECT_EQ(Platform::AllocatePages(0), nullptr);
    for (size_t bytes : {size_t{1}, page, page + 1}) {
        auto* pages = static_cast<unsigned char*>(Platform::AllocatePages(bytes));
        ASSERT_NE(pages, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(pages) % page, 0u);
        const size_t whole = (bytes + page - 1) / page * page;
        for (size_t i = 0; i < whole; ++i)
            ASSERT_EQ(pages[i], 0) << i;
        std::memset(pages, 0x5A, whole); // every byte of the rounded size is usable
        Platform::FreePages(pages, bytes);
    }
}
