// A lock for what several threads share, such as the trace that the ports
// of a series write their lines to. The 32-bit Windows compiler has no
// std::mutex, so each platform gives its own (posix/, win32/).
#pragma once

#include <memory>

namespace zav::cli {

class Lock {
public:
    Lock();
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    void acquire();
    void release();

private:
    struct Platform;
    std::unique_ptr<Platform> platform_;
};

// Holds a lock for as long as it lives.
class Held {
public:
    explicit Held(Lock& lock) : lock_(lock) { lock_.acquire(); }
    ~Held() { lock_.release(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

private:
    Lock& lock_;
};

}  // namespace zav::cli
