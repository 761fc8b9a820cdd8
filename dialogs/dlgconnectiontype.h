#pragma once

#include "appmode.h"

#include <QDialog>

class QComboBox;

namespace Ui {
class DlgConnectionType;
}

// The application mode of one device: the protocol it runs and the options of every protocol.
// Starts from the selected device's configuration (the configuration store) and keeps one
// value per protocol and option, so switching protocols keeps what was edited; every option's
// widget is enabled exactly when the shown protocol has that option. After Accepted the caller
// reads values() and sends appmode::configurationText() or appmode::legacyFrame().
//
// The application's own help is asked for with onGetModeHelp(protocol); the device's answer is
// shown with showModeHelp(). "Show Redirections" asks for the device's USB list with
// enumerateUsb(); its answer opens the USB redirection editor.
class DlgConnectionType : public QDialog
{
    Q_OBJECT

public:
    explicit DlgConnectionType(QWidget* parent);
    ~DlgConnectionType() override;

    const appmode::Settings& values() const { return m_settings; }
    // The protocol shown (index of the protocol table, 0 for a name the table does not hold).
    int protocol() const;
    QByteArray protocolName() const;

signals:
    void onGetModeHelp(int protocol);
    void enumerateUsb();

public slots:
    void showModeHelp(const QString& text);

    void onConxnTypeChanged(int index);
    void onSetDefaults();
    void onGetModeHelpClicked();
    void onAutoLoginClicked();
    void onShowPasswordClicked();
    void onWndSizeChanged(int index);
    void onRedirUsbChanged(int index);
    void onShowUsbRedirsClicked();
    void onRedirSerialChanged(int index);
    void onGraphicsQualityChanged(int index);
    void onExitActionChanged(int index);
    void accept() override;

private:
    struct ComboOption
    {
        QComboBox* box;
        int option;
    };

    void load(int protocol);
    void store(int protocol);
    QString comboValue(const QComboBox* box) const;

    Ui::DlgConnectionType* ui;
    appmode::Settings m_settings;
    QList<ComboOption> m_combos;
    int m_shownProtocol = 0;
    bool m_loading = false;
    int m_previousGraphics = -1;
    bool m_shutdownWarned = false;
};
