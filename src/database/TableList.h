#pragma once

#include <QString>
#include <QStringList>

// A list that receives table names: the main window's list of existing tables, or a plain
// list in the command line and the tests.
class TableList {
public:
    virtual ~TableList() = default;
    virtual void append(const QString& name) = 0;
};

class StringTableList : public TableList {
public:
    void append(const QString& name) override { names.append(name); }
    QStringList names;
};
