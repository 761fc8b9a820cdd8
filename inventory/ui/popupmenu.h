#pragma once

#include <QPoint>

#include <functional>

class QMenu;

// How the inventory widgets show their pop-up menus. By default the menu runs modally at the
// given global position; tests install a runner that reads the entries and triggers one.
namespace rvx::ui {

using MenuRunner = std::function<void(QMenu& menu, const QPoint& globalPos)>;
void setMenuRunner(MenuRunner runner); // an empty runner restores the default
void runMenu(QMenu& menu, const QPoint& globalPos);

} // namespace rvx::ui
