#pragma once

#include <QDialog>
#include <QList>

namespace Ui {
class DlgConfigFilter;
}

// Which named configuration categories to apply when loading a configuration onto devices.
// Every category starts ticked. After Accepted, selectedIds() holds the ticked category ids
// in list order and completeSelection() tells whether all of them were ticked.
class DlgConfigFilter : public QDialog
{
    Q_OBJECT

public:
    explicit DlgConfigFilter(QWidget* parent);
    ~DlgConfigFilter() override;

    QList<int> selectedIds() const { return m_selected; }
    bool completeSelection() const;

public slots:
    void selectAll();
    void selectNone();
    void accept() override;

private:
    void setAllChecked(bool checked);

    Ui::DlgConfigFilter* ui;
    QList<int> m_selected;
};
