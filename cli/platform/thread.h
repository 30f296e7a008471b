// A thread of its own for work that blocks, such as one port of a series
// that waits on its line. The 32-bit Windows compiler has no std::thread,
// so each platform gives its own (posix/, win32/), as for the lock
// (lock.h). What the threads share is guarded where it is kept, not here.
#pragma once

#include <functional>
#include <memory>

namespace zav::cli {

class Thread {
public:
    // Starts body on a thread of its own. When the system cannot start
    // one, body runs here and now, to its end: slower, but nothing is left
    // undone.
    explicit Thread(std::function<void()> body);
    // Waits for the thread's end, if join() did not.
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Waits until body has returned.
    void join();

private:
    struct Platform;
    std::function<void()> body_;
    std::unique_ptr<Platform> platform_;
};

}  // namespace zav::cli
