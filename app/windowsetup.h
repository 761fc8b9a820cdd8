#pragma once

// Steps of the main window's start-up that need no window state of their own, and the
// enabling rules of the device actions.

#include <QList>
#include <QString>

#include <functional>

class DepartmentPanel;
class MainWindow;
class QAction;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QToolBar;
class QUrl;
class QSettings;
class QWidget;
class SSLServer;

namespace Ui {
class MainWindow;
}

namespace windowsetup {

// Older releases kept the departments in "RVXServer.ini" in the temporary folder: it moves
// to the departments file's place when that does not exist yet.
void migrateLegacyDepartmentsFile(const QSettings& settings, const QString& departmentsPath);

// Finds or makes the listener's certificate and key (beside the program, else in the working
// folder, else a new self-signed pair in the working folder) and listens on `SSLPort`. A
// generated pair is described in *note. False after the "Cannot Listen on Port" box.
bool listen(QWidget* parent, const QSettings& settings, SSLServer* server, QString* note);

// The proxy of the Options dialog as the application's proxy (when enabled).
void installProxy(const QSettings& settings);

// The device actions that need one or more selected online devices, and those that need
// exactly one.
QList<QAction*> actionsNeedingOneOrMore(const Ui::MainWindow* ui);
QList<QAction*> actionsNeedingOne(const Ui::MainWindow* ui);

// Each tool-bar button runs the handler of its menu entry.
void connectToolBar(Ui::MainWindow* ui, MainWindow* window);
// The panel's and lists' signals to the window's slots.
void connectPanel(DepartmentPanel* panel, MainWindow* window);
// The agent server's reports to the window's slots (direct: the slots run inside the
// server's handlers).
void connectAgentServer(SSLServer* server, MainWindow* window);

// The logo button at the far end of the tool-bar.
QPushButton* addLogoButton(QToolBar* toolBar, const QString& toolTip);
// The device search box in a tool-bar of its own ("searchBar") on a line below the main one.
void addSearchBar(QMainWindow* window, QLineEdit* box);

// Opens a web address: through the opener tests install, never in the scripted test mode of
// the message seam, otherwise with the desktop's handler.
void setUrlOpener(std::function<bool(const QUrl&)> opener);
bool openUrl(const QUrl& url);

} // namespace windowsetup
