#pragma once

#include "signage.h"

#include <QDialog>

namespace Ui {
class DlgSignage;
}

// The playlist of one output in the signage mode: an rsync module on the local rsync service
// (whose configuration file this dialog can add playlists to and remove them from) or on
// another rsync server, and how the player cycles through it. Starts from the caller's values;
// on Accepted they hold the output's source URL, cycle times and mute setting.
//
// `localServer` is the address devices reach this server at (put into the source URL when the
// local service is used). The local service's configuration file is
// rvx::platform::rsyncdConfigPath(); other servers are listed with the rsync client.
class DlgSignage : public QDialog
{
    Q_OBJECT

public:
    DlgSignage(QWidget* parent, int output, signage::OutputValues& values, const QString& localServer);
    ~DlgSignage() override;

    // The playlists the list shows.
    QStringList listedPlaylists() const;

public slots:
    void onBundledRsyncToggled(bool checked);
    void onRsyncModuleChanged(const QString& text);
    void onListModulesClicked();
    void onAddModuleClicked();
    void onRemoveModuleClicked();
    void accept() override;

private:
    QString chosenPlaylist() const;
    void showPlaylists(const QStringList& names);
    bool mayWriteConfig(const QString& path);
    std::optional<QByteArray> readConfig(const QString& path);
    bool writeConfig(const QString& path, const QByteArray& content);
    bool serverUsable(const QString& server);

    Ui::DlgSignage* ui;
    int m_output;
    signage::OutputValues* m_values;
    QString m_localServer;
    bool m_listed = false;
};
