#pragma once

#include <QMimeData>
#include <QPointer>
#include <QStringList>

class ZylTreeView;

// The payload of a device drag: it names no data of its own, only the device list the rows
// come from; the receiver takes the selected rows of that list.
class ZylMimeData : public QMimeData
{
    Q_OBJECT

public:
    // The one format a device drag offers.
    static QString deviceFormat() { return QStringLiteral("zyltreeview"); }

    explicit ZylMimeData(ZylTreeView* source);

    QStringList formats() const override { return m_formats; }
    bool hasFormat(const QString& mimeType) const override { return m_formats.contains(mimeType); }
    // Null once the list is gone.
    ZylTreeView* sourceView() const { return m_source.data(); }

private:
    QStringList m_formats;
    QPointer<ZylTreeView> m_source;
};
