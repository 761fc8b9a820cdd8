#include "popupmenu.h"

#include <QMenu>

namespace rvx::ui {

namespace {
MenuRunner& runner()
{
    static MenuRunner instance;
    return instance;
}
} // namespace

void setMenuRunner(MenuRunner menuRunner)
{
    runner() = std::move(menuRunner);
}

void runMenu(QMenu& menu, const QPoint& globalPos)
{
    if (runner())
        runner()(menu, globalPos);
    else
        menu.exec(globalPos);
}

} // namespace rvx::ui
