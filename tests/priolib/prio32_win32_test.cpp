// Prio32 on Windows: each export against the Windows calls it stands for.
// The program imports Prio32.dll, so it would not start at all if the DLL's
// entry refused to load.

#include "prio32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstdint>
#include <cwchar>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::uint32_t kUntouched = 0xDEADBEEF;
constexpr std::uint32_t kFarBeyond = std::numeric_limits<std::uint32_t>::max();

// The two tables, written out here rather than taken from the library.
struct ClassRow {
    std::uint32_t index;
    DWORD windowsClass;
};
constexpr std::array<ClassRow, 4> kClasses{{{0, IDLE_PRIORITY_CLASS},
                                            {1, NORMAL_PRIORITY_CLASS},
                                            {2, HIGH_PRIORITY_CLASS},
                                            {3, REALTIME_PRIORITY_CLASS}}};

struct ThreadRow {
    std::uint32_t index;
    int windowsPriority;
};
constexpr std::array<ThreadRow, 7> kThreadPriorities{{{0, THREAD_PRIORITY_IDLE},
                                                      {1, THREAD_PRIORITY_LOWEST},
                                                      {2, THREAD_PRIORITY_BELOW_NORMAL},
                                                      {3, THREAD_PRIORITY_NORMAL},
                                                      {4, THREAD_PRIORITY_ABOVE_NORMAL},
                                                      {5, THREAD_PRIORITY_HIGHEST},
                                                      {6, THREAD_PRIORITY_TIME_CRITICAL}}};

DWORD windowsClass() {
    return GetPriorityClass(GetCurrentProcess());
}
int windowsThreadPriority() {
    return GetThreadPriority(GetCurrentThread());
}

// What the get exports report: their result and the out value.
struct Reading {
    std::int32_t result;
    std::uint32_t index;
};
Reading readClass() {
    Reading reading{0, kUntouched};
    reading.result = Prio32GetPriorityClass(&reading.index);
    return reading;
}
Reading readThreadPriority() {
    Reading reading{0, kUntouched};
    reading.result = Prio32GetThreadPriority(&reading.index);
    return reading;
}

// Every test leaves the process class and the thread's priority as it found them.
class Prio32Win32 : public ::testing::Test {
protected:
    void SetUp() override {
        originalClass_ = windowsClass();
        originalThreadPriority_ = windowsThreadPriority();
        ASSERT_NE(originalClass_, 0u);
        ASSERT_NE(originalThreadPriority_, THREAD_PRIORITY_ERROR_RETURN);
    }
    void TearDown() override {
        SetThreadPriority(GetCurrentThread(), originalThreadPriority_);
        SetPriorityClass(GetCurrentProcess(), originalClass_);
    }

private:
    DWORD originalClass_ = 0;
    int originalThreadPriority_ = 0;
};

// void (*)() stands for any function in a comparison of addresses.
using AnyFunction = void (*)();

template <typename Function>
AnyFunction address(Function function) {
    return reinterpret_cast<AnyFunction>(function);
}

TEST(Prio32Module, EachExportIsFoundByItsNameAndItsOrdinal) {
    const HMODULE module = GetModuleHandleW(L"Prio32.dll");
    ASSERT_NE(module, nullptr);
    struct Export {
        const char *name;
        WORD ordinal;
        AnyFunction imported;
    };
    const std::array<Export, 6> exports{{
        {"Prio32AllowIO", 1, address(&Prio32AllowIO)},
        {"Prio32SetPriorityClass", 2, address(&Prio32SetPriorityClass)},
        {"Prio32GetPriorityClass", 3, address(&Prio32GetPriorityClass)},
        {"Prio32SetThreadPriority", 4, address(&Prio32SetThreadPriority)},
        {"Prio32GetThreadPriority", 5, address(&Prio32GetThreadPriority)},
        {"Prio32GetVersion", 6, address(&Prio32GetVersion)},
    }};
    for (const Export &entry : exports) {
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(address(GetProcAddress(module, entry.name)), entry.imported);
        EXPECT_EQ(address(GetProcAddress(module, MAKEINTRESOURCEA(entry.ordinal))), entry.imported);
    }
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(7)), nullptr);
    // A 32-bit build must not export the compiler's decorated names.
    for (const char *decorated : {"Prio32AllowIO@0", "_Prio32AllowIO@0", "Prio32SetPriorityClass@4",
                                  "_Prio32GetVersion@0"}) {
        EXPECT_EQ(GetProcAddress(module, decorated), nullptr) << decorated;
    }
}

TEST(Prio32Module, VersionResourceSaysOnePointZeroPointZeroPointOne) {
    const HMODULE module = GetModuleHandleW(L"Prio32.dll");
    ASSERT_NE(module, nullptr);
    std::wstring path(MAX_PATH, L'\0');
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, path.size());
    path.resize(length);

    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource";
    std::vector<unsigned char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    void *value = nullptr;
    UINT valueSize = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &value, &valueSize));
    ASSERT_GE(valueSize, sizeof(VS_FIXEDFILEINFO));
    const auto *fixed = static_cast<const VS_FIXEDFILEINFO *>(value);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), 1u);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), 0u);
    EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), 0u);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionLS), 1u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

    // The text form, under the language the resource declares.
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &valueSize));
    ASSERT_GE(valueSize, 2 * sizeof(WORD));
    const auto *translation = static_cast<const WORD *>(value);
    std::array<wchar_t, 64> key{};
    std::swprintf(key.data(), key.size(), L"\\StringFileInfo\\%04x%04x\\FileVersion",
                  translation[0], translation[1]);
    ASSERT_TRUE(VerQueryValueW(block.data(), key.data(), &value, &valueSize)) << "no FileVersion";
    EXPECT_EQ(std::wstring(static_cast<const wchar_t *>(value)), L"1.0.0.1");
}

TEST(Prio32Module, VersionIs1346) {
    EXPECT_EQ(Prio32GetVersion(), 1346);
}

TEST_F(Prio32Win32, AllowIOReturnsOneAndChangesNothing) {
    ASSERT_TRUE(SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS));
    ASSERT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST));
    EXPECT_EQ(Prio32AllowIO(), 1);
    EXPECT_EQ(Prio32AllowIO(), 1);
    EXPECT_EQ(windowsClass(), static_cast<DWORD>(HIGH_PRIORITY_CLASS));
    EXPECT_EQ(windowsThreadPriority(), THREAD_PRIORITY_LOWEST);
}

TEST_F(Prio32Win32, ClassSetByIndexReadsBackThroughWindowsAndTheExport) {
    // High, idle, normal: each one a change from the one before.
    for (const std::uint32_t index : {2u, 0u, 1u}) {
        SCOPED_TRACE(index);
        EXPECT_NE(Prio32SetPriorityClass(index), 0);
        EXPECT_EQ(windowsClass(), kClasses[index].windowsClass);
        const Reading reading = readClass();
        EXPECT_EQ(reading.result, 1);
        EXPECT_EQ(reading.index, index);
    }
}

TEST_F(Prio32Win32, ClassSetDirectlyReadsAsItsIndex) {
    for (const ClassRow &row : {kClasses[2], kClasses[0], kClasses[1]}) {
        SCOPED_TRACE(row.index);
        ASSERT_TRUE(SetPriorityClass(GetCurrentProcess(), row.windowsClass));
        const Reading reading = readClass();
        EXPECT_EQ(reading.result, 1);
        EXPECT_EQ(reading.index, row.index);
    }
}

// Without the privilege to raise it that far, Windows grants a realtime
// request as high priority. Either way the index read back must be the
// class Windows reports.
TEST_F(Prio32Win32, RealtimeRequestEndsRealtimeOrHighAndReadsAsSuch) {
    ASSERT_TRUE(SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS));
    const std::int32_t result = Prio32SetPriorityClass(3);
    const DWORD now = windowsClass();
    if (result == 0) {
        EXPECT_EQ(now, static_cast<DWORD>(IDLE_PRIORITY_CLASS)) << "a refusal changed the class";
        return;
    }
    ASSERT_TRUE(now == REALTIME_PRIORITY_CLASS || now == HIGH_PRIORITY_CLASS) << std::hex << now;
    const Reading reading = readClass();
    EXPECT_EQ(reading.result, 1);
    EXPECT_EQ(reading.index, now == REALTIME_PRIORITY_CLASS ? 3u : 2u);
}

TEST_F(Prio32Win32, ClassIndexBeyondTheTableIsRefusedWithoutChange) {
    // Idle, so that a wrongly clamped index (to realtime) would show.
    ASSERT_TRUE(SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS));
    for (const std::uint32_t index : {4u, 5u, kFarBeyond}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(Prio32SetPriorityClass(index), 0);
        EXPECT_EQ(windowsClass(), static_cast<DWORD>(IDLE_PRIORITY_CLASS));
    }
}

TEST_F(Prio32Win32, ClassOutsideTheTableReadsAsZeroWithTheOutValueUntouched) {
    for (const DWORD foreign : {ABOVE_NORMAL_PRIORITY_CLASS, BELOW_NORMAL_PRIORITY_CLASS}) {
        SCOPED_TRACE(foreign);
        ASSERT_TRUE(SetPriorityClass(GetCurrentProcess(), foreign));
        ASSERT_EQ(windowsClass(), foreign);
        const Reading reading = readClass();
        EXPECT_EQ(reading.result, 0);
        EXPECT_EQ(reading.index, kUntouched);
    }
}

// Thread priorities are relative to the process class; the indices must
// come back the same in every class.
TEST_F(Prio32Win32, ThreadPrioritySetByIndexReadsBackInEachClass) {
    for (const std::uint32_t classIndex : {1u, 2u, 0u}) {
        ASSERT_NE(Prio32SetPriorityClass(classIndex), 0);
        for (const ThreadRow &row : kThreadPriorities) {
            SCOPED_TRACE(testing::Message() << "class " << classIndex << ", thread " << row.index);
            EXPECT_NE(Prio32SetThreadPriority(row.index), 0);
            EXPECT_EQ(windowsThreadPriority(), row.windowsPriority);
            const Reading reading = readThreadPriority();
            EXPECT_EQ(reading.result, 1);
            EXPECT_EQ(reading.index, row.index);
        }
    }
}

TEST_F(Prio32Win32, ThreadPrioritySetDirectlyReadsAsItsIndex) {
    for (auto row = kThreadPriorities.rbegin(); row != kThreadPriorities.rend(); ++row) {
        SCOPED_TRACE(row->index);
        ASSERT_TRUE(SetThreadPriority(GetCurrentThread(), row->windowsPriority));
        const Reading reading = readThreadPriority();
        EXPECT_EQ(reading.result, 1);
        EXPECT_EQ(reading.index, row->index);
    }
}

// Only a realtime process may give a thread the steps between the table's
// rows (-7..-3 and 3..6); Wine grants realtime to anyone.
TEST_F(Prio32Win32, ThreadPriorityOutsideTheTableReadsAsZeroWithTheOutValueUntouched) {
    if (!SetPriorityClass(GetCurrentProcess(), REALTIME_PRIORITY_CLASS) ||
        windowsClass() != REALTIME_PRIORITY_CLASS) {
        GTEST_SKIP() << "no realtime class for this process";
    }
    for (const int foreign : {5, 3, -4, -7}) {
        SCOPED_TRACE(foreign);
        ASSERT_TRUE(SetThreadPriority(GetCurrentThread(), foreign));
        ASSERT_EQ(windowsThreadPriority(), foreign);
        const Reading reading = readThreadPriority();
        EXPECT_EQ(reading.result, 0);
        EXPECT_EQ(reading.index, kUntouched);
    }
}

TEST_F(Prio32Win32, ThreadIndexBeyondTheTableIsRefusedWithoutChange) {
    // Lowest, so that a wrongly clamped index (to time critical) would show.
    ASSERT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST));
    for (const std::uint32_t index : {7u, 8u, 15u, kFarBeyond}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(Prio32SetThreadPriority(index), 0);
        EXPECT_EQ(windowsThreadPriority(), THREAD_PRIORITY_LOWEST);
    }
}

TEST_F(Prio32Win32, ThreadPriorityBelongsToTheCallingThreadAlone) {
    ASSERT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL));
    Reading before{};
    std::int32_t setResult = 0;
    Reading after{};
    int workerWindowsPriority = 0;
    std::thread worker([&] {
        before = readThreadPriority();
        setResult = Prio32SetThreadPriority(6);
        after = readThreadPriority();
        workerWindowsPriority = windowsThreadPriority();
    });
    worker.join();
    // A new thread starts at normal priority whatever its creator runs at.
    EXPECT_EQ(before.result, 1);
    EXPECT_EQ(before.index, 3u);
    EXPECT_NE(setResult, 0);
    EXPECT_EQ(after.result, 1);
    EXPECT_EQ(after.index, 6u);
    EXPECT_EQ(workerWindowsPriority, THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_EQ(windowsThreadPriority(), THREAD_PRIORITY_BELOW_NORMAL);
    EXPECT_EQ(readThreadPriority().index, 2u);
}

TEST_F(Prio32Win32, GetWithoutAPlaceForTheIndexFails) {
    EXPECT_EQ(Prio32GetPriorityClass(nullptr), 0);
    EXPECT_EQ(Prio32GetThreadPriority(nullptr), 0);
}

} // namespace
