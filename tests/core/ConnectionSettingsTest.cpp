#include "database/ConnectionSettings.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

TEST(ConnectionSettings, ConnectionStringIsBuiltVerbatimFromTheFiveValues) {
    TemporarySettings store;
    EXPECT_EQ(ConnectionString(ConnectionSettings::fromStore()),
              QStringLiteral("Driver={PostgreSQL Unicode};Server=localhost;Port=5432;Uid=;Pwd=;"
                             "Database="));
    EXPECT_EQ(ConnectionString({"localhost", "5432", "postgres", "", "sales"}),
              QStringLiteral("Driver={PostgreSQL Unicode};Server=localhost;Port=5432;"
                             "Uid=postgres;Pwd=;Database=sales"));
    EXPECT_EQ(ConnectionString({"", " 5432 ", " ann", "pw ", "db"}),
              QStringLiteral("Driver={PostgreSQL Unicode};Server=;Port= 5432 ;Uid= ann;Pwd=pw ;"
                             "Database=db"));
}
