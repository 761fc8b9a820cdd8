#pragma once

#include <QByteArray>
#include <QString>

class QSaveFile;

namespace rvx {

// Writes `data` into an open QSaveFile and pushes it out to the file system, checking every
// step. QSaveFile::commit() alone does not notice a write that the file system refuses while
// the last buffered bytes are flushed (a full disk), and would put a short or empty file in
// place of the old one; a file is committed only after this has returned true. False, with
// the reason in *error when given, when any byte was refused.
bool writeChecked(QSaveFile& file, const QByteArray& data, QString* error = nullptr);

// writeChecked, then commit(). On failure the writing is cancelled (the old file stays) and
// *error says why.
bool writeAndCommit(QSaveFile& file, const QByteArray& data, QString* error = nullptr);

} // namespace rvx
