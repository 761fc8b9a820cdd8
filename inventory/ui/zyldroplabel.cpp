#include "zyldroplabel.h"

#include "departments.h"
#include "popupmenu.h"
#include "zylmimedata.h"
#include "zyltreeview.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMouseEvent>

ZylDropLabel::ZylDropLabel(DeptInfo* dept, QWidget* parent)
    : QLabel(parent)
    , m_dept(dept)
{
    setAcceptDrops(true);
    setTextFormat(Qt::RichText);
    setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    setMinimumSize(64, 64);
    setMaximumHeight(64);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::MinimumExpanding);
    setAutoFillBackground(true);
    setStyleSheet(normalStyle());
    updateAppearance();
}

QString ZylDropLabel::selectedStyle()
{
    return QStringLiteral("ZylDropLabel { background-color: #000000; color: #ff0000; }");
}

QString ZylDropLabel::normalStyle()
{
    return QStringLiteral("ZylDropLabel { background-color: #666666; color: #ff0000; }");
}

QString ZylDropLabel::labelText(const QString& name)
{
    // The name is shown as it was typed, never read as markup.
    return QStringLiteral("<font color='white'>") + name.toHtmlEscaped() + QStringLiteral("</font>");
}

QString ZylDropLabel::labelText(const QString& name, int matching, int total)
{
    if (matching < 0)
        return labelText(name);
    return QStringLiteral("<font color='white'>") + name.toHtmlEscaped() +
           QStringLiteral("<br>(%1 of %2)</font>").arg(matching).arg(total);
}

void ZylDropLabel::setSelected(bool selected)
{
    m_selected = selected;
    setStyleSheet(selected ? selectedStyle() : normalStyle());
}

void ZylDropLabel::updateAppearance()
{
    if (!m_dept)
        return;
    setText(labelText(m_dept->name, m_dept->matching, m_dept->devices.size()));
    setToolTip(m_dept->profile.isEmpty() ? QString() : QStringLiteral("Linked to: ") + m_dept->profile);
}

QMenu* ZylDropLabel::createMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    void* dept = m_dept;
    connect(menu->addAction(QStringLiteral("Delete")), &QAction::triggered, this,
            [this, dept] { emit onDepartmentDelete(dept); });
    connect(menu->addAction(QStringLiteral("Link Profile")), &QAction::triggered, this,
            [this, dept] { emit onDepartmentLinkProfile(dept); });
    connect(menu->addAction(QStringLiteral("Rename")), &QAction::triggered, this,
            [this, dept] { emit onDepartmentRename(dept); });
    connect(menu->addAction(QStringLiteral("Unlink Profile")), &QAction::triggered, this,
            [this, dept] { emit onDepartmentUnlinkProfile(dept); });
    return menu;
}

bool ZylDropLabel::event(QEvent* event)
{
    // The linked profile can change while the label exists: the tool tip follows it.
    if (event->type() == QEvent::ToolTip)
        updateAppearance();
    return QLabel::event(event);
}

void ZylDropLabel::mousePressEvent(QMouseEvent* event)
{
    if (!m_dept)
        return;
    if (event->button() == Qt::LeftButton) {
        m_pressX = event->pos().x();
        m_pressY = event->pos().y();
        emit onDepartmentSelected(m_dept);
        return;
    }
    QMenu* menu = createMenu(this);
    rvx::ui::runMenu(*menu, mapToGlobal(event->pos()));
    menu->deleteLater();
}

void ZylDropLabel::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dept || event->buttons() != Qt::LeftButton)
        return;
    const int distance = qAbs(event->pos().x() - m_pressX) + qAbs(event->pos().y() - m_pressY);
    if (!m_dragging && distance < QApplication::startDragDistance())
        return;
    m_dragging = true;
    emit onDepartmentDragged(m_dept, event->pos(), false);
}

void ZylDropLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_dragging)
        return;
    m_dragging = false;
    if (m_dept)
        emit onDepartmentDragged(m_dept, event->pos(), true);
}

void ZylDropLabel::dragEnterEvent(QDragEnterEvent* event)
{
    if (!m_dept || !event->mimeData()->hasFormat(ZylMimeData::deviceFormat()))
        return;
    event->acceptProposedAction();
    emit onDragEnter(m_dept, event->pos());
}

void ZylDropLabel::dropEvent(QDropEvent* event)
{
    const auto* data = qobject_cast<const ZylMimeData*>(event->mimeData());
    if (!m_dept || !data || !data->sourceView())
        return;
    event->acceptProposedAction();
    emit onDeviceDropped(m_dept, data->sourceView());
}
