// The device search and the drift column with 10,000 devices: the time of each keystroke
// of a query typed and erased again (filtering every department's list, the labels' counts,
// the shown list laid out and painted), and the cost of the drift counts: all devices at
// once from their stored texts, one device after its configuration changed, and the cached
// look-ups of a row refresh. Prints Markdown rows for docs/performance.md.

#include "departmentpanel.h"
#include "departments.h"
#include "departmentview.h"
#include "devicelists.h"
#include "devicesearch.h"
#include "deviceselection.h"
#include "driftcache.h"
#include "rvxdb.h"
#include "simagent.h"
#include "thinclientinfo.h"
#include "zyltreeview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int Devices = 10000;
constexpr int Departments = 10;

void print(const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

struct Figures
{
    double median = 0;
    double worst = 0;
};

Figures figures(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

QString verdict(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("**missed**");
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;

    // The default columns and the optional ones a search is typically about.
    QSettings settings(dir.filePath("settings.ini"), QSettings::IniFormat);
    rvx::columns::writeDefaultsIfMissing(settings);
    const QStringList extra = {"colMacAddress", "colSerialNumber", "colDescription", "colProfile"};
    for (int i = 0; i < extra.size(); ++i) {
        settings.setValue(extra.at(i), 7 + i);
        settings.setValue(rvx::columns::textKey(7 + i), extra.at(i).mid(3));
    }

    // The stored configurations and a profile that differs from them in two settings.
    rvxDB history(dir.filePath("db"));
    const QByteArray sample = SimAgent::sampleConfiguration(300);
    QByteArray profileText = sample;
    profileText.replace("log_level=", "log_level=9");
    profileText += "rrsh_enabled=yes\n";
    const QString profile = dir.filePath("office.txt");
    {
        QFile file(profile);
        if (!file.open(QIODevice::WriteOnly) || file.write(profileText) != profileText.size())
            return 1;
    }

    DepartmentList departments;
    for (int d = 0; d < Departments; ++d) {
        auto* dept = new DeptInfo;
        dept->id = d;
        dept->name = d == 0 ? QStringLiteral("Orphans") : QStringLiteral("Site %1").arg(d);
        dept->profile = profile;
        departments.append(dept);
    }
    std::vector<std::unique_ptr<ThinclientInfo>> records;
    for (int i = 0; i < Devices; ++i) {
        const QString serial = QStringLiteral("BS%1").arg(i, 6, 10, QLatin1Char('0'));
        const QString mac = QStringLiteral("00:16:3e:%1:%2:%3")
                                .arg((i >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
                                .arg((i >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
                                .arg(i & 0xFF, 2, 16, QLatin1Char('0'));
        auto record = std::make_unique<ThinclientInfo>();
        record->loadBlock(SimAgent::deviceBlock(serial, QStringLiteral("8.4.%1").arg(i % 7),
                                                QStringLiteral("site%1-desk-%2").arg(i % Departments).arg(i),
                                                mac));
        record->setDescription(QStringLiteral("room %1").arg(i % 400));
        departments.addMember(departments.at(i % Departments), serial.toLower());
        // A third of the devices hold what the profile sets, the others differ in two settings.
        history.saveConfig(serial, i % 3 == 0 ? profileText : sample);
        records.push_back(std::move(record));
    }

    QWidget window;
    DeviceSelection selection;
    DepartmentPanel panel(&window, departments, &selection, &settings, dir.filePath("departments.ini"));
    panel.build();
    DeviceLists lists(departments, &panel, &selection);
    DeviceSearch search(departments);
    lists.setSearch(&search);
    lists.setHistory(&history);
    DriftCache drift(&history);
    lists.setDrift(&drift);

    QElapsedTimer clock;
    clock.start();
    for (auto& record : records)
        lists.place(record.get());
    const double placing = clock.nsecsElapsed() / 1e6;
    for (DeptInfo* dept : departments.items())
        dept->view->finishInsert();
    panel.splitter()->resize(1200, 800);
    panel.splitter()->show();
    app.processEvents();

    // Typing a host name and erasing it again, one keystroke at a time.
    const QString query = QStringLiteral("site4-desk-1234");
    std::vector<double> typing;
    std::vector<double> erasing;
    std::vector<double> filtering;
    auto keystroke = [&](const QString& text, std::vector<double>& into) {
        clock.restart();
        search.setQuery(text);
        filtering.push_back(clock.nsecsElapsed() / 1e6);
        panel.splitter()->repaint(); // the shown list laid out and painted
        into.push_back(clock.nsecsElapsed() / 1e6);
        if (qEnvironmentVariableIsSet("RVX_SEARCH_PROBE"))
            std::fprintf(stderr, "key '%s' filter %.1f total %.1f\n", qPrintable(text), filtering.back(),
                         into.back());
    };
    // The shown department selected whole, as a click on its label leaves it.
    selection.selectAll();
    app.processEvents();
    clock.restart();
    search.prepareRows(); // the box gets the focus
    const double preparing = clock.nsecsElapsed() / 1e6;
    std::vector<double> probe;
    if (qEnvironmentVariableIsSet("RVX_SEARCH_PROBE")) {
        keystroke(QStringLiteral("s"), probe);
        keystroke(QString(), probe);
        keystroke(QStringLiteral("s"), probe);
        keystroke(QString(), probe);
        std::fprintf(stderr, "probe %.1f %.1f %.1f %.1f\n", probe[0], probe[1], probe[2], probe[3]);
    }
    for (int n = 1; n <= query.size(); ++n)
        keystroke(query.left(n), typing);
    for (int n = query.size() - 1; n >= 0; --n)
        keystroke(query.left(n), erasing);
    int matching = 0;
    search.setQuery(query);
    for (DeptInfo* dept : departments.items())
        matching += qMax(0, dept->matching);
    search.setQuery(QString());

    // Drift: every count from scratch, one device again after a change, cached look-ups.
    DriftCache fresh(&history);
    clock.restart();
    int differing = 0;
    for (auto& record : records)
        differing += fresh.count(record->serialNumber(), profile).value_or(0) > 0 ? 1 : 0;
    const double full = clock.nsecsElapsed() / 1e6;
    std::vector<double> single;
    for (int i = 0; i < 200; ++i) {
        const QString serial = records[static_cast<size_t>(i * 37)]->serialNumber();
        fresh.configChanged(serial);
        clock.restart();
        fresh.count(serial, profile);
        single.push_back(clock.nsecsElapsed() / 1e3);
    }
    clock.restart();
    for (auto& record : records)
        fresh.count(record->serialNumber(), profile);
    const double cached = clock.nsecsElapsed() / 1e6;

    const Figures typed = figures(typing);
    const Figures erased = figures(erasing);
    const Figures one = figures(single);
    const Figures filtered = figures(filtering);
    print(QStringLiteral(
              "Placing %1 devices in %2 departments with the search, the Profile column and "
              "their drift: %3 ms. Query \"%4\" finds %5 device(s); %6 of %1 differ from the profile.")
              .arg(Devices)
              .arg(Departments)
              .arg(placing, 0, 'f', 0)
              .arg(query)
              .arg(matching)
              .arg(differing));
    print(QString());
    print(QStringLiteral("| Measure | median | worst | goal |"));
    print(QStringLiteral("|---|---|---|---|"));
    print(QStringLiteral("| keystroke while typing (%1 keys), ms | %2 | %3 | < 50 ms: %4 |")
              .arg(typing.size())
              .arg(typed.median, 0, 'f', 1)
              .arg(typed.worst, 0, 'f', 1)
              .arg(verdict(typed.worst < 50)));
    print(QStringLiteral("| keystroke while erasing (%1 keys), ms | %2 | %3 | < 50 ms: %4 |")
              .arg(erasing.size())
              .arg(erased.median, 0, 'f', 1)
              .arg(erased.worst, 0, 'f', 1)
              .arg(verdict(erased.worst < 50)));
    print(QStringLiteral("| of which filtering the lists and counting (%1 keys), ms | %2 | %3 | |")
              .arg(filtering.size())
              .arg(filtered.median, 0, 'f', 1)
              .arg(filtered.worst, 0, 'f', 1));
    print(QStringLiteral("| preparing the rows when the box gets the focus, ms | %1 | | |")
              .arg(preparing, 0, 'f', 1));
    print(QStringLiteral("| drift of one device after its configuration changed, µs | %1 | %2 | |")
              .arg(one.median, 0, 'f', 0)
              .arg(one.worst, 0, 'f', 0));
    print(QStringLiteral("| drift of all %1 devices from their stored texts, ms | %2 | | |")
              .arg(Devices)
              .arg(full, 0, 'f', 0));
    print(QStringLiteral("| cached drift of all %1 devices (row refreshes), ms | %2 | | |")
              .arg(Devices)
              .arg(cached, 0, 'f', 1));
    return 0;
}
