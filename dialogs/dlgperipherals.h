#pragma once

#include "peripheralsconfig.h"

#include <QDialog>
#include <QMap>
#include <QString>
#include <QStringList>

class QComboBox;

namespace Ui {
class DlgPeripherals;
}

// "Keyboard, Mouse and Audio": keyboard model, layout, variant, option group and option, num
// lock and the on-screen keyboard; pointer speed and button layout; volume, audio scheme and
// devices of one device. Starts from the built-in keyboard lists and the device's values in
// the configuration store; the device's own keyboard and audio lists replace the lists when
// they arrive. A stored or reported value a list lacks is kept as an extra entry.
//
// `isPi`: the device is a Raspberry Pi. `oldAudio`: its firmware takes one audio port and
// cannot choose devices (the scheme cannot be changed then).
//
// The caller connects getKeyboardOptions() and getAudioDevices(bool) to the requests, calls
// requestDeviceData(), routes the device's answers to setKeyboardLists() and
// setAudioDevices() while the dialog is open, and reads settings() after Accepted.
class DlgPeripherals : public QDialog
{
    Q_OBJECT

public:
    DlgPeripherals(QWidget* parent, bool isPi, bool oldAudio);
    ~DlgPeripherals() override;

    // Emits the requests the dialog needs answered: the keyboard lists, and unless the
    // firmware has old audio the audio devices of the stored scheme.
    void requestDeviceData();

    // The results after Accepted.
    peripherals::PeripheralsSettings settings() const { return m_result; }
    QString model() const { return m_result.model; }
    QString layout() const { return m_result.layout; }
    QString variant() const { return m_result.variant; }
    QString optionGroup() const { return m_result.optionGroup; }
    QString option() const { return m_result.option; }
    QString audioScheme() const { return m_result.alsa ? QStringLiteral("alsa") : QStringLiteral("pulse"); }
    QString recordingDevice() const { return m_result.recordingDevice; }
    QString playbackDevice() const { return m_result.playbackDevice; }
    bool numLock() const { return m_result.numLock; }
    quint16 volume() const { return m_result.volume; }
    quint16 mouseSensitivity() const { return m_result.mouseSensitivity; }
    bool rightHanded() const { return m_result.rightHanded; }
    bool onScreenKeyboard() const { return m_result.onScreenKeyboard; }

    // The ALSA warning is shown once per run of the program; tests start afresh.
    static void resetAlsaWarningForTesting();

signals:
    void getKeyboardOptions();
    void getAudioDevices(bool forAlsa);

public slots:
    // The device's keyboard lists: "model"/"models", "layout"/"layouts", "variant"/"variants",
    // "option"/"options"; each present list replaces the built-in one.
    void setKeyboardLists(const QMap<QString, QStringList>& lists);
    // The device's audio devices: "outputs" (playback) and "inputs" (recording).
    void setAudioDevices(const QMap<QString, QStringList>& lists);
    void onLayoutChanged(int index);
    void onOptionGroupChanged(int index);
    void onAlsaToggled(bool on);
    void accept() override;
    void reject() override;

private:
    void fillModels(const QString& wanted);
    void fillLayouts(const QString& wanted);
    void fillVariants(const QString& wanted);
    void fillOptionGroups(const QString& wanted);
    void fillOptions(const QString& wanted);
    void fillPlayback(const QStringList& list);
    void fillRecording(const QStringList& list);
    QString storedOptionGroup() const;

    Ui::DlgPeripherals* ui;
    bool m_isPi;
    bool m_oldAudio;
    bool m_startedWithAlsa = false;
    QStringList m_models;
    QStringList m_layouts;
    QList<peripherals::Entry> m_variants;
    QList<peripherals::OptionGroup> m_optionGroups;
    peripherals::PeripheralsSettings m_result;
};
