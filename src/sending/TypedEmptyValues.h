#pragma once

#include "textfile/FieldRule.h"

#include <QByteArrayView>
#include <QStringList>
#include <optional>
#include <vector>

struct Record;

// A record's values for a table with typed columns (ColumnTargets::nullWhenEmpty): as
// FieldRule::Quoted holds them (a null text is NULL, any other text that text), each value
// what the record's own rule makes of it, but the empty value of a typed column NULL wherever
// it stands. No value when the record holds no empty value that its rule would send as the
// empty text into a typed column, so that it goes as it always did (a quick look at its bytes
// decides most records).
std::optional<QStringList> typedEmptyValues(const Record& record, QByteArrayView separator,
                                            FieldRule rule, const std::vector<bool>& nullWhenEmpty);
