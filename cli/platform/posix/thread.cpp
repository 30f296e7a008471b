#include "cli/platform/thread.h"

#include <pthread.h>
#include <signal.h>

namespace zav::cli {

struct Thread::Platform {
    pthread_t thread{};
    bool running = false;
};

namespace {

void* run_body(void* body) {
    (*static_cast<std::function<void()>*>(body))();
    return nullptr;
}

}  // namespace

Thread::Thread(std::function<void()> body) : body_(std::move(body)), platform_(std::make_unique<Platform>()) {
    // Ctrl+C goes to the thread that started the others: a signal that
    // lands on a port's thread would cut short only that port's wait, the
    // others learn of it through the interrupt pipe either way. The new
    // thread takes the mask it is started with.
    sigset_t blocked, before;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &blocked, &before);
    platform_->running = pthread_create(&platform_->thread, nullptr, run_body, &body_) == 0;
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (!platform_->running) body_();
}

Thread::~Thread() { join(); }

void Thread::join() {
    if (!platform_->running) return;
    pthread_join(platform_->thread, nullptr);
    platform_->running = false;
}

}  // namespace zav::cli
