#include "zylscrollarea.h"

#include "popupmenu.h"

#include <QMenu>
#include <QMouseEvent>

ZylScrollArea::ZylScrollArea(QWidget* parent)
    : QScrollArea(parent)
{
    setBackgroundRole(QPalette::Dark);
    setWidgetResizable(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setMinimumWidth(100);
}

QMenu* ZylScrollArea::createMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    connect(menu->addAction(QStringLiteral("New Department")), &QAction::triggered, this,
            &ZylScrollArea::onNewDepartment);
    return menu;
}

void ZylScrollArea::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        QScrollArea::mousePressEvent(event);
        return;
    }
    QMenu* menu = createMenu(this);
    rvx::ui::runMenu(*menu, event->globalPos());
    menu->deleteLater();
}
