#include "sending/copy/ValuePrecheck.h"
#include "database/Connection.h"
#include "sending/Statements.h"
#include "sending/copy/CopyTarget.h"
#include "sending/copy/CopyText.h"
#include "support/TestEnvironment.h"

#include <libpq-fe.h>

#include <gtest/gtest.h>

namespace {

// What the server does with a value, and what the guess must say.
enum class Verdict {
    Taken,         // the server stores it; the guess must call it good
    Refused,       // the server refuses it; the guess must call it bad
    RefusedUnseen, // the server refuses it; the guess need not see it (only time is lost)
};

struct ValueCase {
    const char* column; // the column's type, as in CREATE TABLE
    QByteArray value;   // as COPY's text holds it
    Verdict verdict;
};

using enum Verdict;

const ValueCase Cases[] = {
    {"integer", "42", Taken},
    {"integer", "  -42  ", Taken},
    {"integer", "+7", Taken},
    {"integer", "0000000000000000000000012", Taken},
    {"integer", "2147483647", Taken},
    {"integer", "-2147483648", Taken},
    {"integer", "2147483648", Refused},
    {"integer", "99999999999999999999999", Refused},
    {"integer", "x17", Refused},
    {"integer", "1.5", Refused},
    {"integer", "1e3", Refused},
    {"integer", "", Refused},
    {"integer", "-", Refused},
    {"integer", "1 2", Refused},
    {"integer", "NaN", Refused},
    {"integer", "\\N", Taken},
    {"smallint", "32767", Taken},
    {"smallint", "32768", Refused},
    {"smallint", "-32769", Refused},
    {"bigint", "-9223372036854775808", Taken},
    {"bigint", "9223372036854775808", Refused},
    {"numeric", "1.5", Taken},
    {"numeric", " -.5e-3 ", Taken},
    {"numeric", "NaN", Taken},
    {"numeric", "1.", Taken},
    {"numeric", "-Infinity", Taken},
    {"numeric", "n/a", Refused},
    {"numeric", "none", Refused},
    {"numeric", "in", Refused},
    {"numeric", "abc", Refused},
    {"numeric", "1,5", Refused},
    {"numeric", "1.2.3", Refused},
    {"numeric", "1e", Refused},
    {"numeric", "", Refused},
    {"numeric(5,2)", "999.99", Taken},
    {"numeric(5,2)", "000123.456", Taken},
    {"numeric(5,2)", "1000", Refused},
    {"numeric(5,2)", "999.999", RefusedUnseen}, // rounds up to 1000.00
    {"double precision", "1.5e300", Taken},
    {"double precision", "-Infinity", Taken},
    {"double precision", "inf", Taken},
    {"double precision", "1e999", RefusedUnseen},
    {"double precision", "one", Refused},
    {"double precision", " nAn ", Taken},
    {"double precision", "n/a", Refused},
    {"real", "3.25", Taken},
    {"real", "3,25", Refused},
    {"boolean", "t", Taken},
    {"boolean", " TRUE ", Taken},
    {"boolean", "ye", Taken},
    {"boolean", "of", Taken},
    {"boolean", "on", Taken},
    {"boolean", "1", Taken},
    {"boolean", "o", Refused},
    {"boolean", "2", Refused},
    {"boolean", "truer", Refused},
    {"boolean", "", Refused},
    {"date", "2024-02-29", Taken},
    {"date", " 2024-1-5 ", Taken},
    {"date", "today", Taken},
    {"date", "Infinity", Taken},
    {"date", "January 8, 1999", Taken},
    {"date", "1/8/1999", Taken},
    {"date", "2023-02-29", Refused},
    {"date", "2024-13-01", Refused},
    {"date", "2024-04-31", Refused},
    {"date", "2024-00-10", Refused},
    {"date", "soon", Refused},
    {"date", "", Refused},
    {"varchar(3)", "abc", Taken},
    {"varchar(3)", "abc   ", Taken},
    {"varchar(3)", "\xc3\xa4\xc3\xb6\xc3\xbc", Taken}, // three characters, six bytes
    {"varchar(3)", "abcd", Refused},
    {"varchar(3)", "abc  d", Refused},
    {"varchar(3)", "\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x9f", Refused},
    {"character(2)", "ab ", Taken},
    {"character(2)", "abc", Refused},
    {"text NOT NULL", "\\N", Refused},
    {"text NOT NULL", "", Taken},
    {"integer NOT NULL", "\\N", Refused},
    {"text", "anything at all", Taken},
    {"integer", "1\\\\", RefusedUnseen}, // escaped characters are not looked at
};

// Every value against the server: the row statement the program would send for it, into a
// column of its type. The guess must agree with the server, except where it may stay silent.
TEST(ValuePrecheck, AgreesWithTheServer) {
    TestDatabase db;
    Connection connection = Connection::open(db.settings());
    int table = 0;
    for (const ValueCase& c : Cases) {
        const QString name = QStringLiteral("v%1").arg(++table);
        connection.execute(QStringLiteral("CREATE TABLE %1 (v %2, w text)")
                               .arg(name, QString::fromUtf8(c.column)));
        std::vector<ValuePrecheck::Column> columns;
        ASSERT_TRUE(copyColumnList(connection, name, 2, &columns)) << c.column;
        ASSERT_EQ(columns.size(), 2U);

        const QStringList fields = copyLineFields(c.value + "\tw");
        // Under the quoted rule each value is sent as it is, NULL as NULL.
        const QByteArray statement = BuildInsertStatement(name, fields, FieldRule::Quoted).toUtf8();
        const Result result(PQexec(connection.handle(), statement.constData()));
        const bool taken = PQresultStatus(result.get()) == PGRES_COMMAND_OK;
        const std::string where = std::string(c.column) + " <- '" + c.value.toStdString() + "'";
        EXPECT_EQ(taken, c.verdict == Taken) << where << ": the server's verdict";

        const bool guessedBad = ValuePrecheck(columns).rejects(c.value + "\tw");
        EXPECT_EQ(guessedBad, c.verdict == Refused) << where << ": the guess";
    }
}

// Only the known columns are looked at, each value against its own column.
TEST(ValuePrecheck, EachValueAgainstItsOwnColumn) {
    const ValuePrecheck precheck({{23, -1, false}, {0, -1, true}});
    EXPECT_FALSE(precheck.rejects("1\tx\textra"));
    EXPECT_TRUE(precheck.rejects("1\t\\N\textra"));
    EXPECT_TRUE(precheck.rejects("x\tx"));
    EXPECT_FALSE(precheck.rejects("1\tx\t\\N")); // the third value has no known column
    EXPECT_FALSE(ValuePrecheck().rejects("x\t\\N"));
}

} // namespace
