#pragma once

// Upgrading devices from the server's stores: firmware images, agent packages and hotfixes.
// The devices are sent a message naming files on the server and pull them over their agent
// connections; each named file is admitted to the file transfer for this run.

#include <QString>

class ThinclientInfo;
struct WindowContext;

namespace upgrade {
struct ChoiceTexts;
}

class UpgradeCommands
{
public:
    explicit UpgradeCommands(WindowContext& context);

    void firmware();
    void agent();
    void hotfix();

private:
    // The newest version folder, or one the administrator picks: empty when cancelled.
    QString chooseFolder(const upgrade::ChoiceTexts& texts, const QString& store, const QString& newest);
    // What agents may pull from now on.
    void admit(const QString& path);

    WindowContext& m_context;
};
