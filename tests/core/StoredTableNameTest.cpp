#include "import/StoredTableName.h"
#include "sending/Statements.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

TEST(StoredTableName, NamesAreCutAsTheServerCutsThem) {
    TestDatabase db;
    const QString ascii63(63, QLatin1Char('L'));
    const struct {
        const char* name;
        QString table;
        qsizetype storedLength; // in UTF-16 units
    } cases[] = {
        {"63 letters", ascii63, 63},
        {"63 letters and more", ascii63 + QStringLiteral("xyz"), 63},
        {"two-byte letters, the 32nd would pass 63 bytes",
         QString(31, QChar(0xE9)) + QChar(0xFC) + QStringLiteral("tail"), 31},
        {"62 letters and a two-byte letter", QString(62, QLatin1Char('a')) + QChar(0xE9), 62},
        {"three-byte signs and a four-byte one",
         QString(20, QChar(0x20AC)) + QString::fromUtf16(u"\U0001F600") + QStringLiteral("x"), 20},
    };
    for (const auto& c : cases) {
        db.execute(QStringLiteral("CREATE TABLE ") + quoteIdentifier(c.table) +
                   QStringLiteral("(a TEXT)"));
        const QStringList stored =
            db.column(QStringLiteral("SELECT tablename FROM pg_tables WHERE schemaname = "
                                     "'public'"));
        ASSERT_EQ(stored.size(), 1) << c.name;
        EXPECT_EQ(StoredTableName(c.table).text(), stored[0]) << c.name;
        EXPECT_EQ(stored[0].size(), c.storedLength) << c.name;
        db.execute(QStringLiteral("DROP TABLE ") + quoteIdentifier(c.table));
    }

    // Listed names are compared as stored and lower-cased; a name that is cut compares equal
    // only with what the cut leaves.
    const QStringList list{ascii63.toLower(), QStringLiteral("Short")};
    EXPECT_TRUE(StoredTableName(ascii63 + QStringLiteral("xyz")).isListedIn(list));
    EXPECT_TRUE(StoredTableName(QStringLiteral("SHORT")).isListedIn(list));
    EXPECT_FALSE(StoredTableName(ascii63.left(62)).isListedIn(list));
    EXPECT_FALSE(StoredTableName(QStringLiteral("Shorter")).isListedIn(list));
}
