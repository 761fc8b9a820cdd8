#include "dlgselecthotfixes.h"

#include "ask.h"
#include "hotfix.h"
#include "ui_dlgselecthotfixes.h"

#include <QDir>
#include <QTableWidgetItem>

#include <algorithm>

DlgSelectHotfixes::DlgSelectHotfixes(QWidget* parent, QStringList& result, const QString& folder,
                                     const QString& firmwareVersion)
    : QDialog(parent)
    , ui(new Ui::DlgSelectHotfixes)
    , m_result(&result)
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgSelectHotfixes::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgSelectHotfixes::reject);

    if (!QDir().mkpath(folder)) {
        rvx::Ask::critical(this, tr("Hotfix Selection"),
                           tr("Folder does not exist and could not be created:\n\n") + folder);
        return;
    }
    m_ready = true;
    for (const upgrade::HotfixRow& row : upgrade::hotfixRows(folder, firmwareVersion)) {
        const int index = ui->tblHotfixes->rowCount();
        ui->tblHotfixes->insertRow(index);
        auto* item = new QTableWidgetItem(row.name);
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        item->setToolTip(QDir::toNativeSeparators(row.path));
        ui->tblHotfixes->setItem(index, 0, item);
        m_paths.append(row.path);
    }
}

DlgSelectHotfixes::~DlgSelectHotfixes()
{
    delete ui;
}

int DlgSelectHotfixes::exec()
{
    if (!m_ready) {
        setResult(QDialog::Rejected);
        return QDialog::Rejected;
    }
    return QDialog::exec();
}

void DlgSelectHotfixes::accept()
{
    QList<int> rows;
    for (const QModelIndex& index : ui->tblHotfixes->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    for (int row : qAsConst(rows))
        m_result->append(m_paths.at(row));
    QDialog::accept();
}
