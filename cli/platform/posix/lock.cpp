#include "cli/platform/lock.h"

#include <pthread.h>

namespace zav::cli {

struct Lock::Platform {
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
};

Lock::Lock() : platform_(std::make_unique<Platform>()) {}
Lock::~Lock() { pthread_mutex_destroy(&platform_->mutex); }
void Lock::acquire() { pthread_mutex_lock(&platform_->mutex); }
void Lock::release() { pthread_mutex_unlock(&platform_->mutex); }

}  // namespace zav::cli
