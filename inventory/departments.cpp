#include "departments.h"

#include "safefile.h"

#include <QFile>
#include <QTextCodec>

#include <limits>
#include <utility>

// ---- DeptInfo -----------------------------------------------------------------------

bool DeptInfo::isMacEntry(const QString& entry)
{
    return entry.size() == 17 && entry.count(QLatin1Char(':')) == 5;
}

// ---- DepartmentList -----------------------------------------------------------------

DepartmentList::~DepartmentList()
{
    qDeleteAll(m_items);
}

DepartmentList::DepartmentList(DepartmentList&& other) noexcept
{
    *this = std::move(other);
}

DepartmentList& DepartmentList::operator=(DepartmentList&& other) noexcept
{
    if (this != &other) {
        clear();
        m_items.swap(other.m_items);
        m_memberIndex.swap(other.m_memberIndex);
        m_position.swap(other.m_position);
        m_deviceDept.swap(other.m_deviceDept);
    }
    return *this;
}

int DepartmentList::indexOf(const DeptInfo* dept) const
{
    return m_position.value(dept, -1);
}

void DepartmentList::indexDepartment(DeptInfo* dept)
{
    for (const QString& entry : qAsConst(dept->m_members))
        m_memberIndex[entry].append(dept);
    for (ThinclientInfo* device : qAsConst(dept->devices))
        m_deviceDept.insert(device, dept);
}

void DepartmentList::unindexDepartment(DeptInfo* dept)
{
    for (const QString& entry : qAsConst(dept->m_members))
        unindexMember(dept, entry);
    for (ThinclientInfo* device : qAsConst(dept->devices)) {
        if (m_deviceDept.value(device) == dept)
            m_deviceDept.remove(device);
    }
}

void DepartmentList::unindexMember(DeptInfo* dept, const QString& entry)
{
    auto it = m_memberIndex.find(entry);
    if (it == m_memberIndex.end())
        return;
    it->removeOne(dept);
    if (it->isEmpty())
        m_memberIndex.erase(it);
}

void DepartmentList::append(DeptInfo* dept)
{
    insert(m_items.size(), dept);
}

void DepartmentList::insert(int index, DeptInfo* dept)
{
    if (dept == nullptr || m_position.contains(dept))
        return;
    m_items.insert(qBound(0, index, m_items.size()), dept);
    indexDepartment(dept);
    rebuildPositions();
}

DeptInfo* DepartmentList::take(DeptInfo* dept)
{
    const int index = indexOf(dept);
    if (index < 0)
        return nullptr;
    unindexDepartment(dept);
    m_items.removeAt(index);
    rebuildPositions();
    return dept;
}

// The reorder drop's rule. Moving up (to < from): the department is taken out at `from`
// and inserted at `to`, so it ends at `to`. Otherwise it is first inserted at `to` (which
// may be the size of the list: the end) and then the old entry at `from` is removed, so it
// ends one place above `to`; `to` equal to `from` or `from` + 1 changes nothing.
void DepartmentList::move(int from, int to)
{
    if (from < 0 || from >= m_items.size())
        return;
    to = qBound(0, to, m_items.size());
    DeptInfo* dept = m_items.at(from);
    if (to < from) {
        m_items.removeAt(from);
        m_items.insert(to, dept);
    } else {
        m_items.insert(to, dept);
        m_items.removeAt(from);
    }
    rebuildPositions();
}

void DepartmentList::clear()
{
    qDeleteAll(m_items);
    m_items.clear();
    m_memberIndex.clear();
    m_position.clear();
    m_deviceDept.clear();
}

void DepartmentList::rebuildPositions()
{
    m_position.clear();
    m_position.reserve(m_items.size());
    for (int i = 0; i < m_items.size(); ++i)
        m_position.insert(m_items.at(i), i);
}

DeptInfo* DepartmentList::findById(int id) const
{
    for (DeptInfo* dept : m_items) {
        if (dept->id == id)
            return dept;
    }
    return nullptr;
}

int DepartmentList::nextDepartmentId() const
{
    if (m_items.isEmpty())
        return 1;
    int largest = std::numeric_limits<int>::min();
    for (const DeptInfo* dept : m_items)
        largest = qMax(largest, dept->id);
    return largest + 1;
}

bool DepartmentList::addMember(DeptInfo* dept, const QString& entry)
{
    const QString lower = entry.toLower();
    if (dept == nullptr || lower.isEmpty() || dept->m_memberSet.contains(lower))
        return false;
    dept->m_members.append(lower);
    dept->m_memberSet.insert(lower);
    if (m_position.contains(dept))
        m_memberIndex[lower].append(dept);
    return true;
}

bool DepartmentList::removeMember(DeptInfo* dept, const QString& entry)
{
    // Entries are stored lower-cased: only a lower-case text can equal one exactly.
    if (dept == nullptr || !dept->m_memberSet.contains(entry))
        return false;
    return removeMemberIgnoringCase(dept, entry);
}

bool DepartmentList::removeMemberIgnoringCase(DeptInfo* dept, const QString& entry)
{
    const QString lower = entry.toLower();
    if (dept == nullptr || !dept->m_memberSet.remove(lower))
        return false;
    dept->m_members.removeOne(lower);
    if (m_position.contains(dept))
        unindexMember(dept, lower);
    return true;
}

// Finds the first department in list order that lists the serial, or else the MAC address,
// through the member index: only the departments naming one of the two are looked at. An
// empty serial or MAC address names no device and matches nothing.
DepartmentList::Placement DepartmentList::place(const QString& serial, const QString& mac)
{
    Placement result;
    const QString s = serial.toLower();
    const QString m = mac.toLower();
    DeptInfo* best = nullptr;
    int bestPosition = std::numeric_limits<int>::max();
    bool bySerial = false;
    if (!s.isEmpty()) {
        for (DeptInfo* dept : m_memberIndex.value(s)) {
            const int position = m_position.value(dept);
            if (position < bestPosition) {
                best = dept;
                bestPosition = position;
                bySerial = true;
            }
        }
    }
    if (!m.isEmpty()) {
        // Strictly earlier only: in one department the serial entry wins.
        for (DeptInfo* dept : m_memberIndex.value(m)) {
            const int position = m_position.value(dept);
            if (position < bestPosition) {
                best = dept;
                bestPosition = position;
                bySerial = false;
            }
        }
    }
    if (best != nullptr) {
        result.department = best;
        if (!bySerial && !s.isEmpty()) {
            removeMemberIgnoringCase(best, m);
            addMember(best, s);
            result.rekeyed = true;
            result.membersChanged = true;
        }
        return result;
    }
    DeptInfo* orphans = findById(0);
    if (orphans == nullptr) {
        ensureOrphans();
        orphans = findById(0);
        result.membersChanged = true; // the list itself changed
    }
    result.department = orphans;
    if (addMember(orphans, s)) {
        result.adopted = true;
        result.membersChanged = true;
    }
    return result;
}

void DepartmentList::addDevice(DeptInfo* dept, ThinclientInfo* device)
{
    if (dept == nullptr || device == nullptr)
        return;
    DeptInfo* current = m_deviceDept.value(device);
    if (current == dept && dept->devices.contains(device))
        return;
    if (current != nullptr)
        current->devices.removeOne(device);
    dept->devices.append(device);
    if (m_position.contains(dept))
        m_deviceDept.insert(device, dept);
}

void DepartmentList::removeDevice(DeptInfo* dept, ThinclientInfo* device)
{
    if (dept == nullptr || device == nullptr)
        return;
    dept->devices.removeOne(device);
    if (m_deviceDept.value(device) == dept)
        m_deviceDept.remove(device);
}

DeptInfo* DepartmentList::departmentOfDevice(const ThinclientInfo* device) const
{
    return m_deviceDept.value(device, nullptr);
}

DepartmentList DepartmentList::defaults()
{
    DepartmentList list;
    list.ensureOrphans();
    return list;
}

bool DepartmentList::ensureOrphans()
{
    if (findById(0) != nullptr)
        return false;
    auto* orphans = new DeptInfo;
    orphans->id = 0;
    orphans->name = QStringLiteral("Orphans");
    append(orphans);
    return true;
}

// ---- the departments file -----------------------------------------------------------

namespace {

// The file is written as UTF-8; a file that is not valid UTF-8 (written by an older
// release in the system's 8-bit code page) is read as Latin-1 rather than mangled.
QString decodeFile(QByteArray data)
{
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3); // a byte-order mark added by a text editor
    QTextCodec* utf8 = QTextCodec::codecForName("UTF-8");
    QTextCodec::ConverterState state;
    const QString text = utf8->toUnicode(data.constData(), data.size(), &state);
    if (state.invalidChars > 0)
        return QString::fromLatin1(data);
    return text;
}

// Values are written one per line: a line break inside one would split it into a line the
// reader takes for another key.
QString oneLine(QString value)
{
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return value;
}

} // namespace

DepartmentList readDepartments(const QString& path, const MessageReporter& report)
{
    QFile file(path);
    if (!file.exists())
        return DepartmentList::defaults();
    if (!file.open(QIODevice::ReadOnly)) {
        if (report)
            report(QStringLiteral("Opening configuration file"),
                   QStringLiteral(
                       "Error opening configuration file for departments.\n\n Using default department"));
        return DepartmentList::defaults();
    }
    const QByteArray data = file.readAll();
    file.close();
    return parseDepartments(data);
}

DepartmentList parseDepartments(const QByteArray& data)
{
    const QStringList lines = decodeFile(data).split(QLatin1Char('\n'));
    DepartmentList list;
    DeptInfo* current = nullptr;
    auto keyed = [](const QString& line, const char* key) {
        return line.startsWith(QLatin1String(key), Qt::CaseInsensitive);
    };
    // The value: the line with every occurrence of the exact (lower-case) key text removed.
    auto value = [](QString line, const char* key) { return line.remove(QLatin1String(key)); };

    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        // Tested in this order; the first key that matches decides.
        if (keyed(line, "serial=") || keyed(line, "mac=")) {
            if (current != nullptr) {
                const char* key = keyed(line, "serial=") ? "serial=" : "mac=";
                list.addMember(current, value(line, key)); // lower-cased; duplicates and blanks dropped
            }
        } else if (keyed(line, "[department]")) {
            current = new DeptInfo;
            list.append(current);
        } else if (current == nullptr) {
            continue; // keys before the first department belong to none
        } else if (keyed(line, "id=")) {
            bool ok = false;
            const int id = value(line, "id=").toInt(&ok, 10);
            current->id = ok ? id : 0;
        } else if (keyed(line, "name=")) {
            current->name = value(line, "name=");
        } else if (keyed(line, "image_file=")) {
            current->image_file = value(line, "image_file=");
        } else if (keyed(line, "profile=")) {
            current->profile = value(line, "profile=");
        }
        // "#" comments and every other line are ignored.
    }
    list.ensureOrphans();
    return list;
}

QByteArray departmentsFileText(const DepartmentList& list)
{
    QString text = QStringLiteral("#\n# Autogenerated RVX configuration file; DO NOT EDIT\n#\n\n");
    for (const DeptInfo* dept : list.items()) {
        text += QLatin1String("[department]\n");
        text += QLatin1String("id=") + QString::number(dept->id) + QLatin1Char('\n');
        text += QLatin1String("name=") + oneLine(dept->name) + QLatin1Char('\n');
        text += QLatin1String("image_file=") + oneLine(dept->image_file) + QLatin1Char('\n');
        text += QLatin1String("profile=") + oneLine(dept->profile) + QLatin1Char('\n');
        for (const QString& entry : dept->members()) {
            text += DeptInfo::isMacEntry(entry) ? QLatin1String("mac=") : QLatin1String("serial=");
            text += oneLine(entry) + QLatin1Char('\n');
        }
        text += QLatin1Char('\n');
    }
    return text.toUtf8();
}

int writeDepartments(const QString& path, const DepartmentList& list, const MessageReporter& report,
                     QString* error)
{
    if (writeFileDurable(path, departmentsFileText(list), error))
        return 0;
    if (report)
        report(QStringLiteral("Saving configuration file"),
               QStringLiteral("Error opening configuration file. Configuration data will not be saved"));
    return -1;
}
