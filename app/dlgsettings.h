#pragma once

#include <QDialog>
#include <QList>
#include <QString>

class MainWindow;
class QListWidgetItem;
class QSettings;

namespace Ui {
class DlgSettings;
}

// The Options dialog ("RVX Preferences"): ports, discovery interval, web proxy, update
// checks, the working folder with its sub-folders, and the columns of the device lists.
// At start-up it is forced on the administrator while the settings are incomplete, and can
// then only be left through Save.
class DlgSettings : public QDialog
{
    Q_OBJECT

public:
    DlgSettings(MainWindow* parent, QSettings* settings, bool startupMode);
    ~DlgSettings() override;

    // False when a required setting is missing, the agent port is unusable, or the working
    // folders could not be prepared.
    bool settingsValid() const { return m_settingsValid; }
    bool startupMode() const { return m_startupMode; }

    // Creates the working folder and its seven sub-folders and stores their paths.
    // 0 on success; -1 (after telling the administrator when a folder could not be made).
    int prepareFolders();

    // The TCP port a stored agent port text names; 0 when it names none (not a number, or
    // outside 1 to 65535).
    static int agentPort(const QString& text);

public slots:
    void accept() override;
    void reject() override;
    void onBrowseTemp();
    void onProxyCredentialsClicked(bool on);

private:
    void fillColumnChooser();
    void writeColumnSettings();

    Ui::DlgSettings* ui;
    MainWindow* m_mainWindow;
    QSettings* m_settings;
    bool m_settingsValid = true;
    bool m_startupMode;
    QList<QListWidgetItem*> m_columnItems; // one per column key, in table order
};
