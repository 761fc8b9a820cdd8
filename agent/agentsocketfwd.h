#pragma once

// The type an agent's connection is kept as (see agentsocket.h): Qt's TLS socket or the
// agent library's own TlsConnection, both QIODevices.

class QIODevice;
using AgentSocket = QIODevice;
