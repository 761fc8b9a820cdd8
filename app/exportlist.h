#pragma once

class DepartmentList;
class QWidget;

// "Export Device List": every device of every department into a CSV file the administrator
// names (the selection only gates the command).
void exportDeviceList(QWidget* parent, const DepartmentList& departments, bool anySelected);
