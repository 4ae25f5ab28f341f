// The folder lock: one holder at a time, whoever asks (another thread here
// stands in for another program), shared by a thread that asks again,
// released when its holder lets go, and never a reason to wait forever.
#include "platform/FileLock.h"

#include "platform/Path.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace fillahead {
namespace {

using namespace std::chrono_literals;
using testing::TempFolder;

Text folderOf(const TempFolder& root) {
    return root.text() + kFolderSeparator;
}

// Whether another thread gets the lock within the patience given.
bool anotherThreadGets(const Text& folder, std::chrono::milliseconds patience) {
    bool got = false;
    std::thread other([&] { got = FileLock::Acquire(folder, patience).held(); });
    other.join();
    return got;
}

TEST(FileLock, OneHolderAtATime) {
    TempFolder root;
    const Text folder = folderOf(root);
    {
        const FileLock lock = FileLock::Acquire(folder, 0ms);
        ASSERT_TRUE(lock.held());
        EXPECT_FALSE(anotherThreadGets(folder, 30ms));
        // The same thread asking again shares it.
        const FileLock again = FileLock::Acquire(folder, 0ms);
        EXPECT_TRUE(again.held());
    }
    EXPECT_TRUE(anotherThreadGets(folder, 0ms)); // released with its holder
    EXPECT_TRUE(std::filesystem::exists(root.path() / "fillahead.lock"));

    // A waiter gets it as soon as the holder lets go.
    FileLock lock = FileLock::Acquire(folder, 0ms);
    std::atomic<bool> got = false;
    std::thread waiter([&] { got = FileLock::Acquire(folder, 10s).held(); });
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(got);
    lock.release();
    waiter.join();
    EXPECT_TRUE(got);
}

TEST(FileLock, AFolderWithoutRoomForTheLockFileGivesNoLockAtOnce) {
    TempFolder root;
    const FileLock lock = FileLock::Acquire(root.text("missing") + kFolderSeparator, 10s);
    EXPECT_FALSE(lock.held());
}

} // namespace
} // namespace fillahead
