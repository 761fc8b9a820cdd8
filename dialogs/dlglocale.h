#pragma once

#include "localeconfig.h"

#include <QDialog>
#include <QMap>
#include <QString>
#include <QStringList>

namespace Ui {
class DlgLocale;
}

// "Select Time Zone and Language": the time zone (a region, then a zone of it), the locale
// and the time server of one device. Starts from the built-in zone list and the device's
// values in the configuration store; the device's own zones and locales, once it reports
// them, are added (zones) or replace the single built-in locale. A stored zone or locale the
// lists lack is kept as an extra entry, so OK changes only what the administrator changed.
//
// The caller connects getLocaleLists() to the request, calls requestDeviceData(), routes the
// device's answer to setLocaleLists() while the dialog is open, and reads settings() after
// Accepted.
class DlgLocale : public QDialog
{
    Q_OBJECT

public:
    explicit DlgLocale(QWidget* parent = nullptr);
    ~DlgLocale() override;

    // Emits the requests the dialog needs answered.
    void requestDeviceData();

    // The results after Accepted.
    QString timezone() const { return m_result.timezone; }
    QString timeServer() const { return m_result.timeServer; }
    QString locale() const { return m_result.locale; }
    localeconfig::LocaleSettings settings() const { return m_result; }

signals:
    void getLocaleLists();

public slots:
    // The device's answer: the lists under "timezones" and "locales" (any case).
    void setLocaleLists(const QMap<QString, QStringList>& lists);
    // Zone names the device knows, added to those listed.
    void setTimezones(const QStringList& names);
    // The device's locales ("code charset" entries), replacing those listed.
    void setLocales(const QStringList& entries);
    void onRegionIndexChanged(int index);
    void accept() override;

private:
    void fillRegions();
    void selectZone(const localeconfig::ZoneName& name);
    void selectLocale(const QString& code);
    QString storedLocale() const;

    Ui::DlgLocale* ui;
    localeconfig::ZoneMap m_zones;
    localeconfig::LocaleSettings m_result;
    bool m_zoneChosen = false;   // the administrator picked a region or zone
    bool m_localeChosen = false; // ... or a locale
};
