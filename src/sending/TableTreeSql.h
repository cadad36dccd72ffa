#pragma once

// The opening of a catalogue query about a table and its partitions: a WITH clause whose "tree"
// holds their oids. $1 is the table named as the row statement names it, so that it is looked
// up along the search path in the same way.
#define TABLE_TREE_SQL                                                                             \
    "WITH target AS (SELECT to_regclass($1) AS oid), "                                             \
    "tree AS (SELECT relid AS oid FROM pg_partition_tree((SELECT oid FROM target)) "               \
    "UNION SELECT oid FROM target) "
