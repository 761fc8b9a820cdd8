#include "dlgselectdownloads.h"
#include "ui_dlgselectdownloads.h"

#include "ask.h"
#include "updaterules.h"

#include <QHeaderView>
#include <QTableWidgetItem>

namespace {

constexpr int BytesRole = Qt::UserRole;

enum Column
{
    Description,
    Type,
    Platform,
    ReleaseDate,
    Size,
};

// Sorts the size column by the number of bytes, not by its text.
class SizeItem : public QTableWidgetItem
{
public:
    explicit SizeItem(quint64 bytes)
        : QTableWidgetItem(updates::sizeInMegabytes(bytes))
    {
        setData(BytesRole, bytes);
    }
    bool operator<(const QTableWidgetItem& other) const override
    {
        return data(BytesRole).toULongLong() < other.data(BytesRole).toULongLong();
    }
};

QTableWidgetItem* cell(QTableWidgetItem* item)
{
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

} // namespace

DlgSelectDownloads::DlgSelectDownloads(QWidget* parent, updates::DownloadQueue& items, QString& mirror,
                                       const QStringList& mirrorList)
    : QDialog(parent)
    , ui(new Ui::DlgSelectDownloads)
    , m_items(items)
    , m_mirror(mirror)
{
    ui->setupUi(this);
    resize(800, 780);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgSelectDownloads::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgSelectDownloads::reject);
    fillMirrors(mirrorList);
    fillTable();
}

DlgSelectDownloads::~DlgSelectDownloads()
{
    forgetRows();
    delete ui;
}

void DlgSelectDownloads::fillMirrors(const QStringList& mirrorList)
{
    QStringList pairs = mirrorList;
    if (pairs.isEmpty())
        pairs << updates::defaultMirrorName() << updates::defaultMirrorUrl();
    for (int i = 0; i + 1 < pairs.size(); i += 2)
        ui->cbxServer->addItem(pairs.at(i), pairs.at(i + 1));
    // Only the mirror in use is preselected; an unknown one leaves the choice to the administrator.
    ui->cbxServer->setCurrentIndex(ui->cbxServer->findData(m_mirror, Qt::UserRole, Qt::MatchExactly));
}

void DlgSelectDownloads::fillTable()
{
    QTableWidget* table = ui->tblDownloads;
    table->setSortingEnabled(false);
    for (updates::UpgradeFile& entry : m_items) {
        if (entry.isNews())
            continue;
        entry.comment = updates::withoutQuotes(entry.comment);
        const int row = table->rowCount();
        table->insertRow(row);
        entry.tableItem = cell(new QTableWidgetItem(entry.comment));
        table->setItem(row, Description, entry.tableItem);
        table->setItem(row, Type, cell(new QTableWidgetItem(updates::typeLabel(entry.type))));
        table->setItem(row, Platform, cell(new QTableWidgetItem(entry.board)));
        table->setItem(row, ReleaseDate, cell(new QTableWidgetItem(entry.releaseDate)));
        table->setItem(row, Size, cell(new SizeItem(entry.size)));
    }
    table->setColumnWidth(Description, 250);
    // Rows stay in catalogue order until the administrator sorts by a column.
    table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    table->setSortingEnabled(true);
}

void DlgSelectDownloads::forgetRows()
{
    for (updates::UpgradeFile& entry : m_items)
        entry.tableItem = nullptr;
}

void DlgSelectDownloads::accept()
{
    if (ui->cbxServer->currentIndex() < 0) {
        rvx::Ask::warning(this, QStringLiteral("Invalid server"),
                          QStringLiteral("\nPlease select a server that is closest to your location"));
        return;
    }
    QList<int> chosen;
    for (int i = 0; i < m_items.size(); ++i) {
        const updates::UpgradeFile& entry = m_items.at(i);
        if (!entry.isNews() && entry.tableItem && entry.tableItem->isSelected())
            chosen << i;
    }
    updates::keepChosen(m_items, chosen);
    forgetRows();
    m_mirror = ui->cbxServer->currentData().toString();
    QDialog::accept();
}

void DlgSelectDownloads::reject()
{
    updates::keepNewsOnly(m_items);
    forgetRows();
    QDialog::reject();
}
