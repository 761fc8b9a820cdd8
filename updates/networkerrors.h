#pragma once

// The administrator's texts for the errors a download from the mirror can end with.

#include <QString>

namespace updates {

// The text of a network error code (QNetworkReply::NetworkError); "Unknown error" for codes
// without one of their own. Code 2 (the remote host closed the connection) has the empty
// text: it is counted but not reported.
QString networkErrorText(int code);

} // namespace updates
