#pragma once

// Rules the dialogs share for what the administrator enters or what a device reports.

#include <QString>

class QComboBox;
class QWidget;

namespace rvx {

// Texts that go on the wire travel as Latin-1: a character without a Latin-1 byte would
// arrive as "?". True when every character has one; otherwise a critical box with the title
// says that the `what` (for example "password") may only contain Latin-1 characters, and the
// result is false.
bool acceptLatin1(QWidget* parent, const QString& title, const QString& value,
                  const QString& what = QStringLiteral("password"));

// Selects the entry of a combo box that holds the value (its text, or its data under the
// role). A stored value the box does not list (a device may report one a newer agent knows)
// is added as an extra entry and selected, so the dialog shows it and sends it back
// unchanged instead of an empty or wrong value. An empty value changes nothing. Returns the
// selected index (-1 for an empty value).
int selectValue(QComboBox* box, const QString& value, int role = -1);

} // namespace rvx
