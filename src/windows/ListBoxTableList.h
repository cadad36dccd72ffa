#pragma once

#include "database/TableList.h"

#include <QListWidget>

// Lets ListDatabaseTables fill a list box: each name goes to the end of the list.
class ListBoxTableList : public TableList {
public:
    explicit ListBoxTableList(QListWidget& list)
        : m_list(list) {}
    void append(const QString& name) override { m_list.addItem(name); }

private:
    QListWidget& m_list;
};
