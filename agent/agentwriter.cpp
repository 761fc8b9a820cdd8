#include "agentwriter.h"

#include "agentsocket.h"
#include <QFile>
#include <QFileInfo>

AgentWriter* AgentWriter::of(AgentSocket* socket)
{
    if (!socket)
        return nullptr;
    if (auto* writer = socket->findChild<AgentWriter*>(QString(), Qt::FindDirectChildrenOnly))
        return writer;
    return new AgentWriter(socket);
}

AgentWriter::AgentWriter(AgentSocket* socket)
    : QObject(socket)
    , m_socket(socket)
{
    // The connection drained: the next pieces follow.
    agentsocket::onDrained(socket, this, [this]() { pump(); });
}

AgentWriter::~AgentWriter() = default;

qint64 AgentWriter::socketBytes() const
{
    return agentsocket::unsentBytes(m_socket);
}

qint64 AgentWriter::queuedBytes() const
{
    qint64 total = 0;
    for (const Item& item : m_queue)
        total += item.path.isEmpty() ? item.bytes.size() : item.remaining;
    return total;
}

void AgentWriter::send(const QByteArray& frame)
{
    if (frame.isEmpty() || m_failed)
        return;
    Item item;
    item.bytes = frame;
    m_queue.push_back(std::move(item));
    pump();
}

bool AgentWriter::sendFile(const QString& path, qint64 offset, qint64 length, std::shared_ptr<void> keepAlive)
{
    if (m_failed || offset < 0 || length < 0)
        return false;
    const QFileInfo info(path);
    if (!info.isFile() || info.size() < offset + length)
        return false;
    if (length == 0)
        return true;
    Item item;
    item.path = path;
    item.offset = offset;
    item.remaining = length;
    item.fileSize = info.size();
    item.keepAlive = std::move(keepAlive);
    m_queue.push_back(std::move(item));
    pump();
    return true;
}

void AgentWriter::pump()
{
    if (m_pumping || m_failed)
        return;
    m_pumping = true;
    // Writing and flushing may drain the socket at once, and the drain notification that
    // comes while pumping is not seen: so the queue is looked at again until the socket is
    // full or the queue empty.
    for (;;) {
        bool wrote = false;
        while (!m_queue.empty()) {
            Item& item = m_queue.front();
            if (item.path.isEmpty()) {
                // A frame's bytes are in memory already: it goes whole.
                m_socket->write(item.bytes);
                m_queue.pop_front();
                wrote = true;
                continue;
            }
            const qint64 room = SocketBudget - socketBytes();
            if (room <= 0)
                break;
            if (!writeFilePiece(item, room)) {
                m_pumping = false;
                fail(item.path);
                return;
            }
            wrote = true;
            if (item.remaining == 0)
                m_queue.pop_front();
        }
        m_peakSocketBytes = qMax(m_peakSocketBytes, socketBytes());
        if (!wrote)
            break;
        agentsocket::flush(m_socket);
        if (m_queue.empty() || socketBytes() >= SocketBudget)
            break;
    }
    m_pumping = false;
}

bool AgentWriter::writeFilePiece(Item& item, qint64 room)
{
    if (!item.file) {
        item.file = std::make_unique<QFile>(item.path);
        if (!item.file->open(QIODevice::ReadOnly) || !item.file->seek(item.offset))
            return false;
    }
    // The header announced the size the file had: a file that grew or shrank since cannot
    // be sent as announced.
    if (item.file->size() != item.fileSize)
        return false;
    const qint64 wanted = qMin(qMin(PieceSize, item.remaining), room);
    const QByteArray piece = item.file->read(wanted);
    if (piece.size() != wanted)
        return false;
    m_socket->write(piece);
    item.offset += wanted;
    item.remaining -= wanted;
    if (item.remaining == 0)
        item.file.reset();
    return true;
}

void AgentWriter::fail(const QString& path)
{
    m_failed = true;
    m_queue.clear();
    emit streamFailed(path);
    // The agent is in the middle of a body it can no longer receive whole.
    agentsocket::abort(m_socket);
}
