#include "boxes.h"

#include "ask.h"

namespace rvx {

QMessageBox::StandardButton showBox(QWidget* parent, const upgrade::Box& box)
{
    using Kind = upgrade::Box::Kind;
    switch (box.kind) {
    case Kind::Question:
        return Ask::question(parent, box.title, box.text, QMessageBox::Yes | QMessageBox::No,
                             box.defaultYes ? QMessageBox::Yes : QMessageBox::No);
    case Kind::Information:
        return Ask::information(parent, box.title, box.text);
    case Kind::Warning:
        return Ask::warning(parent, box.title, box.text);
    case Kind::Critical:
        break;
    }
    return Ask::critical(parent, box.title, box.text);
}

} // namespace rvx
