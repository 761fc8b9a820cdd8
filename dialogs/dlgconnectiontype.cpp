#include "dlgconnectiontype.h"

#include "ask.h"
#include "configlib.h"
#include "dlgtextviewer.h"
#include "inputrules.h"
#include "ui_dlgconnectiontype.h"

#include <QComboBox>

using namespace appmode;

namespace {

QByteArray storeValue(const QByteArray& key)
{
    return config_store_get(key);
}

QString yesNo(bool on)
{
    return on ? QStringLiteral("yes") : QStringLiteral("no");
}

int number(const QString& text, int fallback)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? value : fallback;
}

} // namespace

DlgConnectionType::DlgConnectionType(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::DlgConnectionType)
    , m_settings(loadSettings(storeValue))
{
    ui->setupUi(this);
    m_combos = {{ui->cmbxSubtype, Subtype},
                {ui->cmbxWindowSize, WindowSize},
                {ui->cmbxGraphicsQuality, GraphicsQuality},
                {ui->cmbxAudioQuality, AudioQuality},
                {ui->cmbxLatency, Latency},
                {ui->cmbxSecurity, Security},
                {ui->cmbxRedirectAudio, RedirectAudio},
                {ui->cmbxRedirectMic, RedirectMic},
                {ui->cmbxRedirectUsb, RedirectUsb},
                {ui->cmbxRedirectSerial, RedirectSerial},
                {ui->cmbxComPort, ComPort},
                {ui->cmbxExitAction, AutoReconnect}};

    for (const auto& entry : modeList())
        ui->cmbxConxType->addItem(entry.second, QString::fromLatin1(config_protocol_name(entry.first)));
    const QString stored = QString::fromLatin1(m_settings.connectionType);
    if (stored.isEmpty())
        ui->cmbxConxType->setCurrentIndex(0);
    else if (ui->cmbxConxType->findData(stored) < 0) {
        // A mode this list does not offer (an older one, or one a newer agent knows) stays chosen.
        const QString label = modeLabel(config_protocol_index(stored.toLatin1()));
        ui->cmbxConxType->addItem(label.isEmpty() ? stored : label, stored);
    }
    rvx::selectValue(ui->cmbxConxType, stored, Qt::UserRole);
    m_shownProtocol = protocol();

    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgConnectionType::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgConnectionType::reject);
    connect(ui->cmbxConxType, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &DlgConnectionType::onConxnTypeChanged);
    connect(ui->btnSetDefaults, &QPushButton::clicked, this, &DlgConnectionType::onSetDefaults);
    connect(ui->btnGetRemoteHelp, &QPushButton::clicked, this, &DlgConnectionType::onGetModeHelpClicked);
    connect(ui->chbxAutoLogin, &QCheckBox::clicked, this, &DlgConnectionType::onAutoLoginClicked);
    connect(ui->chbxShowPassword, &QCheckBox::clicked, this, &DlgConnectionType::onShowPasswordClicked);
    connect(ui->cmbxWindowSize, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &DlgConnectionType::onWndSizeChanged);
    connect(ui->cmbxRedirectUsb, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &DlgConnectionType::onRedirUsbChanged);
    connect(ui->btnShowUsbRedirs, &QPushButton::clicked, this, &DlgConnectionType::onShowUsbRedirsClicked);
    connect(ui->cmbxRedirectSerial, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &DlgConnectionType::onRedirSerialChanged);
    connect(ui->cmbxGraphicsQuality, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &DlgConnectionType::onGraphicsQualityChanged);
    connect(ui->cmbxExitAction, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &DlgConnectionType::onExitActionChanged);

    load(m_shownProtocol);
}

DlgConnectionType::~DlgConnectionType()
{
    delete ui;
}

int DlgConnectionType::protocol() const
{
    return config_protocol_index(protocolName());
}

QByteArray DlgConnectionType::protocolName() const
{
    return ui->cmbxConxType->currentData(Qt::UserRole).toString().toLatin1();
}

QString DlgConnectionType::comboValue(const QComboBox* box) const
{
    return box->currentData(Qt::UserRole).toString();
}

void DlgConnectionType::load(int p)
{
    m_loading = true;
    for (const ComboOption& c : qAsConst(m_combos)) {
        c.box->clear();
        for (const Choice& choice : choices(p, c.option))
            c.box->addItem(choice.label, choice.value);
        const bool has = hasOption(p, c.option);
        if (has)
            rvx::selectValue(c.box, m_settings.value(p, c.option), Qt::UserRole);
        c.box->setEnabled(has && c.box->count() > 0);
    }
    auto text = [&](QLineEdit* edit, int option) {
        edit->setText(m_settings.value(p, option));
        edit->setEnabled(hasOption(p, option));
    };
    text(ui->tbxHostnamePort, Server);
    text(ui->tbxProxy, Proxy);
    text(ui->tbxUsername, AutologinUserid);
    text(ui->tbxPassword, AutologinPassword);
    text(ui->tbxCmdlineArgs, CmdlineArgs);
    ui->chbxAutoLogin->setChecked(m_settings.value(p, AutologinEnabled) == QLatin1String("yes"));
    ui->chbxAutoLogin->setEnabled(hasOption(p, AutologinEnabled));
    ui->chbxAutoLogin->setText(loginAppliesToProxy(p) ? tr("Proxy Login") : tr("Auto Login"));
    ui->chbxShowPassword->setEnabled(hasOption(p, AutologinPassword));
    ui->chbxKioskMode->setChecked(m_settings.value(p, KioskMode) == QLatin1String("yes"));
    ui->chbxKioskMode->setEnabled(hasOption(p, KioskMode));
    ui->sboxIdleTimeout->setValue(number(m_settings.value(p, IdleTimeout), 0));
    ui->sboxIdleTimeout->setEnabled(hasOption(p, IdleTimeout));
    ui->btnGetRemoteHelp->setEnabled(p != 0);
    ui->btnSetDefaults->setEnabled(p != 0);
    m_previousGraphics = ui->cmbxGraphicsQuality->currentIndex();
    m_loading = false;
    onWndSizeChanged(ui->cmbxWindowSize->currentIndex());
    onRedirUsbChanged(ui->cmbxRedirectUsb->currentIndex());
    onRedirSerialChanged(ui->cmbxRedirectSerial->currentIndex());
}

void DlgConnectionType::store(int p)
{
    if (p < 1 || p > ProtocolCount)
        return;
    for (const ComboOption& c : qAsConst(m_combos)) {
        if (hasOption(p, c.option) && c.box->currentIndex() >= 0)
            m_settings.value(p, c.option) = comboValue(c.box);
    }
    auto text = [&](QLineEdit* edit, int option) {
        if (hasOption(p, option))
            m_settings.value(p, option) = edit->text();
    };
    text(ui->tbxHostnamePort, Server);
    text(ui->tbxProxy, Proxy);
    text(ui->tbxUsername, AutologinUserid);
    text(ui->tbxPassword, AutologinPassword);
    text(ui->tbxCmdlineArgs, CmdlineArgs);
    if (hasOption(p, AutologinEnabled))
        m_settings.value(p, AutologinEnabled) = yesNo(ui->chbxAutoLogin->isChecked());
    if (hasOption(p, KioskMode))
        m_settings.value(p, KioskMode) = yesNo(ui->chbxKioskMode->isChecked());
    if (hasOption(p, IdleTimeout))
        m_settings.value(p, IdleTimeout) = QString::number(ui->sboxIdleTimeout->value());
    if (hasOption(p, WindowPercent) && ui->sboxWindowPercentage->isEnabled())
        m_settings.value(p, WindowPercent) = QString::number(ui->sboxWindowPercentage->value());
}

void DlgConnectionType::onConxnTypeChanged(int)
{
    store(m_shownProtocol);
    m_shownProtocol = protocol();
    load(m_shownProtocol);
}

void DlgConnectionType::onSetDefaults()
{
    setDefaults(m_settings, m_shownProtocol);
    load(m_shownProtocol);
}

void DlgConnectionType::onGetModeHelpClicked()
{
    if (m_shownProtocol != 0)
        emit onGetModeHelp(m_shownProtocol);
}

void DlgConnectionType::showModeHelp(const QString& text)
{
    DlgTextViewer viewer(this, tr("Application Help: ") + modeLabel(m_shownProtocol), text);
    rvx::Ask::exec(&viewer);
}

void DlgConnectionType::onAutoLoginClicked()
{
    if (ui->chbxAutoLogin->isChecked() && ui->tbxUsername->isEnabled())
        ui->tbxUsername->setFocus();
}

void DlgConnectionType::onShowPasswordClicked()
{
    ui->tbxPassword->setEchoMode(ui->chbxShowPassword->isChecked() ? QLineEdit::Normal : QLineEdit::Password);
}

void DlgConnectionType::onWndSizeChanged(int)
{
    const bool percentage = ui->cmbxWindowSize->isEnabled() &&
                            comboValue(ui->cmbxWindowSize) == QLatin1String("percentage") &&
                            hasOption(m_shownProtocol, WindowPercent);
    ui->sboxWindowPercentage->setEnabled(percentage);
    ui->lblWindowPercentage->setEnabled(percentage);
    if (percentage)
        ui->sboxWindowPercentage->setValue(windowPercent(m_settings.value(m_shownProtocol, WindowPercent)));
}

void DlgConnectionType::onRedirUsbChanged(int)
{
    ui->btnShowUsbRedirs->setEnabled(ui->cmbxRedirectUsb->isEnabled() &&
                                     comboValue(ui->cmbxRedirectUsb) != QLatin1String("off"));
}

void DlgConnectionType::onShowUsbRedirsClicked()
{
    emit enumerateUsb();
}

void DlgConnectionType::onRedirSerialChanged(int)
{
    // The port applies when a serial device is redirected.
    const bool on = ui->cmbxRedirectSerial->isEnabled() &&
                    comboValue(ui->cmbxRedirectSerial) != QLatin1String("off") &&
                    hasOption(m_shownProtocol, ComPort);
    ui->cmbxComPort->setEnabled(on);
    ui->lblComPort->setEnabled(on);
}

void DlgConnectionType::onGraphicsQualityChanged(int index)
{
    if (m_loading)
        return;
    if (comboValue(ui->cmbxGraphicsQuality) == QLatin1String("best")) {
        const bool sure = rvx::Ask::confirm(
            this, tr("Selection may degrade performance"),
            tr("Selecting the best possible graphics quality typically degrades performance because hardware "
               "decoding cannot be used.\n\nAre you sure you want to use this setting?"),
            QMessageBox::No);
        if (!sure) {
            m_loading = true;
            ui->cmbxGraphicsQuality->setCurrentIndex(m_previousGraphics);
            m_loading = false;
            return;
        }
    }
    m_previousGraphics = index;
}

void DlgConnectionType::onExitActionChanged(int)
{
    if (m_loading)
        return;
    const QString value = comboValue(ui->cmbxExitAction);
    if (value == QLatin1String("yes")) {
        rvx::Ask::warning(
            this, tr("Automatic Application Restart "),
            tr("\nAutomatically restarting the client application may result in a large number of "
               "idle unauthenticated connections on your server(s), which may increase server "
               "load."));
    } else if (value == QLatin1String("shutdown") && !m_shutdownWarned) {
        m_shutdownWarned = true;
        rvx::Ask::warning(
            this, tr("Automatic Shutdown "),
            tr("\nShutdown will occur after the application exits, regardless of the reason for exit, which "
               "may "
               "inconvenience users in the event of an application crash or network timeout.\n\nIn modes "
               "providing an application browser, shutdown will occur when the application browser exits, "
               "not "
               "when the remote application/desktop session exits.  To avoid this, you must configure "
               "Command "
               "Line Args to suppress the application browser and automatically launch a specific remote "
               "application/desktop."));
    }
}

void DlgConnectionType::accept()
{
    const int p = m_shownProtocol;
    const QString title = tr("Invalid settings");
    const bool autologin = ui->chbxAutoLogin->isEnabled() && ui->chbxAutoLogin->isChecked();
    const QString server = ui->tbxHostnamePort->isEnabled() ? ui->tbxHostnamePort->text() : QString();
    const QString proxy = ui->tbxProxy->isEnabled() ? ui->tbxProxy->text() : QString();
    const QString user = ui->tbxUsername->isEnabled() ? ui->tbxUsername->text() : QString();
    const QString password = ui->tbxPassword->isEnabled() ? ui->tbxPassword->text() : QString();
    if (const std::optional<QString> problem =
            validationProblem(p, server, proxy, autologin, user, password)) {
        rvx::Ask::warning(this, title, *problem);
        return;
    }
    if (!rvx::acceptLatin1(this, title, password) ||
        !rvx::acceptLatin1(this, title, server, tr("Server/Broker[:Port] field")) ||
        !rvx::acceptLatin1(this, title, proxy, tr("Gateway/Proxy[:Port] field")) ||
        !rvx::acceptLatin1(this, title, user, tr("username")) ||
        !rvx::acceptLatin1(this, title, ui->tbxCmdlineArgs->text(), tr("Command Line Args field")))
        return;
    store(p);
    m_settings.connectionType = protocolName();
    QDialog::accept();
}
