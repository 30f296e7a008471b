#include "cli/platform/thread.h"

#include <windows.h>

namespace zav::cli {

struct Thread::Platform {
    HANDLE thread = nullptr;
};

namespace {

DWORD WINAPI run_body(LPVOID body) {
    (*static_cast<std::function<void()>*>(body))();
    return 0;
}

}  // namespace

Thread::Thread(std::function<void()> body) : body_(std::move(body)), platform_(std::make_unique<Platform>()) {
    platform_->thread = CreateThread(nullptr, 0, run_body, &body_, 0, nullptr);
    if (platform_->thread == nullptr) body_();
}

Thread::~Thread() { join(); }

void Thread::join() {
    if (platform_->thread == nullptr) return;
    WaitForSingleObject(platform_->thread, INFINITE);
    CloseHandle(platform_->thread);
    platform_->thread = nullptr;
}

}  // namespace zav::cli
