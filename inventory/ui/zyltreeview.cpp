#include "zyltreeview.h"

#include "zylmimedata.h"

#include <QApplication>
#include <QDrag>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>

namespace {
ZylTreeView::DragRunner& dragRunner()
{
    static ZylTreeView::DragRunner runner;
    return runner;
}
} // namespace

ZylTreeView::ZylTreeView(QWidget* parent)
    : QTreeView(parent)
{
}

void ZylTreeView::setDragRunner(DragRunner runner)
{
    dragRunner() = std::move(runner);
}

void ZylTreeView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressX = event->pos().x();
        m_pressY = event->pos().y();
    }
    // A press on empty space keeps the selection.
    if (!indexAt(event->pos()).isValid())
        return;
    QTreeView::mousePressEvent(event);
}

void ZylTreeView::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton) {
        const int distance = qAbs(event->pos().x() - m_pressX) + qAbs(event->pos().y() - m_pressY);
        // The platform's drag distance keeps a click with a trembling hand a click.
        if (distance >= QApplication::startDragDistance() && indexAt(event->pos()).isValid()) {
            QPointer<ZylTreeView> self(this);
            const Qt::DropAction action = startDeviceDrag();
            if (!self)
                return;
            // The drag consumed the release: end the press the base class still tracks (not by
            // a move, which would select rows from the press to here or start a drag of its
            // own). Ending it may select the row under the pointer: moved rows stay unselected.
            QTreeView::mouseReleaseEvent(event);
            if (action == Qt::MoveAction)
                clearSelection();
            return;
        }
    }
    QTreeView::mouseMoveEvent(event);
}

Qt::DropAction ZylTreeView::startDeviceDrag()
{
    QPointer<ZylTreeView> self(this);
    auto* drag = new QDrag(this);
    drag->setMimeData(new ZylMimeData(this));
    drag->setPixmap(QPixmap(dragPixmapPath()));
    const Qt::DropAction action = dragRunner() ? dragRunner()(*drag) : drag->exec(Qt::MoveAction);
    if (dragRunner())
        drag->deleteLater(); // QDrag::exec deletes itself; a replaced runner does not
    if (self && action == Qt::MoveAction)
        clearSelection();
    return action;
}
