#pragma once

#include "catalogue.h"

#include <QDialog>
#include <QString>
#include <QStringList>

namespace Ui {
class DlgSelectDownloads;
}

// The administrator chooses which of the catalogue's items to download, and the mirror to
// download them from. News entries are not shown and always stay queued. OK keeps the
// selected rows and takes the chosen mirror; Cancel drops every item (the news stays).
class DlgSelectDownloads : public QDialog
{
    Q_OBJECT

public:
    // `mirrorList` holds name, URL, name, URL, ...; `mirror` is the current mirror URL.
    DlgSelectDownloads(QWidget* parent, updates::DownloadQueue& items, QString& mirror,
                       const QStringList& mirrorList);
    ~DlgSelectDownloads() override;

public slots:
    void accept() override;
    void reject() override;

private:
    void fillMirrors(const QStringList& mirrorList);
    void fillTable();
    void forgetRows();

    Ui::DlgSelectDownloads* ui;
    updates::DownloadQueue& m_items;
    QString& m_mirror;
};
