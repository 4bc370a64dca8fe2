#include "quorlix/platform/Threading.h"

#include "quorlix/platform/OutOfMemory.h"

#include <cerrno>
#include <ctime>
#include <new>
#include <pthread.h>
#include <semaphore.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Quorlix::Platform {

struct RecursiveMutex {
    pthread_mutex_t m_Mutex;
};

struct CountingSemaphore {
    sem_t m_Semaphore;
};

RecursiveMutex* CreateRecursiveMutex() {
    auto* mutex = new (std::nothrow) RecursiveMutex;
    if (mutex == nullptr)
        ReportOutOfMemory();
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&mutex->m_Mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    return mutex;
}

void DestroyRecursiveMutex(RecursiveMutex* mutex) {
    if (mutex == nullptr)
        return;
    pthread_mutex_destroy(&mutex->m_Mutex);
    delete mutex;
}

void LockRecursiveMutex(RecursiveMutex* mutex) {
    pthread_mutex_lock(&mutex->m_Mutex);
}

bool TryLockRecursiveMutex(RecursiveMutex* mutex) {
    return pthread_mutex_trylock(&mutex->m_Mutex) == 0;
}

void UnlockRecursiveMutex(RecursiveMutex* mutex) {
    pthread_mutex_unlock(&mutex->m_Mutex);
}

CountingSemaphore* CreateCountingSemaphore(int32_t initial) {
    auto* semaphore = new (std::nothrow) CountingSemaphore;
    if (semaphore == nullptr)
        ReportOutOfMemory();
    if (initial < 0)
        initial = 0;
    sem_init(&semaphore->m_Semaphore, 0, static_cast<unsigned>(initial));
    return semaphore;
}

void DestroyCountingSemaphore(CountingSemaphore* semaphore) {
    if (semaphore == nullptr)
        return;
    sem_destroy(&semaphore->m_Semaphore);
    delete semaphore;
}

void WaitCountingSemaphore(CountingSemaphore* semaphore) {
    while (sem_wait(&semaphore->m_Semaphore) != 0 && errno == EINTR) {
    }
}

bool TimedWaitCountingSemaphore(CountingSemaphore* semaphore, int32_t milliseconds) {
    // The deadline is on the monotonic clock, so setting the wall clock cannot stretch it.
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    if (milliseconds < 0)
        milliseconds = 0;
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    for (;;) {
        if (sem_clockwait(&semaphore->m_Semaphore, CLOCK_MONOTONIC, &deadline) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

bool PostCountingSemaphore(CountingSemaphore* semaphore, int32_t units) {
    for (int32_t i = 0; i < units; ++i) {
        if (sem_post(&semaphore->m_Semaphore) != 0)
            return false; // EOVERFLOW: the count is at its maximum
    }
    return true;
}

namespace {

// The id is asked of the kernel once per thread: trace points and log prefixes read it often.
thread_local uint32_t t_ThreadId = 0;

// A forked child's thread inherits the parent's cached id; forget it there.
void ForgetThreadIdInChild() {
    t_ThreadId = 0;
}
[[maybe_unused]] const int G_AtForkRegistered =
    pthread_atfork(nullptr, nullptr, &ForgetThreadIdInChild);

} // namespace

uint32_t CurrentThreadId() {
    if (t_ThreadId == 0)
        t_ThreadId = static_cast<uint32_t>(syscall(SYS_gettid));
    return t_ThreadId;
}

uint32_t CurrentThreadIdUncached() noexcept {
    return static_cast<uint32_t>(syscall(SYS_gettid));
}

void SleepMilliseconds(int32_t milliseconds) {
    if (milliseconds <= 0)
        return;
    timespec delay{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
    }
}

} // namespace Quorlix::Platform
