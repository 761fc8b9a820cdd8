#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class ThinclientInfo;
class ZylDropLabel;
class DepartmentView;

// One department: a named group of devices with an optional linked profile.
class DeptInfo : public QObject
{
    Q_OBJECT

public:
    int id = 0; // 0 marks "Orphans", which receives unassigned devices and cannot be deleted
    QString name;
    QString image_file; // kept from the file and written back unchanged
    QString profile;    // path of the linked configuration profile; empty when none

    // Lower-case serial numbers and MAC addresses of the member devices, in file order.
    // Change it only through DepartmentList, which keeps its look-up index.
    const QStringList& members() const { return m_members; }
    bool hasMember(const QString& entry) const { return m_memberSet.contains(entry.toLower()); }

    // Device records currently shown in this department (not owned).
    QList<ThinclientInfo*> devices;
    // The department's label in the panel and its device tree (owned by the window).
    ZylDropLabel* label = nullptr;
    DepartmentView* view = nullptr;
    // How many of its devices match the device search; -1 while no search is active.
    int matching = -1;

    // A member entry is a MAC address when it has 17 characters with exactly five ":".
    static bool isMacEntry(const QString& entry);

private:
    friend class DepartmentList;
    QStringList m_members;
    QSet<QString> m_memberSet; // lower-cased
};

using MessageReporter = std::function<void(const QString& title, const QString& text)>;

// The ordered department list (the order of the panel) with the indexes that make device
// placement and membership tests independent of the number of departments and members.
// Owns its departments.
class DepartmentList
{
public:
    DepartmentList() = default;
    ~DepartmentList();
    DepartmentList(const DepartmentList&) = delete;
    DepartmentList& operator=(const DepartmentList&) = delete;
    DepartmentList(DepartmentList&& other) noexcept;
    DepartmentList& operator=(DepartmentList&& other) noexcept;

    const QList<DeptInfo*>& items() const { return m_items; }
    int size() const { return m_items.size(); }
    bool isEmpty() const { return m_items.isEmpty(); }
    DeptInfo* at(int index) const { return m_items.at(index); }
    int indexOf(const DeptInfo* dept) const;

    void append(DeptInfo* dept);            // takes ownership
    void insert(int index, DeptInfo* dept); // takes ownership
    DeptInfo* take(DeptInfo* dept);         // gives ownership back
    // Moves the department at index `from` as the reorder drop does: when `to` is below
    // `from` it is taken out and inserted at `to`; otherwise it is inserted at `to` (up to
    // size(): the end) first and the old entry removed, so it ends one place above `to`.
    void move(int from, int to);
    void clear();

    DeptInfo* findById(int id) const;
    int nextDepartmentId() const; // largest id + 1; 1 for an empty list

    // Member lists. Entries are stored lower-cased; adding an entry equal to an existing
    // one without regard to case does nothing and returns false.
    bool addMember(DeptInfo* dept, const QString& entry);
    // Removes the entry equal to the given text (exactly, as stored).
    bool removeMember(DeptInfo* dept, const QString& entry);
    // Removes the entry equal to the given text without regard to case.
    bool removeMemberIgnoringCase(DeptInfo* dept, const QString& entry);

    // Where a connecting device belongs: the first department in list order whose member
    // list contains the serial, or else the MAC address (without regard to case). With a
    // MAC match the entry is re-keyed to the lower-case serial. With no match the serial
    // is appended to the department with id 0 (created as "Orphans" when missing).
    struct Placement
    {
        DeptInfo* department = nullptr;
        bool membersChanged = false; // re-keyed or adopted: the file must be written
        bool adopted = false;
        bool rekeyed = false;
    };
    Placement place(const QString& serial, const QString& mac);

    // Which department shows a device (kept by addDevice/removeDevice).
    void addDevice(DeptInfo* dept, ThinclientInfo* device);
    void removeDevice(DeptInfo* dept, ThinclientInfo* device);
    DeptInfo* departmentOfDevice(const ThinclientInfo* device) const;

    // The default list: one department, id 0, "Orphans".
    static DepartmentList defaults();
    // Adds the default "Orphans" department at the end when no department has id 0.
    bool ensureOrphans();

private:
    void rebuildPositions();
    void indexDepartment(DeptInfo* dept);
    void unindexDepartment(DeptInfo* dept);
    void unindexMember(DeptInfo* dept, const QString& entry);

    QList<DeptInfo*> m_items;
    QHash<QString, QList<DeptInfo*>> m_memberIndex; // lower-case entry -> departments listing it
    QHash<const DeptInfo*, int> m_position;
    QHash<const ThinclientInfo*, DeptInfo*> m_deviceDept;
};

// Reads the departments file tolerantly. A missing file gives the default list without a
// message; an unreadable one reports "Opening configuration file" and gives the defaults.
// A list without a department of id 0 gets "Orphans" added; keys before the first
// "[department]" are ignored.
DepartmentList readDepartments(const QString& path, const MessageReporter& report = {});
// The same from the file's bytes (UTF-8, or Latin-1 when not valid UTF-8).
DepartmentList parseDepartments(const QByteArray& data);
// Rewrites the whole file durably (the previous file stays intact when writing fails).
// 0 on success; -1 after reporting "Saving configuration file" (and giving the system's
// reason in *error when asked).
int writeDepartments(const QString& path, const DepartmentList& list, const MessageReporter& report = {},
                     QString* error = nullptr);
// The exact text writeDepartments writes.
QByteArray departmentsFileText(const DepartmentList& list);
