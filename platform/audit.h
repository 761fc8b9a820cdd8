#pragma once

#include <QString>

// The audit trail. Every change the administrator makes to devices or departments is
// recorded as one sentence. On Windows the sentence goes to the Application event log
// through eventcreate; elsewhere to the system log through logger -t RVX. The recorded
// description is the user name, one space, and the sentence.
void logEvent(const QString& text);
