#pragma once

#include "displayconfig.h"

#include <QDialog>
#include <QMap>
#include <QStringList>

#include <array>

class QComboBox;
class QPushButton;
class QRadioButton;

namespace Ui {
class DlgConfigureDisplays;
}

// The video outputs of one device: clone or extended desktop, the screen-saver timeout, and
// per output (three, or four from agent 8.4.5 on) the primary flag, position, referent,
// rotation, mode set (Raspberry Pi types only) and resolution; in the signage modes each
// output's content is edited with its "Configure" button.
//
// Starts from the selected device's configuration (the configuration store). The device's
// own resolution lists are asked for with resolutionListRequested() (requestDeviceLists()
// emits it when the agent can answer) and arrive through setResolutionLists(). After Accepted
// the caller reads values(); folders chosen in the content editors are announced with
// contentFolderPicked().
class DlgConfigureDisplays : public QDialog
{
    Q_OBJECT

public:
    DlgConfigureDisplays(QWidget* parent, const displays::Device& device);
    ~DlgConfigureDisplays() override;

    const displays::Device& device() const { return m_device; }
    int shownOutputs() const { return m_shown; }
    const displays::Settings& values() const { return m_settings; }
    // Content folders the administrator chose in this dialog (typed in an accepted editor or
    // picked with Browse).
    QStringList chosenFolders() const { return m_chosenFolders; }
    // The entries the resolution box of output 1 to 4 offers.
    QStringList resolutionEntries(int output) const;

signals:
    void resolutionListRequested();
    void contentFolderPicked(const QString& folder);

public slots:
    // Emits resolutionListRequested() once, when the agent can answer it.
    void requestDeviceLists();
    // The device's resolution lists by output number ("1" to "4"); other keys are ignored.
    void setResolutionLists(const QMap<QString, QStringList>& lists);

    void onCloneSelected(bool clone);
    void onCmbxOrientationChanged(int index);
    void onCmbxOp1PositionChanged(int index) { positionChanged(1, index); }
    void onCmbxOp2PositionChanged(int index) { positionChanged(2, index); }
    void onCmbxOp3PositionChanged(int index) { positionChanged(3, index); }
    void onCmbxOp4PositionChanged(int index) { positionChanged(4, index); }
    void onCmbxOp1ModeSetChanged(int index) { modeSetChanged(1, index); }
    void onCmbxOp2ModeSetChanged(int index) { modeSetChanged(2, index); }
    void onCmbxOp3ModeSetChanged(int index) { modeSetChanged(3, index); }
    void onCmbxOp4ModeSetChanged(int index) { modeSetChanged(4, index); }
    void onCmbxOp1ResolutionChanged(const QString& text) { resolutionChanged(1, text); }
    void onCmbxOp2ResolutionChanged(const QString& text) { resolutionChanged(2, text); }
    void onCmbxOp3ResolutionChanged(const QString& text) { resolutionChanged(3, text); }
    void onCmbxOp4ResolutionChanged(const QString& text) { resolutionChanged(4, text); }
    void onConfSignageOp1Clicked() { configureSignage(1); }
    void onConfSignageOp2Clicked() { configureSignage(2); }
    void onConfSignageOp3Clicked() { configureSignage(3); }
    void onConfSignageOp4Clicked() { configureSignage(4); }
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Row
    {
        QRadioButton* primary = nullptr;
        QComboBox* position = nullptr;
        QComboBox* referent = nullptr;
        QComboBox* orientation = nullptr;
        QComboBox* modeSet = nullptr;
        QComboBox* resolution = nullptr;
        QPushButton* signage = nullptr;
    };

    void positionChanged(int output, int index);
    void modeSetChanged(int output, int index);
    void resolutionChanged(int output, const QString& text);
    void configureSignage(int output);
    // Fills the output's resolution box with entries, keeping the shown resolution.
    void fillResolutions(int output, const QStringList& entries);
    void applyModeSetFilter(int output, bool warn);
    void updateCloneState();
    displays::Settings collect() const;
    Row& row(int output) { return m_rows[static_cast<size_t>(output - 1)]; }
    const Row& row(int output) const { return m_rows[static_cast<size_t>(output - 1)]; }

    Ui::DlgConfigureDisplays* ui;
    displays::Device m_device;
    int m_shown = 3;
    bool m_modeSetShown = false;
    bool m_signageShown = false;
    bool m_requested = false;
    displays::Settings m_settings;
    std::array<Row, displays::MaxOutputs> m_rows{};
    std::array<QStringList, displays::MaxOutputs> m_lists{}; // full list of each output
    QStringList m_chosenFolders;
};
