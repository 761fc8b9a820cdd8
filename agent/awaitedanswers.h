#pragma once

// Which device's answer the window waits for. Agents answer list and status requests with
// messages that do not say which request they answer, and a device may send one unasked;
// before an answer opens or fills a dialog, the window checks here that it comes from a
// device it asked, of the kind it asked for, while whoever asked (a dialog) is still there.

#include "messages.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

class ThinclientInfo;

class AwaitedAnswers
{
public:
    // The window asked these devices (by serial number) for an answer of this type, on
    // behalf of `requester` (a dialog): the answer counts only while the requester exists.
    // Without a requester the answer counts until it arrives. A new request of a type
    // replaces the earlier one.
    void expect(msg::Type answer, const QStringList& serials, QObject* requester = nullptr);
    void expect(msg::Type answer, const QString& serial, QObject* requester = nullptr);
    // An answer of this type arrived from the device: true when it was awaited (that device's
    // expectation is then used up); false for an answer from another device, of a kind not
    // asked for, or for a requester that has gone.
    bool accept(msg::Type answer, const ThinclientInfo* from);
    bool accept(msg::Type answer, const QString& serial);
    // Whether an answer of the type is awaited at all.
    bool awaiting(msg::Type answer) const;
    void cancel(msg::Type answer);

private:
    struct Expectation
    {
        QSet<QString> serials; // keys as the device registry compares them
        QPointer<QObject> requester;
        bool hasRequester = false;
    };
    bool live(const Expectation& e) const { return !e.hasRequester || e.requester; }
    QHash<quint8, Expectation> m_awaited;
};
