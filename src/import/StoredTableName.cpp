#include "import/StoredTableName.h"
#include "import/TableNames.h"

#include "sending/Statements.h"

#include <utility>

namespace {

// The UTF-8 length of the character that starts at i, and how many UTF-16 units it takes. A
// lone surrogate goes out as U+FFFD, three bytes.
std::pair<qsizetype, qsizetype> characterAt(const QString& text, qsizetype i) {
    const char16_t unit = text[i].unicode();
    if (unit < 0x80)
        return {1, 1};
    if (unit < 0x800)
        return {2, 1};
    if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return {4, 2};
    return {3, 1};
}

} // namespace

StoredTableName::StoredTableName(const QString& name) {
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < name.size()) {
        const auto [length, units] = characterAt(name, i);
        if (bytes + length > MaxBytes)
            break;
        bytes += length;
        i += units;
    }
    m_text = name.left(i);
}

bool StoredTableName::isListedIn(const QStringList& tables) const {
    QStringList stored;
    stored.reserve(tables.size());
    for (const QString& entry : tables)
        stored.append(StoredTableName(entry).text());
    return IsInListBox(stored, m_text);
}
