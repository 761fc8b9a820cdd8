#include "dlgperipherals.h"

#include "ask.h"
#include "configlib.h"
#include "inputrules.h"
#include "ui_dlgperipherals.h"

#include <QSignalBlocker>

using peripherals::Entry;

namespace {

bool s_alsaWarningShown = false;

QString stored(const char* key)
{
    return QString::fromLatin1(config_store_get(key));
}

QString currentCode(const QComboBox* box)
{
    return box->currentIndex() < 0 ? QString() : box->currentData().toString();
}

// Description as the text, code as the data; "None" (data "none") first when asked.
void fill(QComboBox* box, const QList<Entry>& list, bool withNone)
{
    const QSignalBlocker blocker(box);
    box->clear();
    if (withNone)
        box->addItem(DlgPeripherals::tr("None"), QStringLiteral("none"));
    for (const Entry& e : list)
        box->addItem(e.description, e.code);
}

// Selects the entry of the code; a code the list lacks is kept as an extra entry; an empty
// code selects the first entry.
void select(QComboBox* box, const QString& code)
{
    const QSignalBlocker blocker(box);
    if (rvx::selectValue(box, code, Qt::UserRole) < 0)
        box->setCurrentIndex(box->count() > 0 ? 0 : -1);
}

int indexOfCode(const QComboBox* box, const QString& code)
{
    return code.isEmpty() ? -1
                          : box->findData(code, Qt::UserRole, Qt::MatchFixedString | Qt::MatchCaseSensitive);
}

} // namespace

DlgPeripherals::DlgPeripherals(QWidget* parent, bool isPi, bool oldAudio)
    : QDialog(parent)
    , ui(new Ui::DlgPeripherals)
    , m_isPi(isPi)
    , m_oldAudio(oldAudio)
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgPeripherals::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgPeripherals::reject);

    m_models = peripherals::builtInModels();
    m_layouts = peripherals::builtInLayouts();
    m_variants = peripherals::entries(peripherals::builtInVariants(), false);
    m_optionGroups = peripherals::optionGroups(peripherals::builtInOptions());

    fillModels(peripherals::storedOr(config_store_get("kbd_model"), "pc105"));
    fillLayouts(peripherals::storedOr(config_store_get("kbd_layout"), "us"));
    fillVariants(peripherals::storedOr(config_store_get("kbd_variant"), "none"));
    fillOptionGroups(storedOptionGroup());
    fillOptions(peripherals::storedOr(config_store_get("kbd_option"), "none"));
    connect(ui->cmbxLayout, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &DlgPeripherals::onLayoutChanged);
    connect(ui->cmbxOptionGroup, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &DlgPeripherals::onOptionGroupChanged);

    ui->chbxEnaNumLock->setChecked(config_store_get("num_lock_enabled") == "yes");
    ui->chbxEnableOSK->setChecked(config_store_get("on_screen_kbd_enabled") == "yes");
    ui->sliderVol->setValue(peripherals::volumeFromStored(config_store_get("audio_volume")));
    if (config_store_get("mouse_is_righthanded") == "no")
        ui->rdbtnLeftHanded->setChecked(true);
    else
        ui->rdbtnRightHanded->setChecked(true);
    ui->sliderMouseSens->setValue(peripherals::sensitivityFromStored(config_store_get("mouse_sensitivity")));

    m_startedWithAlsa = peripherals::startsWithAlsa(isPi, oldAudio, config_store_get("audio_scheme"));
    if (m_startedWithAlsa)
        ui->rdbtnAlsa->setChecked(true);
    else
        ui->rdbtnPulse->setChecked(true);
    if (oldAudio) {
        ui->rdbtnAlsa->setEnabled(false);
        ui->rdbtnPulse->setEnabled(false);
        ui->cmbxAudioInput->setEnabled(false); // such firmware records from its one port
    }
    fillPlayback(oldAudio && isPi ? peripherals::piPlaybackDevices() : peripherals::defaultDevices());
    fillRecording(peripherals::defaultDevices());
    // ALSA's volume is set on the device itself.
    ui->sliderVol->setEnabled(!m_startedWithAlsa);
    connect(ui->rdbtnAlsa, &QRadioButton::toggled, this, &DlgPeripherals::onAlsaToggled);
}

DlgPeripherals::~DlgPeripherals()
{
    delete ui;
}

void DlgPeripherals::resetAlsaWarningForTesting()
{
    s_alsaWarningShown = false;
}

void DlgPeripherals::requestDeviceData()
{
    emit getKeyboardOptions();
    if (!m_oldAudio)
        emit getAudioDevices(peripherals::initialListsForAlsa(m_isPi, config_store_get("audio_scheme")));
}

QString DlgPeripherals::storedOptionGroup() const
{
    const QString group = stored("kbd_optgrp");
    if (!group.isEmpty() && group != QLatin1String("none"))
        return group;
    // Older agents report the option without its group.
    const QString fromOption = peripherals::groupOfOption(m_optionGroups, stored("kbd_option"));
    return fromOption.isEmpty() ? QStringLiteral("none") : fromOption;
}

// ---- keyboard ----------------------------------------------------------------------------

void DlgPeripherals::fillModels(const QString& wanted)
{
    fill(ui->cmbxModel, peripherals::entries(m_models, true), false);
    select(ui->cmbxModel, wanted);
}

void DlgPeripherals::fillLayouts(const QString& wanted)
{
    fill(ui->cmbxLayout, peripherals::entries(m_layouts, true), false);
    select(ui->cmbxLayout, wanted);
}

void DlgPeripherals::fillVariants(const QString& wanted)
{
    fill(ui->cmbxVariant, peripherals::variantsOf(m_variants, currentCode(ui->cmbxLayout)), true);
    select(ui->cmbxVariant, wanted);
}

void DlgPeripherals::fillOptionGroups(const QString& wanted)
{
    QList<Entry> groups;
    for (const peripherals::OptionGroup& g : qAsConst(m_optionGroups))
        groups.append(g.group);
    std::stable_sort(groups.begin(), groups.end(),
                     [](const Entry& a, const Entry& b) { return a.description < b.description; });
    fill(ui->cmbxOptionGroup, groups, true);
    select(ui->cmbxOptionGroup, wanted);
}

void DlgPeripherals::fillOptions(const QString& wanted)
{
    const QString group = currentCode(ui->cmbxOptionGroup);
    QList<Entry> options;
    for (const peripherals::OptionGroup& g : qAsConst(m_optionGroups)) {
        if (g.group.code == group)
            options = g.options;
    }
    std::stable_sort(options.begin(), options.end(),
                     [](const Entry& a, const Entry& b) { return a.description < b.description; });
    fill(ui->cmbxOption, options, true);
    select(ui->cmbxOption, wanted);
}

void DlgPeripherals::onLayoutChanged(int index)
{
    Q_UNUSED(index)
    fillVariants(QStringLiteral("none"));
}

void DlgPeripherals::onOptionGroupChanged(int index)
{
    Q_UNUSED(index)
    fillOptions(QStringLiteral("none"));
}

void DlgPeripherals::setKeyboardLists(const QMap<QString, QStringList>& lists)
{
    const QString model = currentCode(ui->cmbxModel);
    const QString layout = currentCode(ui->cmbxLayout);
    const QString variant = currentCode(ui->cmbxVariant);
    const QString group = currentCode(ui->cmbxOptionGroup);
    const QString option = currentCode(ui->cmbxOption);

    if (auto list = peripherals::reportedList(lists, {QStringLiteral("model"), QStringLiteral("models")})) {
        m_models = *list;
        fillModels(model);
    }
    const auto layouts =
        peripherals::reportedList(lists, {QStringLiteral("layout"), QStringLiteral("layouts")});
    if (layouts) {
        m_layouts = *layouts;
        fillLayouts(layout);
    }
    const auto variants =
        peripherals::reportedList(lists, {QStringLiteral("variant"), QStringLiteral("variants")});
    if (variants)
        m_variants = peripherals::entries(*variants, false);
    if (layouts || variants)
        fillVariants(variant);
    if (auto list = peripherals::reportedList(lists, {QStringLiteral("option"), QStringLiteral("options")})) {
        m_optionGroups = peripherals::optionGroups(*list);
        fillOptionGroups(group);
        fillOptions(option);
    }
}

// ---- audio ------------------------------------------------------------------------------------

void DlgPeripherals::fillPlayback(const QStringList& list)
{
    QComboBox* box = ui->cmbxAudioOutput;
    const QString current = currentCode(box);
    fill(box, peripherals::entries(list, false), false);
    const QSignalBlocker blocker(box);
    // Firmware with old audio takes the audio port; other firmware the output device, and
    // the port of older settings when the device has none of the list.
    const QString output = stored("audio_output_dev");
    const QString port = stored("audio_port_type");
    const QString first = m_oldAudio ? port : output;
    const QString second = m_oldAudio ? output : port;
    // A stored device belongs to the stored scheme's list; after a change of scheme the
    // first device of the new list stands in for it.
    const bool sameScheme = ui->rdbtnAlsa->isChecked() == m_startedWithAlsa;
    if (indexOfCode(box, current) >= 0)
        box->setCurrentIndex(indexOfCode(box, current));
    else if (indexOfCode(box, first) >= 0)
        box->setCurrentIndex(indexOfCode(box, first));
    else if (indexOfCode(box, second) >= 0)
        box->setCurrentIndex(indexOfCode(box, second));
    else if (sameScheme && !first.isEmpty())
        rvx::selectValue(box, first, Qt::UserRole);
    else
        box->setCurrentIndex(box->count() > 0 ? 0 : -1);
}

void DlgPeripherals::fillRecording(const QStringList& list)
{
    QComboBox* box = ui->cmbxAudioInput;
    const QString current = currentCode(box);
    fill(box, peripherals::entries(list, false), false);
    const QSignalBlocker blocker(box);
    const QString input = stored("audio_input_dev");
    const bool sameScheme = ui->rdbtnAlsa->isChecked() == m_startedWithAlsa;
    if (indexOfCode(box, current) >= 0)
        box->setCurrentIndex(indexOfCode(box, current));
    else if (indexOfCode(box, input) >= 0)
        box->setCurrentIndex(indexOfCode(box, input));
    else if (sameScheme && !input.isEmpty())
        rvx::selectValue(box, input, Qt::UserRole);
    else
        box->setCurrentIndex(box->count() > 0 ? 0 : -1);
}

void DlgPeripherals::setAudioDevices(const QMap<QString, QStringList>& lists)
{
    if (m_oldAudio)
        return; // such firmware has no devices to choose
    const auto outputs = lists.constFind(QStringLiteral("outputs"));
    if (outputs != lists.constEnd())
        fillPlayback(outputs.value());
    const auto inputs = lists.constFind(QStringLiteral("inputs"));
    if (inputs != lists.constEnd())
        fillRecording(inputs.value());
}

void DlgPeripherals::onAlsaToggled(bool on)
{
    ui->sliderVol->setEnabled(!on);
    emit getAudioDevices(on);
    if (on && !s_alsaWarningShown) {
        s_alsaWarningShown = true;
        rvx::Ask::warning(
            this, tr("Not Recommended"),
            tr("\nALSA is a low-level audio implementation that PulseAudio improves upon.  Turning off the "
               "PulseAudio layer is not recommended except on devices lacking in CPU power that exhibit "
               "noticeable audio lag when using PulseAudio, such as Raspberry Pis.\n\nIf you choose to use "
               "ALSA, you must configure audio properties - including audio volume - using the alsamixergui "
               "utility, accessible via the <Ctrl><Alt>v keyboard shortcut."));
    }
}

// ---- results ------------------------------------------------------------------------------------

void DlgPeripherals::accept()
{
    m_result.model = currentCode(ui->cmbxModel);
    m_result.layout = currentCode(ui->cmbxLayout);
    m_result.variant = currentCode(ui->cmbxVariant);
    m_result.optionGroup = currentCode(ui->cmbxOptionGroup);
    m_result.option = currentCode(ui->cmbxOption);
    m_result.recordingDevice = currentCode(ui->cmbxAudioInput);
    m_result.playbackDevice = currentCode(ui->cmbxAudioOutput);
    m_result.numLock = ui->chbxEnaNumLock->isChecked();
    m_result.onScreenKeyboard = ui->chbxEnableOSK->isChecked();
    m_result.alsa = ui->rdbtnAlsa->isChecked();
    m_result.volume = quint16(ui->sliderVol->value());
    m_result.mouseSensitivity = quint16(ui->sliderMouseSens->value());
    m_result.rightHanded = ui->rdbtnRightHanded->isChecked();
    QDialog::accept();
}

void DlgPeripherals::reject()
{
    QDialog::reject();
}
