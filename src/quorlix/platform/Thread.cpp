#include "quorlix/platform/Thread.h"

#include <cerrno>
#include <new>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Quorlix::Platform {

struct JoinableThread {
    pthread_t m_Thread;
    void (*m_Body)(void*);
    void* m_Context;
};

namespace {

void* RunThread(void* argument) {
    auto* thread = static_cast<JoinableThread*>(argument);
    thread->m_Body(thread->m_Context);
    return nullptr;
}

} // namespace

JoinableThread* StartThread(void (*body)(void*), void* context) {
    int error = 0;
    return StartThread(body, context, error);
}

JoinableThread* StartThread(void (*body)(void*), void* context, int& error) {
    auto* thread = new (std::nothrow) JoinableThread{{}, body, context};
    if (thread == nullptr) {
        error = ENOMEM;
        return nullptr;
    }
    error = pthread_create(&thread->m_Thread, nullptr, &RunThread, thread);
    if (error != 0) {
        delete thread;
        return nullptr;
    }
    return thread;
}

bool RaiseCurrentThreadPriority() noexcept {
    // Linux schedules threads by their own nice value: one step above normal is one less.
    const auto self = static_cast<id_t>(::syscall(SYS_gettid));
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, self);
    if (nice == -1 && errno != 0)
        return false;
    return ::setpriority(PRIO_PROCESS, self, nice - 1) == 0;
}

void JoinThread(JoinableThread* thread) {
    if (thread == nullptr)
        return;
    pthread_join(thread->m_Thread, nullptr);
    delete thread;
}

} // namespace Quorlix::Platform
