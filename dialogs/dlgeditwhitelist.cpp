#include "dlgeditwhitelist.h"

#include "boxes.h"
#include "savefailures.h"
#include "ui_dlgeditwhitelist.h"

#include <QDir>
#include <QTableWidgetItem>

#include <algorithm>

namespace {

constexpr int LineRole = Qt::UserRole + 1;
constexpr int NumberRole = Qt::UserRole + 2;

// Sizes and counts sort as numbers; an empty size sorts first.
class NumberItem : public QTableWidgetItem
{
public:
    NumberItem(const QString& text, qlonglong number)
        : QTableWidgetItem(text)
    {
        setData(NumberRole, number);
    }
    bool operator<(const QTableWidgetItem& other) const override
    {
        return data(NumberRole).toLongLong() < other.data(NumberRole).toLongLong();
    }
};

QTableWidgetItem* readOnly(QTableWidgetItem* item)
{
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

} // namespace

DlgEditWhiteList::DlgEditWhiteList(QWidget* parent, const QString& folder)
    : QDialog(parent)
    , ui(new Ui::DlgEditWhiteList)
    , m_folder(folder)
    , m_entries(upgrade::readBlockDeviceLists(folder))
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgEditWhiteList::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgEditWhiteList::reject);
    connect(ui->chkAutoSelect, &QCheckBox::toggled, this, &DlgEditWhiteList::onAutoSelectToggled);

    QTableWidget* table = ui->tblDevices;
    table->setSortingEnabled(false); // rows stay where they are put while filling
    for (const upgrade::BlockDevice& device : upgrade::blockDevices(m_entries)) {
        const int row = table->rowCount();
        table->insertRow(row);
        auto* size = new NumberItem(device.sizeMb, device.sizeMb.isEmpty() ? -1 : device.sizeMb.toLongLong());
        size->setData(LineRole, device.line);
        table->setItem(row, SizeColumn, readOnly(size));
        table->setItem(row, ModelColumn, readOnly(new QTableWidgetItem(device.model)));
        table->setItem(row, VendorColumn, readOnly(new QTableWidgetItem(device.vendor)));
        table->setItem(row, TypeColumn, readOnly(new QTableWidgetItem(device.type)));
        table->setItem(row, NameColumn, readOnly(new QTableWidgetItem(device.name)));
        table->setItem(row, OccurrencesColumn,
                       readOnly(new NumberItem(QString::number(device.occurrences), device.occurrences)));
    }
    table->setSortingEnabled(true);
    onAutoSelectToggled(ui->chkAutoSelect->isChecked());
}

DlgEditWhiteList::~DlgEditWhiteList()
{
    delete ui;
}

QString DlgEditWhiteList::rowLine(int row) const
{
    const QTableWidgetItem* item = ui->tblDevices->item(row, SizeColumn);
    return item ? item->data(LineRole).toString() : QString();
}

void DlgEditWhiteList::onAutoSelectToggled(bool checked)
{
    ui->tblDevices->setEnabled(!checked);
}

void DlgEditWhiteList::accept()
{
    if (rvx::showBox(this, upgrade::dedicateWarning()) != QMessageBox::Yes) {
        reject();
        return;
    }
    QList<int> rows;
    for (const QModelIndex& index : ui->tblDevices->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (int row : qAsConst(rows))
        lines.append(rowLine(row));
    QString error;
    if (!upgrade::writeWhitelist(m_folder, lines, &error)) {
        rvx::saves::failed(rvx::saves::Kind::Whitelist, QDir(m_folder).filePath(upgrade::whitelistFileName()),
                           error);
        rvx::showBox(this, upgrade::whitelistErrorBox());
        reject();
        return;
    }
    rvx::saves::succeeded(rvx::saves::Kind::Whitelist);
    m_autoSelect = ui->chkAutoSelect->isChecked();
    QDialog::accept();
}
