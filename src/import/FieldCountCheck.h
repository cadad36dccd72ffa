#pragma once

#include "import/TextEncoding.h"

#include <QString>
#include <QtGlobal>
#include <optional>

// Reads the file again and looks for the first line after the first whose last field index
// (field count minus one) differs from the expected value. Empty lines are never reported.
// Returns the report "Line no " + index + ": " + line for that line, or no value when every
// line agrees. Throws Failure when the file can't be opened or read.
std::optional<QString> CheckFieldCounts(const QString& path, qint16 expected,
                                        const QString& separator, TextEncoding encoding);
