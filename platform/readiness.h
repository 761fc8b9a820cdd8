#pragma once

#include <QVector>

#include <memory>

namespace rvx::platform {

// A system queue that watches many sockets for incoming data at a cost that does not grow
// with their number (Linux: epoll). Each watched socket reports once: watch() arms it,
// takeReady() hands out the sockets that became readable (or closed) since and disarms
// them. The queue's own descriptor is readable while a report waits, so one event-loop
// notifier stands for all the sockets.
//
// A socket that is closed leaves the queue by itself; a descriptor number reused by a new
// socket must be armed again with watch().
class ReadinessQueue
{
public:
    // Null where the system offers no such queue (then nothing can be watched this way).
    static std::unique_ptr<ReadinessQueue> create();
    ~ReadinessQueue();
    ReadinessQueue(const ReadinessQueue&) = delete;
    ReadinessQueue& operator=(const ReadinessQueue&) = delete;

    qintptr descriptor() const { return m_fd; }
    // Arms (or re-arms) the socket for one report. False when the system refuses it.
    bool watch(qintptr socket);
    // Stops watching the socket (nothing happens for a socket that is not watched).
    void forget(qintptr socket);
    // The sockets that reported since the last call, at most `max`; never blocks.
    QVector<qintptr> takeReady(int max = 512);

private:
    explicit ReadinessQueue(int fd)
        : m_fd(fd)
    {
    }
    int m_fd = -1;
};

} // namespace rvx::platform
