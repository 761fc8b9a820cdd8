#include "savefile.h"

#include <QSaveFile>

namespace rvx {

bool writeChecked(QSaveFile& file, const QByteArray& data, QString* error)
{
    if (file.write(data) == data.size() && file.flush() && file.error() == QFileDevice::NoError)
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

bool writeAndCommit(QSaveFile& file, const QByteArray& data, QString* error)
{
    if (!writeChecked(file, data, error)) {
        file.cancelWriting();
        return false;
    }
    if (file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

} // namespace rvx
