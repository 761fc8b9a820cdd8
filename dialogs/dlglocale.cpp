#include "dlglocale.h"

#include "configlib.h"
#include "inputrules.h"
#include "ui_dlglocale.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

using localeconfig::ZoneName;

namespace {

// The picture above the lists: the globe with its hour meridians, a band of time zones
// behind it.
QPixmap globePicture(int width, int height)
{
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    const qreal band = qreal(width) / 24;
    for (int i = 0; i < 24; ++i) {
        p.fillRect(QRectF(i * band, height * 0.30, band, height * 0.40),
                   i % 2 ? QColor(222, 232, 244) : QColor(236, 242, 250));
    }

    const qreal r = height / 2.0 - 4;
    const QPointF c(width / 2.0, height / 2.0);
    QRadialGradient sea(c - QPointF(r / 3, r / 3), r * 1.6);
    sea.setColorAt(0, QColor(120, 180, 235));
    sea.setColorAt(1, QColor(30, 90, 160));
    p.setPen(QPen(QColor(20, 60, 110), 1.5));
    p.setBrush(sea);
    p.drawEllipse(c, r, r);

    QPainterPath clip;
    clip.addEllipse(c, r, r);
    p.setClipPath(clip);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 110), 1));
    for (int m = 1; m < 6; ++m)
        p.drawEllipse(c, r * m / 6.0, r); // meridians every two hours seen from the side
    p.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
    for (int k = -2; k <= 2; ++k) {
        const qreal y = c.y() + k * r / 3.0;
        const qreal half = std::sqrt(std::max<qreal>(0, r * r - (y - c.y()) * (y - c.y())));
        p.drawLine(QPointF(c.x() - half, y), QPointF(c.x() + half, y));
    }
    return pixmap;
}

} // namespace

DlgLocale::DlgLocale(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::DlgLocale)
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgLocale::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgLocale::reject);
    ui->lblMap->setPixmap(globePicture(420, 140));

    m_zones.add(localeconfig::builtInZones());
    const ZoneName current = localeconfig::currentZone(m_zones, config_store_get("timezone"));
    fillRegions();
    connect(ui->cmbxRegion, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &DlgLocale::onRegionIndexChanged);
    selectZone(current);
    // Only a choice the administrator makes survives the device's lists.
    connect(ui->cmbxRegion, qOverload<int>(&QComboBox::activated), this, [this] { m_zoneChosen = true; });
    connect(ui->cmbxZone, qOverload<int>(&QComboBox::activated), this, [this] { m_zoneChosen = true; });
    connect(ui->cmbxLocale, qOverload<int>(&QComboBox::activated), this, [this] { m_localeChosen = true; });

    ui->cmbxLocale->addItem(QString::fromLatin1(localeconfig::BuiltInLocale));
    selectLocale(storedLocale());

    const QString server = QString::fromLatin1(config_store_get("time_server"));
    ui->tbxTimeServer->setText(server.isEmpty() ? QString::fromLatin1(localeconfig::DefaultTimeServer)
                                                : server);
}

DlgLocale::~DlgLocale()
{
    delete ui;
}

void DlgLocale::requestDeviceData()
{
    emit getLocaleLists();
}

QString DlgLocale::storedLocale() const
{
    return QString::fromLatin1(config_store_get("locale"));
}

void DlgLocale::fillRegions()
{
    const QSignalBlocker blocker(ui->cmbxRegion);
    ui->cmbxRegion->clear();
    ui->cmbxRegion->addItems(m_zones.regions());
}

void DlgLocale::selectZone(const ZoneName& name)
{
    {
        const QSignalBlocker blocker(ui->cmbxRegion);
        rvx::selectValue(ui->cmbxRegion, name.region);
    }
    onRegionIndexChanged(ui->cmbxRegion->currentIndex());
    if (rvx::selectValue(ui->cmbxZone, name.zone) < 0)
        ui->cmbxZone->setCurrentIndex(0);
}

void DlgLocale::onRegionIndexChanged(int index)
{
    ui->cmbxZone->clear();
    if (index < 0)
        return;
    ui->cmbxZone->addItems(m_zones.zones(ui->cmbxRegion->itemText(index)));
}

void DlgLocale::selectLocale(const QString& code)
{
    QStringList entries;
    for (int i = 0; i < ui->cmbxLocale->count(); ++i)
        entries << ui->cmbxLocale->itemText(i);
    const int index = localeconfig::localeIndex(entries, code);
    if (index >= 0)
        ui->cmbxLocale->setCurrentIndex(index);
    else
        rvx::selectValue(ui->cmbxLocale, code); // kept as it is stored
}

void DlgLocale::setLocaleLists(const QMap<QString, QStringList>& lists)
{
    const QStringList zones = localeconfig::namedList(lists, QStringLiteral("timezones"));
    if (!zones.isEmpty())
        setTimezones(zones);
    const QStringList locales = localeconfig::namedList(lists, QStringLiteral("locales"));
    if (!locales.isEmpty())
        setLocales(locales);
}

void DlgLocale::setTimezones(const QStringList& names)
{
    const ZoneName chosen{ui->cmbxRegion->currentText(), ui->cmbxZone->currentText()};
    for (const QString& name : names) {
        if (!name.trimmed().isEmpty())
            m_zones.add(name.trimmed());
    }
    fillRegions();
    if (m_zoneChosen)
        selectZone(chosen);
    else
        selectZone(localeconfig::currentZone(m_zones, config_store_get("timezone")));
}

void DlgLocale::setLocales(const QStringList& entries)
{
    const QString chosen = localeconfig::localeCode(ui->cmbxLocale->currentText());
    ui->cmbxLocale->clear();
    for (const QString& entry : entries) {
        if (!entry.trimmed().isEmpty())
            ui->cmbxLocale->addItem(entry.trimmed());
    }
    selectLocale(m_localeChosen ? chosen : storedLocale());
}

void DlgLocale::accept()
{
    const QString server = ui->tbxTimeServer->text().trimmed();
    if (!rvx::acceptLatin1(this, windowTitle(), server, QStringLiteral("time server")))
        return;
    m_result.timezone =
        localeconfig::joinZone(ZoneName{ui->cmbxRegion->currentText(), ui->cmbxZone->currentText()});
    m_result.timeServer = server;
    m_result.locale = localeconfig::localeCode(ui->cmbxLocale->currentText());
    QDialog::accept();
}
