#include "sending/OrderFreeTable.h"

#include "database/Connection.h"
#include "sending/TableTreeSql.h"

namespace {

const char* const OrderFreeQuery = TABLE_TREE_SQL R"SQL(
SELECT NOT EXISTS (SELECT 1 FROM pg_index i JOIN tree ON i.indrelid = tree.oid
                   WHERE i.indisunique)
   AND NOT EXISTS (SELECT 1 FROM pg_constraint k JOIN tree ON k.conrelid = tree.oid
                   WHERE k.contype = 'x')
)SQL";

} // namespace

bool rowsMayGoInAnyOrder(Connection& connection, const QString& table) {
    try {
        const Result answer = connection.runWithValues(OrderFreeQuery, {table.toUtf8()});
        return answer.succeeded() && answer.rowCount() == 1 &&
               answer.value(0, 0) == QLatin1String("t");
    } catch (...) {
        return false;
    }
}
