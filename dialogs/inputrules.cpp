#include "inputrules.h"

#include "ask.h"
#include "commands.h"

#include <QComboBox>

namespace rvx {

bool acceptLatin1(QWidget* parent, const QString& title, const QString& value, const QString& what)
{
    if (commands::isLatin1(value))
        return true;
    Ask::critical(parent, title,
                  QStringLiteral("\nThe ") + what +
                      QStringLiteral(" may only contain characters of the Latin-1 (Western European) "
                                     "character set."));
    return false;
}

int selectValue(QComboBox* box, const QString& value, int role)
{
    if (!box || value.isEmpty())
        return -1;
    int index = role < 0 ? box->findText(value, Qt::MatchFixedString | Qt::MatchCaseSensitive)
                         : box->findData(value, role, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (index < 0) {
        box->addItem(value);
        index = box->count() - 1;
        if (role >= 0)
            box->setItemData(index, value, role);
    }
    box->setCurrentIndex(index);
    return index;
}

} // namespace rvx
