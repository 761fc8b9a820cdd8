#include "dlgconfigfilter.h"

#include "ask.h"
#include "configlib.h"
#include "ui_dlgconfigfilter.h"

#include <QListWidgetItem>

DlgConfigFilter::DlgConfigFilter(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::DlgConfigFilter)
{
    ui->setupUi(this);
    connect(ui->btnSelectAll, &QPushButton::clicked, this, &DlgConfigFilter::selectAll);
    connect(ui->btnSelectNone, &QPushButton::clicked, this, &DlgConfigFilter::selectNone);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgConfigFilter::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgConfigFilter::reject);

    const NamedCategory* categories = config_named_categories();
    for (int i = 0; i < NAMED_CATEGORY_COUNT; ++i) {
        auto* item = new QListWidgetItem(QString::fromLatin1(categories[i].label), ui->lstCategories);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
        item->setData(Qt::UserRole, categories[i].id);
    }
}

DlgConfigFilter::~DlgConfigFilter()
{
    delete ui;
}

bool DlgConfigFilter::completeSelection() const
{
    return m_selected.size() == NAMED_CATEGORY_COUNT;
}

void DlgConfigFilter::setAllChecked(bool checked)
{
    for (int i = 0; i < ui->lstCategories->count(); ++i)
        ui->lstCategories->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void DlgConfigFilter::selectAll()
{
    setAllChecked(true);
}

void DlgConfigFilter::selectNone()
{
    setAllChecked(false);
}

void DlgConfigFilter::accept()
{
    m_selected.clear();
    for (int i = 0; i < ui->lstCategories->count(); ++i) {
        const QListWidgetItem* item = ui->lstCategories->item(i);
        if (item->checkState() == Qt::Checked)
            m_selected.append(item->data(Qt::UserRole).toInt());
    }
    if (m_selected.isEmpty()) {
        rvx::Ask::warning(this, tr("Nothing selected"),
                          tr("\nYou must select at least one configuration category."));
        return;
    }
    QDialog::accept();
}
