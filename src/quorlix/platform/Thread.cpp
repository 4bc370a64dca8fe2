#include "quorlix/platform/Thread.h"

#include <new>
#include <pthread.h>

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
    auto* thread = new (std::nothrow) JoinableThread{{}, body, context};
    if (thread == nullptr)
        return nullptr;
    if (pthread_create(&thread->m_Thread, nullptr, &RunThread, thread) != 0) {
        delete thread;
        return nullptr;
    }
    return thread;
}

void JoinThread(JoinableThread* thread) {
    if (thread == nullptr)
        return;
    pthread_join(thread->m_Thread, nullptr);
    delete thread;
}

} // namespace Quorlix::Platform
