#include "readiness.h"

#ifdef Q_OS_LINUX
#include <cerrno>
#include <sys/epoll.h>
#include <unistd.h>
#endif

namespace rvx::platform {

#ifdef Q_OS_LINUX

std::unique_ptr<ReadinessQueue> ReadinessQueue::create()
{
    const int fd = epoll_create1(EPOLL_CLOEXEC);
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<ReadinessQueue>(new ReadinessQueue(fd));
}

ReadinessQueue::~ReadinessQueue()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool ReadinessQueue::watch(qintptr socket)
{
    epoll_event event{};
    // One report per arming; a peer that closes reports as readable too.
    event.events = EPOLLIN | EPOLLRDHUP | EPOLLONESHOT;
    event.data.fd = static_cast<int>(socket);
    if (epoll_ctl(m_fd, EPOLL_CTL_MOD, event.data.fd, &event) == 0)
        return true;
    return errno == ENOENT && epoll_ctl(m_fd, EPOLL_CTL_ADD, event.data.fd, &event) == 0;
}

void ReadinessQueue::forget(qintptr socket)
{
    epoll_event unused{};
    epoll_ctl(m_fd, EPOLL_CTL_DEL, static_cast<int>(socket), &unused);
}

QVector<qintptr> ReadinessQueue::takeReady(int max)
{
    QVector<qintptr> ready;
    QVector<epoll_event> events(qMax(1, max));
    const int n = epoll_wait(m_fd, events.data(), events.size(), 0);
    for (int i = 0; i < n; ++i)
        ready.append(events.at(i).data.fd);
    return ready;
}

#else

std::unique_ptr<ReadinessQueue> ReadinessQueue::create()
{
    return nullptr; // the event loops of Windows and macOS are told which socket is ready
}

ReadinessQueue::~ReadinessQueue() = default;

bool ReadinessQueue::watch(qintptr)
{
    return false;
}

void ReadinessQueue::forget(qintptr) {}

QVector<qintptr> ReadinessQueue::takeReady(int)
{
    return {};
}

#endif

} // namespace rvx::platform
