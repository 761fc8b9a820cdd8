#pragma once

#include <QTreeView>

#include <functional>

class QDrag;

// A department's device list. Besides the tree view it remembers where the left button was
// pressed, keeps the selection when the press is on empty space, and starts a device drag
// (the selected rows, onto a department label) when the pointer moves with the left button
// held.
class ZylTreeView : public QTreeView
{
    Q_OBJECT

public:
    explicit ZylTreeView(QWidget* parent = nullptr);

    int pressX() const { return m_pressX; }
    int pressY() const { return m_pressY; }

    // The drag image of a device drag.
    static QString dragPixmapPath() { return QStringLiteral(":/images/resources/images/thinclient.png"); }

    // How a device drag runs. By default QDrag::exec with the move action; tests replace it
    // (an empty runner restores the default).
    using DragRunner = std::function<Qt::DropAction(QDrag& drag)>;
    static void setDragRunner(DragRunner runner);

    // Starts a device drag of the selected rows; returns the drop action. When the rows were
    // moved the selection is cleared.
    Qt::DropAction startDeviceDrag();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    int m_pressX = 0;
    int m_pressY = 0;
};
