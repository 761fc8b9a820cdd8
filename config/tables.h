#pragma once

// Internal to the configuration library: the protocol option defaults.

#include <QByteArray>

#include <optional>

namespace configtables {

// Default of an option of a protocol (both 1-based); nothing when the option does not apply.
std::optional<QByteArray> optionDefault(int protocol, int option);
// True when every word of the defaults table names a known option (checked by the tests).
bool defaultsTableIsConsistent();

} // namespace configtables
