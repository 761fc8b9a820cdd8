#pragma once

#include <QScrollArea>

class QMenu;

// The department panel: a vertical strip of department labels. A click with any button but
// the left on its empty part offers "New Department".
class ZylScrollArea : public QScrollArea
{
    Q_OBJECT

public:
    explicit ZylScrollArea(QWidget* parent = nullptr);

    // The panel menu with its single entry "New Department".
    QMenu* createMenu(QWidget* parent);

signals:
    void onNewDepartment();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
