#include "plat/kernel.h"

#include "host/utf.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void MarkerInTheProgram() {}

TEST(VirtualMemoryTest, BlocksStartOnTheAllocationGranularityAndReadZero) {
    // The system takes its buffer alignment from this; page alignment alone would pass by luck
    // one time in sixteen, so many blocks are held at once.
    std::vector<LPVOID> blocks;
    for (SIZE_T size :
         {SIZE_T(1), SIZE_T(4096), SIZE_T(5000), SIZE_T(0x10000), SIZE_T(0x10001), SIZE_T(300000)}) {
        for (int i = 0; i < 4; ++i) {
            auto* p =
                static_cast<BYTE*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
            ASSERT_NE(p, nullptr) << size;
            EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 0x10000, 0u) << size;
            EXPECT_EQ(p[0], 0);
            EXPECT_EQ(p[size - 1], 0);
            p[size - 1] = 0xAB;
            blocks.push_back(p);
        }
    }
    for (LPVOID p : blocks)
        EXPECT_TRUE(VirtualFree(p, 0, MEM_RELEASE));
}

TEST(VirtualMemoryTest, ReleaseTakesTheWholeBlockByItsBase) {
    auto* p = static_cast<BYTE*>(VirtualAlloc(nullptr, 0x20000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(p, nullptr);
    SetLastError(0);
    EXPECT_FALSE(VirtualFree(p, 0x20000, MEM_RELEASE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(VirtualFree(p + 0x1000, 0, MEM_RELEASE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));

    p[0x1000] = 7;
    EXPECT_TRUE(VirtualFree(p + 0x1000, 0x1000, MEM_DECOMMIT));
    EXPECT_EQ(p[0x1000], 0);

    EXPECT_TRUE(VirtualFree(p, 0, MEM_RELEASE));
    EXPECT_FALSE(VirtualFree(p, 0, MEM_RELEASE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
}

TEST(VirtualMemoryTest, RefusesWhatItDoesNotOffer) {
    int somewhere = 0;
    EXPECT_EQ(VirtualAlloc(&somewhere, 4096, MEM_COMMIT, PAGE_READWRITE), nullptr);
    EXPECT_EQ(VirtualAlloc(nullptr, 0, MEM_COMMIT, PAGE_READWRITE), nullptr);
    EXPECT_EQ(VirtualAlloc(nullptr, SIZE_MAX, MEM_COMMIT, PAGE_READWRITE), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
}

TEST(ModuleTest, ProgramHandleAndNameComeFromTheLoader) {
    HMODULE fromAddress = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                       GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCWSTR>(&MarkerInTheProgram), &fromAddress));
    EXPECT_EQ(fromAddress, GetModuleHandleW(nullptr));

    char achExe[PATH_MAX];
    ASSERT_NE(realpath("/proc/self/exe", achExe), nullptr);
    const std::u16string expected = host::WideFromUtf8(achExe);
    WCHAR achName[PATH_MAX];
    for (HMODULE h : {HMODULE(nullptr), fromAddress}) {
        DWORD n = GetModuleFileNameW(h, achName, PATH_MAX);
        ASSERT_EQ(n, expected.size());
        EXPECT_EQ(std::u16string(achName), expected);
    }

    // Cut to the buffer and terminated, reporting the buffer's size.
    WCHAR achShort[5];
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(nullptr, achShort, 5), 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::u16string(achShort), expected.substr(0, 4));
}

TEST(ModuleTest, UnknownModulesAreNotFound) {
    int onTheStack = 0;
    HMODULE h = reinterpret_cast<HMODULE>(1);
    EXPECT_FALSE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                        GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                    reinterpret_cast<LPCWSTR>(&onTheStack), &h));
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    WCHAR achName[16];
    // An address inside a module that is not its base names no module.
    auto* inside = reinterpret_cast<HMODULE>(reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr)) + 16);
    EXPECT_EQ(GetModuleFileNameW(inside, achName, 16), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

} // namespace
