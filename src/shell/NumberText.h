#pragma once

#include <QString>
#include <QtGlobal>

// A count as every text of an import run shows it: thousands grouped with commas, whatever
// the system's locale ("1,234,567").
QString groupedCount(qint64 number);
