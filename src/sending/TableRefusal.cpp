#include "sending/TableRefusal.h"

#include "database/Result.h"

#include <array>

bool TableRefusal::belongsToTable(QByteArrayView sqlState, QByteArrayView source) {
    if (source == QByteArrayView("ExecWithCheckOptions"))
        return false;
    static constexpr std::array<const char*, 3> Refusals = {"42501", "25006", "42P01"};
    for (const char* state : Refusals)
        if (sqlState == QByteArrayView(state))
            return true;
    return false;
}

std::optional<QString> TableRefusal::wordsOf(const Result& result) {
    if (!belongsToTable(result.sqlState(), result.sourceFunction()))
        return std::nullopt;
    return result.primaryMessage();
}
