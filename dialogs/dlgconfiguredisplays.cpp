#include "dlgconfiguredisplays.h"

#include "ask.h"
#include "configlib.h"
#include "dlgdigitalsignage.h"
#include "dlgsignage.h"
#include "inputrules.h"
#include "ui_dlgconfiguredisplays.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

namespace {

QByteArray storeValue(const QByteArray& key)
{
    return config_store_get(key);
}

// Selects the entry whose data is the value; an empty value selects the fallback's entry, and a
// value the box does not list is shown and kept (see rvx::selectValue).
void select(QComboBox* box, const QString& value, const QString& fallback)
{
    rvx::selectValue(box, value.isEmpty() ? fallback : value, Qt::UserRole);
}

void fill(QComboBox* box, const QList<std::pair<QString, QString>>& entries)
{
    for (const auto& entry : entries)
        box->addItem(entry.first, entry.second);
}

QString dataOf(const QComboBox* box)
{
    return box->currentData(Qt::UserRole).toString();
}

} // namespace

DlgConfigureDisplays::DlgConfigureDisplays(QWidget* parent, const displays::Device& device)
    : QDialog(parent)
    , ui(new Ui::DlgConfigureDisplays)
    , m_device(device)
    , m_shown(displays::outputCount(device.clientVersion))
    , m_modeSetShown(displays::showsModeSet(device.firmwareType))
    , m_signageShown(displays::showsSignage(device.protocol))
    , m_settings(displays::loadSettings(storeValue))
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgConfigureDisplays::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgConfigureDisplays::reject);

    ui->rdbtnExtended->setChecked(m_settings.extended);
    ui->rdbtnClone->setChecked(!m_settings.extended);
    ui->tbxTimeout->setText(m_settings.timeout);

    bool anyPrimary = false;
    for (int n = 1; n <= displays::MaxOutputs; ++n) {
        Row& r = row(n);
        r.primary = findChild<QRadioButton*>(QStringLiteral("rdbtnPrimary%1").arg(n));
        r.position = findChild<QComboBox*>(QStringLiteral("cmbxOp%1Position").arg(n));
        r.referent = findChild<QComboBox*>(QStringLiteral("cmbxOp%1Referent").arg(n));
        r.orientation = findChild<QComboBox*>(QStringLiteral("cmbxOp%1Orientation").arg(n));
        r.modeSet = findChild<QComboBox*>(QStringLiteral("cmbxOp%1ModeSet").arg(n));
        r.resolution = findChild<QComboBox*>(QStringLiteral("cmbxOp%1Resolution").arg(n));
        r.signage = findChild<QPushButton*>(QStringLiteral("btnConfSignageOp%1").arg(n));
        const displays::Output& o = m_settings.outputs[static_cast<size_t>(n - 1)];

        fill(r.position, {{tr("Right of"), QStringLiteral("rightof")},
                          {tr("Left of"), QStringLiteral("leftof")},
                          {tr("Above"), QStringLiteral("above")},
                          {tr("Below"), QStringLiteral("below")},
                          {tr("None"), QStringLiteral("none")}});
        select(r.position, o.position, QStringLiteral("none"));
        for (int k = 1; k <= displays::MaxOutputs; ++k) {
            if (k != n)
                r.referent->addItem(tr("Output %1").arg(k), QString::number(k));
        }
        r.referent->addItem(tr("None"), QStringLiteral("0"));
        select(r.referent, QString::number(o.referent), QStringLiteral("0"));
        fill(r.orientation, {{tr("Normal"), QStringLiteral("normal")},
                             {tr("Left"), QStringLiteral("left")},
                             {tr("Right"), QStringLiteral("right")},
                             {tr("Inverted"), QStringLiteral("inverted")}});
        select(r.orientation, displays::shownOrientation(o.orientation), QStringLiteral("normal"));
        fill(r.modeSet, {{tr("Auto"), QStringLiteral("auto")},
                         {tr("CEA (TV)"), QStringLiteral("cea")},
                         {tr("DMT (Monitor)"), QStringLiteral("dmt")}});
        select(r.modeSet, o.modeSet, QStringLiteral("dmt"));

        m_lists[static_cast<size_t>(n - 1)] = displays::defaultResolutions();
        r.resolution->addItems(displays::defaultResolutions());
        int index =
            displays::findResolution(displays::defaultResolutions(), o.resolution, o.modeSet, o.modeNumber);
        if (index < 0 && !o.resolution.isEmpty()) {
            // A resolution the list does not offer stays as it is rather than becoming another one.
            r.resolution->addItem(o.resolution);
            index = r.resolution->count() - 1;
        }
        r.resolution->setCurrentIndex(qMax(0, index));

        if (n <= m_shown && o.primary && !anyPrimary) {
            r.primary->setChecked(true);
            anyPrimary = true;
        }
        const bool shown = n <= m_shown;
        for (QWidget* w : {static_cast<QWidget*>(r.primary), static_cast<QWidget*>(r.position),
                           static_cast<QWidget*>(r.referent), static_cast<QWidget*>(r.orientation),
                           static_cast<QWidget*>(r.modeSet), static_cast<QWidget*>(r.resolution),
                           static_cast<QWidget*>(r.signage)})
            w->setVisible(shown);
        r.modeSet->setVisible(shown && m_modeSetShown);
        r.signage->setVisible(shown && m_signageShown);
    }
    if (!anyPrimary)
        row(1).primary->setChecked(true);
    ui->lblHdrModeSet->setVisible(m_modeSetShown);
    ui->lblHdrSignage->setVisible(m_signageShown);

    connect(ui->rdbtnClone, &QRadioButton::toggled, this, &DlgConfigureDisplays::onCloneSelected);
    for (int n = 1; n <= displays::MaxOutputs; ++n) {
        Row& r = row(n);
        connect(r.position, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                [this, n](int index) { positionChanged(n, index); });
        connect(r.orientation, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &DlgConfigureDisplays::onCmbxOrientationChanged);
        connect(r.modeSet, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                [this, n](int index) { modeSetChanged(n, index); });
        connect(r.resolution, &QComboBox::currentTextChanged, this,
                [this, n](const QString& text) { resolutionChanged(n, text); });
        connect(r.signage, &QPushButton::clicked, this, [this, n]() { configureSignage(n); });
    }
    updateCloneState();
}

DlgConfigureDisplays::~DlgConfigureDisplays()
{
    delete ui;
}

QStringList DlgConfigureDisplays::resolutionEntries(int output) const
{
    QStringList entries;
    const QComboBox* box = row(output).resolution;
    for (int i = 0; i < box->count(); ++i)
        entries << box->itemText(i);
    return entries;
}

void DlgConfigureDisplays::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    requestDeviceLists();
}

void DlgConfigureDisplays::requestDeviceLists()
{
    if (m_requested || !displays::requestsResolutions(m_device.clientVersion))
        return;
    m_requested = true;
    emit resolutionListRequested();
}

void DlgConfigureDisplays::setResolutionLists(const QMap<QString, QStringList>& lists)
{
    for (auto it = lists.cbegin(); it != lists.cend(); ++it) {
        bool ok = false;
        const int n = it.key().toInt(&ok, 10);
        if (!ok || n < 1 || n > displays::MaxOutputs || it.value().isEmpty())
            continue;
        m_lists[static_cast<size_t>(n - 1)] = it.value();
        fillResolutions(n, it.value());
        if (m_modeSetShown)
            applyModeSetFilter(n, false);
    }
}

void DlgConfigureDisplays::fillResolutions(int output, const QStringList& entries)
{
    QComboBox* box = row(output).resolution;
    const QString current = box->currentText();
    const displays::Resolution shown = displays::parseResolution(current);
    box->blockSignals(true);
    box->clear();
    box->addItems(entries);
    int index = shown.automatic
                    ? -1
                    : displays::findResolution(entries, shown.resolution, shown.modeSet, shown.modeNumber);
    if (shown.automatic) {
        for (int i = 0; i < entries.size() && index < 0; ++i) {
            if (displays::parseResolution(entries.at(i)).automatic)
                index = i;
        }
    }
    if (index < 0 && !current.isEmpty() && !shown.automatic) {
        box->addItem(current);
        index = box->count() - 1;
    }
    box->setCurrentIndex(qMax(0, index));
    box->blockSignals(false);
}

void DlgConfigureDisplays::applyModeSetFilter(int output, bool warn)
{
    const QStringList filtered = displays::filterForModeSet(m_lists[static_cast<size_t>(output - 1)],
                                                            row(output).modeSet->currentIndex());
    if (filtered.isEmpty())
        return;
    fillResolutions(output, filtered);
    if (warn)
        rvx::Ask::warning(
            this, tr("Mode Set Change"),
            tr("\nThe full resolution list for a new Mode Set may not be available until after the "
               "device is rebooted."));
}

void DlgConfigureDisplays::onCloneSelected(bool)
{
    updateCloneState();
    if (m_modeSetShown)
        applyModeSetFilter(1, false);
    resolutionChanged(1, row(1).resolution->currentText());
}

void DlgConfigureDisplays::updateCloneState()
{
    const bool clone = ui->rdbtnClone->isChecked();
    for (int n = 1; n <= displays::MaxOutputs; ++n) {
        Row& r = row(n);
        if (clone) {
            r.position->setCurrentIndex(r.position->findData(QStringLiteral("none")));
            r.referent->setCurrentIndex(r.referent->findData(QStringLiteral("0")));
        }
        r.position->setEnabled(!clone);
        r.referent->setEnabled(!clone);
        // dsi shows content on three outputs at most.
        const bool signageOutput = m_device.protocol != "dsi" || n <= signage::OutputCount;
        r.signage->setEnabled(signageOutput && (!clone || n == 1));
    }
}

void DlgConfigureDisplays::onCmbxOrientationChanged(int) {}

void DlgConfigureDisplays::positionChanged(int output, int)
{
    // An output placed nowhere is placed against nothing.
    Row& r = row(output);
    if (dataOf(r.position) == QLatin1String("none"))
        r.referent->setCurrentIndex(r.referent->findData(QStringLiteral("0")));
}

void DlgConfigureDisplays::modeSetChanged(int output, int index)
{
    QList<int> outputs{output};
    if (ui->rdbtnClone->isChecked()) {
        outputs.clear();
        for (int n = 1; n <= displays::MaxOutputs; ++n) {
            QComboBox* box = row(n).modeSet;
            box->blockSignals(true);
            box->setCurrentIndex(index);
            box->blockSignals(false);
            outputs << n;
        }
    }
    bool warned = false;
    for (int n : outputs) {
        const bool filtered =
            !displays::filterForModeSet(m_lists[static_cast<size_t>(n - 1)], row(n).modeSet->currentIndex())
                 .isEmpty();
        applyModeSetFilter(n, filtered && !warned && n <= m_shown);
        warned = warned || (filtered && n <= m_shown);
    }
}

void DlgConfigureDisplays::resolutionChanged(int output, const QString& text)
{
    static const QRegularExpression reference(QStringLiteral("\\((CEA|DMT) "));
    if (!text.startsWith(QLatin1String("Auto")) && reference.match(text).hasMatch()) {
        const displays::Resolution r = displays::parseResolution(text);
        QComboBox* modeSet = row(output).modeSet;
        modeSet->blockSignals(true);
        modeSet->setCurrentIndex(modeSet->findData(r.modeSet));
        modeSet->blockSignals(false);
    }
    if (!ui->rdbtnClone->isChecked())
        return;
    const QString word = text.section(QLatin1Char(' '), 0, 0);
    for (int n = 1; n <= displays::MaxOutputs; ++n) {
        if (n == output)
            continue;
        QComboBox* box = row(n).resolution;
        int index = box->findText(text);
        for (int i = 0; i < box->count() && index < 0; ++i) {
            if (box->itemText(i).section(QLatin1Char(' '), 0, 0).compare(word, Qt::CaseInsensitive) == 0)
                index = i;
        }
        box->blockSignals(true);
        box->setCurrentIndex(qMax(0, index));
        box->blockSignals(false);
    }
}

void DlgConfigureDisplays::configureSignage(int output)
{
    signage::OutputValues values = m_settings.signage[static_cast<size_t>(output - 1)];
    if (m_device.protocol == "dsi") {
        DlgDigitalSignage editor(this, output, values);
        QStringList picked;
        connect(&editor, &DlgDigitalSignage::folderPicked, this,
                [&picked](const QString& f) { picked << f; });
        if (rvx::Ask::exec(&editor) != QDialog::Accepted)
            return;
        for (const QString& folder : qAsConst(picked))
            emit contentFolderPicked(folder);
        if (signage::isLocalContent(values.action, values.url) && !m_chosenFolders.contains(values.source))
            m_chosenFolders << values.source;
    } else {
        DlgSignage editor(this, output, values, m_device.localServerAddress);
        if (rvx::Ask::exec(&editor) != QDialog::Accepted)
            return;
    }
    m_settings.signage[static_cast<size_t>(output - 1)] = values;
}

displays::Settings DlgConfigureDisplays::collect() const
{
    displays::Settings s = m_settings;
    s.extended = ui->rdbtnExtended->isChecked();
    s.timeout = ui->tbxTimeout->text().trimmed();
    for (int n = 1; n <= displays::MaxOutputs; ++n) {
        const Row& r = row(n);
        displays::Output& o = s.outputs[static_cast<size_t>(n - 1)];
        o.position = dataOf(r.position);
        o.referent = dataOf(r.referent).toInt();
        o.orientation = displays::storedOrientation(dataOf(r.orientation));
        const displays::Resolution res = displays::parseResolution(r.resolution->currentText());
        o.resolution = res.resolution;
        o.modeSet = dataOf(r.modeSet);
        o.modeNumber.clear();
        if (!res.automatic && !res.modeSet.isEmpty()) {
            o.modeSet = res.modeSet;
            o.modeNumber = res.modeNumber;
        }
        o.primary = n <= m_shown && r.primary->isChecked();
    }
    return s;
}

void DlgConfigureDisplays::accept()
{
    const displays::Settings s = collect();
    if (const std::optional<QString> problem = displays::validationProblem(s, m_shown, m_device.protocol)) {
        rvx::Ask::critical(this, tr("Invalid configuration"), *problem);
        return;
    }
    for (int n = 1; n <= signage::OutputCount; ++n)
        m_settings.signage[static_cast<size_t>(n - 1)].enabled = n <= displays::signageOutputs(s, m_shown);
    displays::Settings done = s;
    done.signage = m_settings.signage;
    m_settings = done;
    QDialog::accept();
}
