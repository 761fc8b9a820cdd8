#include "awaitedanswers.h"

#include "deviceregistry.h"
#include "thinclientinfo.h"

void AwaitedAnswers::expect(msg::Type answer, const QStringList& serials, QObject* requester)
{
    Expectation e;
    for (const QString& serial : serials)
        e.serials.insert(DeviceRegistry::serialKey(serial));
    e.requester = requester;
    e.hasRequester = requester != nullptr;
    m_awaited.insert(msg::number(answer), e);
}

void AwaitedAnswers::expect(msg::Type answer, const QString& serial, QObject* requester)
{
    expect(answer, QStringList{serial}, requester);
}

bool AwaitedAnswers::accept(msg::Type answer, const ThinclientInfo* from)
{
    return from && accept(answer, from->serialNumber());
}

bool AwaitedAnswers::accept(msg::Type answer, const QString& serial)
{
    auto it = m_awaited.find(msg::number(answer));
    if (it == m_awaited.end())
        return false;
    if (!live(it.value())) {
        m_awaited.erase(it);
        return false;
    }
    if (!it->serials.remove(DeviceRegistry::serialKey(serial)))
        return false;
    if (it->serials.isEmpty())
        m_awaited.erase(it);
    return true;
}

bool AwaitedAnswers::awaiting(msg::Type answer) const
{
    auto it = m_awaited.constFind(msg::number(answer));
    return it != m_awaited.constEnd() && live(it.value()) && !it->serials.isEmpty();
}

void AwaitedAnswers::cancel(msg::Type answer)
{
    m_awaited.remove(msg::number(answer));
}
