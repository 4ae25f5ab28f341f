#include "platform/FileLock.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace fillahead {
namespace {

// The folders whose lock this thread holds through a handle of its own.
std::vector<Text>& heldByThisThread() {
    thread_local std::vector<Text> folders;
    return folders;
}

} // namespace

FileLock::~FileLock() {
    release();
}

FileLock::FileLock(FileLock&& other) noexcept
    : folder_(std::move(other.folder_)), handle_(std::exchange(other.handle_, -1)),
      shared_(std::exchange(other.shared_, false)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        release();
        folder_ = std::move(other.folder_);
        handle_ = std::exchange(other.handle_, -1);
        shared_ = std::exchange(other.shared_, false);
    }
    return *this;
}

void FileLock::release() noexcept {
    if (handle_ != -1) {
        filelock::unlockFile(handle_);
        handle_ = -1;
        std::vector<Text>& held = heldByThisThread();
        const auto it = std::find(held.begin(), held.end(), folder_);
        if (it != held.end()) {
            held.erase(it);
        }
    }
    shared_ = false;
}

FileLock FileLock::Acquire(const Text& folder, std::chrono::milliseconds patience) {
    FileLock lock;
    lock.folder_ = folder;
    std::vector<Text>& held = heldByThisThread();
    if (std::find(held.begin(), held.end(), folder) != held.end()) {
        lock.shared_ = true;
        return lock;
    }
    lock.handle_ = filelock::lockFile(folder + kFileName, patience);
    if (lock.handle_ != -1) {
        held.push_back(folder);
    }
    return lock;
}

} // namespace fillahead
