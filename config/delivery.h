#pragma once

// One setting as it goes to one device. Agents of major version 8 and later take the
// configuration text of the setting's category (in a configuration message); older agents
// take the binary frame of the same type. The rules of each dialog's settings build these;
// the main window only writes them and records the sentence.

#include "commands.h"
#include "messages.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace delivery {

struct Message
{
    msg::Type type = msg::Type::Configuration; // the category of the text, the type of the frame
    bool isText = false; // true: sendConfiguration(record, bytes, type); false: writeFrame(record, bytes)
    QByteArray bytes;
    QString sentence; // the audit sentence once it was written (empty: none)
};

// The text for agents of major version 8 and later, otherwise the frame.
inline Message choose(const commands::DeviceFacts& device, msg::Type type, const QByteArray& text,
                      const QByteArray& frame, const QString& sentence)
{
    const bool asText = commands::takesConfigurationText(device);
    return Message{type, asText, asText ? text : frame, sentence};
}

} // namespace delivery
