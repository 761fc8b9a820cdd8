#pragma once

// Shows a message box that a rule below the GUI chose, through the Ask seam.

#include "box.h"

#include <QMessageBox>

class QWidget;

namespace rvx {

// Critical, warning and information boxes return Ok; a question is Yes/No with the box's
// default and returns the button pressed.
QMessageBox::StandardButton showBox(QWidget* parent, const upgrade::Box& box);

} // namespace rvx
