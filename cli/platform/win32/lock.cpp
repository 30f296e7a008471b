#include "cli/platform/lock.h"

#include <windows.h>

namespace zav::cli {

struct Lock::Platform {
    CRITICAL_SECTION section;
};

Lock::Lock() : platform_(std::make_unique<Platform>()) { InitializeCriticalSection(&platform_->section); }
Lock::~Lock() { DeleteCriticalSection(&platform_->section); }
void Lock::acquire() { EnterCriticalSection(&platform_->section); }
void Lock::release() { LeaveCriticalSection(&platform_->section); }

}  // namespace zav::cli
