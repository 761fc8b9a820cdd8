#pragma once

#include <QLabel>
#include <QPoint>

class DeptInfo;
class QMenu;
class ZylTreeView;

// One department in the department panel: a square label with the department's name. A left
// click selects the department, dragging with the left button reorders the departments, a
// click with another button opens the department's menu, and device rows dropped on it move
// the devices into the department. Every signal carries the department.
class ZylDropLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ZylDropLabel(DeptInfo* dept, QWidget* parent = nullptr);

    DeptInfo* department() const { return m_dept; }
    // Forgets the department (it is being deleted); the label does nothing from then on.
    void detach() { m_dept = nullptr; }

    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    // Takes the department's name, linked profile and search count again (text and tool tip).
    void updateAppearance();

    static QString selectedStyle();
    static QString normalStyle();
    static QString labelText(const QString& name);
    // With a device search active: the name and how many of the department's devices match,
    // "Sales<br>(3 of 40)". A negative count gives the plain name.
    static QString labelText(const QString& name, int matching, int total);

    // The department menu: "Delete", "Link Profile", "Rename", "Unlink Profile".
    QMenu* createMenu(QWidget* parent);

    int pressX() const { return m_pressX; }
    int pressY() const { return m_pressY; }
    bool isDragging() const { return m_dragging; }

signals:
    void onDepartmentRename(void* dept);
    void onDepartmentDelete(void* dept);
    void onDepartmentLinkProfile(void* dept);
    void onDepartmentUnlinkProfile(void* dept);
    void onDepartmentSelected(void* dept);
    void onDepartmentDragged(void* dept, QPoint pos, bool dropped);
    void onDeviceDropped(void* dept, ZylTreeView* sourceView);
    void onDragEnter(void* dept, QPoint pos);

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    DeptInfo* m_dept;
    int m_pressX = 0;
    int m_pressY = 0;
    bool m_dragging = false;
    bool m_selected = false;
};
