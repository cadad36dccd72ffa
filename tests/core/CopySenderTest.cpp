#include "sending/copy/CopySender.h"
#include "database/Connection.h"
#include "import/ImportRun.h"
#include "sending/GroupedInsertSender.h"
#include "sending/InsertSender.h"
#include "sending/InsertStatementFromBytes.h"
#include "sending/RowSenderFactory.h"
#include "sending/Statements.h"
#include "sending/copy/CopyTarget.h"
#include "sending/copy/CopyText.h"
#include "support/DelayLine.h"
#include "support/RecordingFrontEnd.h"
#include "support/SenderKit.h"
#include "support/TestEnvironment.h"
#include "textfile/FieldSplitting.h"
#include "textfile/FileSnapshot.h"
#include "textfile/QuotedFieldParser.h"
#include "textfile/RecordReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <set>

// Readable values in failure messages.
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

// ---------------------------------------------------------------------------------------------
// COPY text: the bytes of each value, and the way back to the same row statement.

struct CopyLineCase {
    const char* name;
    QStringList fields;
    QByteArray line;
};

TEST(CopyText, ValuesAreTheRowStatementsValuesEscapedForCopy) {
    const CopyLineCase cases[] = {
        {"plain", {"Peter", "O'Neil", "", "NH"}, "Peter\tO'Neil\t\\N\tNH\n"},
        {"empty first is text", {"", "x"}, "\tx\n"},
        {"quotes removed", {"\"NH\"", "a\"b"}, "NH\tab\n"},
        {"quotes only is NULL", {"x", "\"\""}, "x\t\\N\n"},
        {"quotes only first is empty", {"\"\"", "x"}, "\tx\n"},
        {"escapes", {"a\\b", "t\tb", "c\rd", "e\nf"}, "a\\\\b\tt\\tb\tc\\rd\te\\nf\n"},
        {"backslash N is text", {"\\N", "\\."}, "\\\\N\t\\\\.\n"},
        {"blanks kept", {"   ", " "}, "   \t \n"},
        {"non-ASCII",
         {QStringLiteral("Gr\u00f6\u00dfe"), QStringLiteral("\u20ac\"\\")},
         "Gr\xc3\xb6\xc3\x9f"
         "e\t\xe2\x82\xac\\\\\n"},
        {"outside the BMP", {QStringLiteral("\U0001F600"), "x"}, "\xf0\x9f\x98\x80\tx\n"},
    };
    for (const CopyLineCase& c : cases) {
        QByteArray out = "before|";
        appendCopyLine(out, c.fields);
        EXPECT_EQ(out, "before|" + c.line) << c.name;

        // Read back, the values build the very statement the original fields build.
        const QStringList back = copyLineFields(QByteArrayView(c.line).chopped(1));
        EXPECT_EQ(BuildInsertStatement("T", back), BuildInsertStatement("T", c.fields)) << c.name;
    }
}

// A plain line read as bytes is marked unescaped exactly when no byte but a separator needs an
// escape or is dropped, and then its COPY line, copied field by field, is the one escaping makes.
TEST(CopyText, UnescapedLinesAreCopiedAsEscapingWouldWriteThem) {
    const struct {
        QByteArray line;
        char separator;
        bool unescaped;
    } cases[] = {
        {"Peter,O'Neil,,NH", ',', true},
        {",,,", ',', true},
        {",x,", ',', true},
        {"a\tb\t\tc\t", '\t', true},
        {"just one field", ',', true},
        {"a\\b,c", ',', false},
        {"a,\"b\",c", ',', false},
        {"a\tb,c", ',', false},
        {"caf\xC3\xA9,x", ',', false}, // not ASCII: cut as UTF-8 text
        {"a,b\r", ',', true},          // the carriage return is dropped first
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        auto file = FileSnapshot::open(writeTestFile(dir, "f.txt", "h\n" + c.line + "\n"), {});
        RecordReader reader(*file, FieldRule::Plain, QString(QLatin1Char(c.separator)));
        reader.keepLinesAsBytes();
        Record record;
        ASSERT_TRUE(reader.next(record) && reader.next(record));
        ASSERT_FALSE(record.bytes.isNull());
        EXPECT_EQ(record.unescaped, c.unescaped);
        if (!record.unescaped)
            continue;
        QByteArray expected = "before|";
        appendCopyLineFromBytes(expected, record.bytes, QByteArray(1, c.separator));
        QByteArray actual = "before|";
        appendUnescapedCopyLine(actual, record.bytes, c.separator);
        EXPECT_EQ(actual, expected);
    }
}

// Made from a line's bytes, the fields, the COPY line and the row statement are the ones its
// text makes.
TEST(CopyText, FromUtf8BytesAsFromTheFieldsOfTheText) {
    const struct {
        QString line;
        QString separator;
    } cases[] = {
        {"Peter,O'Neil,,NH", ","},
        {",x,\"\",\"a\"b\"", ","},
        {"a\\b,t\tb,\\N,e\nf,c\rd", ","},
        {QStringLiteral("Gr\u00f6\u00dfe\u00a7\u20ac\u00a7\U0001F600\u00a7"),
         QStringLiteral("\u00a7")},
        {"a|||b||||c", "||"},
        {"a,b", ""},
        {",,,", ","},
        {"'';--,O''Neil,\"'\"", ","},
        {QString(70000, QLatin1Char('x')) + ",\t\"" + QString(70000, QLatin1Char('\\')), ","},
        // Lines long enough to be measured before they are written, with NULL fields.
        {QString(70000, QLatin1Char('x')) + ",,y,", ","},
        {QString(70000, QLatin1Char('x')) + "||||y||", "||"},
    };
    for (const auto& c : cases) {
        QByteArray expected = "before|";
        appendCopyLine(expected, SplitFields(c.line, c.separator));
        QByteArray actual = "before|";
        appendCopyLineFromBytes(actual, c.line.toUtf8(), c.separator.toUtf8());
        EXPECT_EQ(actual, expected) << c.line.left(40).toStdString();

        EXPECT_EQ(fieldsFromBytes(c.line.toUtf8(), c.separator.toUtf8()),
                  SplitFields(c.line, c.separator));
        // The row statement made from the bytes is the one made from the fields, by position
        // and into named columns, for fewer, as many and more values than columns.
        const QString table = QStringLiteral("T\"\u00e4");
        const ColumnTargets targets[] = {
            {},
            {{"b", "a"}, {}, {}},
            {{"c", QStringLiteral("\u00e4\"x"), "a", "b"},
             "src",
             QStringLiteral("C:\\O'N \"\u20ac\"")},
            {{"only"}, "src", QString()},
        };
        for (const ColumnTargets& into : targets) {
            EXPECT_EQ(
                InsertStatementFromBytes(table, into).build(c.line.toUtf8(), c.separator.toUtf8()),
                BuildInsertStatement(table, SplitFields(c.line, c.separator), FieldRule::Plain,
                                     into)
                    .toUtf8())
                << c.line.left(40).toStdString() << " into " << into.fieldColumns.size();
        }
    }
}

// Under the quoted rule, a whole line of ASCII bytes makes the COPY line its values make; any
// other line is left to the parser, with nothing written.
TEST(CopyText, QuotedAsciiLineAsFromItsValues) {
    const struct {
        QByteArray line;
        char separator;
        bool whole;
    } cases[] = {
        {"a,b,c", ',', true},
        {",x,,\"\",\"\"\"\",", ',', true},
        {"\"a,b\",\"say \"\"hi\"\"\",c\"d\"e", ',', true},
        {"\"tab\there\",back\\slash,\\N,\"cr\rin\"\r", ',', true},
        {"\r\"q\"\r,\r\"r\"\r,x\r", ',', true},
        {"\r\"q\"\r,\r\"r\"\r;x\r", ',', false},
        {"a;\"b;c\";;", ';', true},
        {"\"\"", '|', true},
        {"\"open,1", ',', false},
        {"\"closed\"after,1", ',', false},
        {"x\ry,1", ',', false},
        {"\r\r", ',', false},
    };
    for (const auto& c : cases) {
        const std::string name = c.line.toStdString();
        QByteArray actual = "before|";
        ASSERT_EQ(appendQuotedCopyLineAscii(actual, c.line, c.separator), c.whole) << name;
        if (!c.whole) {
            EXPECT_EQ(actual, "before|") << name;
            continue;
        }
        QByteArray expected = "before|";
        appendCopyLine(expected,
                       valuesFromBytes(c.line, QByteArray(1, c.separator), FieldRule::Quoted),
                       FieldRule::Quoted);
        EXPECT_EQ(actual, expected) << name;
    }
}

// ---------------------------------------------------------------------------------------------
// The catalogue check.

struct TargetCase {
    const char* name;
    const char* setup; // creates the table t
    int values;
    std::optional<QString> columns;
    ColumnTargets targets{};
};

TEST(CopyTarget, CopyOnlyWhereCopyAndInsertAgree) {
    const std::optional<QString> none;
    const TargetCase cases[] = {
        {"all text", "CREATE TABLE t (a text, b text, c text)", 3, "(\"a\", \"b\", \"c\")"},
        {"fewer values", "CREATE TABLE t (a text, b text, c text)", 2, "(\"a\", \"b\")"},
        {"more values", "CREATE TABLE t (a text, b text)", 3, none},
        {"dropped column skipped",
         "CREATE TABLE t (a text, x text, b text); ALTER TABLE t DROP COLUMN x", 2,
         "(\"a\", \"b\")"},
        {"names quoted", "CREATE TABLE t (\"we\"\"ird\" text, \"B\" text)", 2,
         "(\"we\"\"ird\", \"B\")"},
        {"missing table", "SELECT 1", 2, none},
        {"view", "CREATE TABLE u (a text, b text); CREATE VIEW t AS SELECT * FROM u", 2, none},
        {"a row trigger acting on NEW alone",
         "CREATE TABLE t (a text, b text); CREATE FUNCTION f() RETURNS trigger LANGUAGE plpgsql "
         "AS $$BEGIN RETURN NEW; END$$; CREATE TRIGGER g BEFORE INSERT ON t FOR EACH ROW "
         "EXECUTE FUNCTION f()",
         2, "(\"a\", \"b\")"},
        {"after insert or update, raising for some rows",
         "CREATE TABLE t (a text, b text, at timestamptz); CREATE FUNCTION f() RETURNS trigger "
         "LANGUAGE plpgsql AS $$BEGIN IF NEW.a = 'x' THEN RAISE EXCEPTION 'no x'; END IF; "
         "RETURN NULL; END$$; CREATE TRIGGER g AFTER INSERT OR UPDATE ON t FOR EACH ROW "
         "EXECUTE FUNCTION f()",
         2, "(\"a\", \"b\")"},
        {"a row trigger writing into another table",
         "CREATE TABLE t (a text, b text); CREATE TABLE log (a text); CREATE FUNCTION f() "
         "RETURNS trigger LANGUAGE plpgsql AS $$BEGIN INSERT INTO log VALUES (NEW.a); "
         "RETURN NEW; END$$; CREATE TRIGGER g AFTER INSERT ON t FOR EACH ROW "
         "EXECUTE FUNCTION f()",
         2, none},
        {"a row trigger drawing from a sequence",
         "CREATE TABLE t (a text, b text, id bigint); CREATE SEQUENCE n; CREATE FUNCTION f() "
         "RETURNS trigger LANGUAGE plpgsql AS $$BEGIN NEW.id := nextval('n'); RETURN NEW; "
         "END$$; CREATE TRIGGER g BEFORE INSERT ON t FOR EACH ROW EXECUTE FUNCTION f()",
         2, none},
        {"a row trigger sending a notice",
         "CREATE TABLE t (a text, b text); CREATE FUNCTION f() RETURNS trigger LANGUAGE plpgsql "
         "AS $$BEGIN RAISE NOTICE 'row %', NEW.a; RETURN NEW; END$$; CREATE TRIGGER g BEFORE "
         "INSERT ON t FOR EACH ROW EXECUTE FUNCTION f()",
         2, none},
        {"a row trigger with a WHEN condition",
         "CREATE TABLE t (a text, b text); CREATE FUNCTION f() RETURNS trigger LANGUAGE plpgsql "
         "AS $$BEGIN RETURN NEW; END$$; CREATE TRIGGER g BEFORE INSERT ON t FOR EACH ROW "
         "WHEN (NEW.a IS NULL) EXECUTE FUNCTION f()",
         2, none},
        {"a row trigger with a transition table",
         "CREATE TABLE t (a text, b text); CREATE FUNCTION f() RETURNS trigger LANGUAGE plpgsql "
         "AS $$BEGIN RETURN NULL; END$$; CREATE TRIGGER g AFTER INSERT ON t REFERENCING NEW "
         "TABLE AS added FOR EACH ROW EXECUTE FUNCTION f()",
         2, none},
        {"a row trigger of a built-in C function",
         "CREATE TABLE t (a text, b text); CREATE TRIGGER g BEFORE INSERT ON t FOR EACH ROW "
         "EXECUTE FUNCTION suppress_redundant_updates_trigger()",
         2, none},
        {"a safe trigger beside an unsafe one",
         "CREATE TABLE t (a text, b text); CREATE FUNCTION f() RETURNS trigger LANGUAGE plpgsql "
         "AS $$BEGIN RETURN NEW; END$$; CREATE FUNCTION h() RETURNS trigger LANGUAGE plpgsql "
         "AS $$BEGIN PERFORM pg_sleep(0); RETURN NEW; END$$; CREATE TRIGGER g BEFORE INSERT ON "
         "t FOR EACH ROW EXECUTE FUNCTION f(); CREATE TRIGGER k AFTER INSERT ON t FOR EACH ROW "
         "EXECUTE FUNCTION h()",
         2, none},
        {"a function of a built-in's name outside pg_catalog",
         "CREATE FUNCTION initcap(varchar) RETURNS text LANGUAGE sql AS $$SELECT 'x'::text$$; "
         "CREATE TABLE t (a varchar, b text); CREATE FUNCTION f() RETURNS trigger LANGUAGE "
         "plpgsql AS $$BEGIN NEW.b := initcap(NEW.a); RETURN NEW; END$$; CREATE TRIGGER g "
         "BEFORE INSERT ON t FOR EACH ROW EXECUTE FUNCTION f()",
         2, none},
        {"an operator of a built-in's name outside pg_catalog",
         "CREATE FUNCTION cat(varchar, varchar) RETURNS text LANGUAGE sql AS $$SELECT "
         "'x'::text$$; CREATE OPERATOR % (FUNCTION = cat, LEFTARG = varchar, RIGHTARG = "
         "varchar); CREATE TABLE t (a varchar, b text); CREATE FUNCTION f() RETURNS trigger "
         "LANGUAGE plpgsql AS $$BEGIN NEW.b := NEW.a % NEW.a; RETURN NEW; END$$; CREATE "
         "TRIGGER g BEFORE INSERT ON t FOR EACH ROW EXECUTE FUNCTION f()",
         2, none},
        {"triggers of update, delete and truncate alone",
         "CREATE TABLE t (a text, b text); CREATE FUNCTION f() RETURNS trigger LANGUAGE plpgsql "
         "AS $$BEGIN RETURN NULL; END$$; CREATE TRIGGER u BEFORE UPDATE ON t FOR EACH ROW "
         "EXECUTE FUNCTION f(); CREATE TRIGGER d AFTER DELETE OR UPDATE OF a ON t FOR EACH ROW "
         "EXECUTE FUNCTION f(); CREATE TRIGGER s AFTER UPDATE ON t EXECUTE FUNCTION f(); "
         "CREATE TRIGGER x BEFORE TRUNCATE ON t EXECUTE FUNCTION f()",
         2, "(\"a\", \"b\")"},
        {"an insert trigger among others",
         "CREATE TABLE t (a text, b text); CREATE FUNCTION f() RETURNS trigger LANGUAGE plpgsql "
         "AS $$BEGIN PERFORM 1; RETURN NULL; END$$; CREATE TRIGGER d AFTER DELETE ON t FOR "
         "EACH ROW EXECUTE FUNCTION f(); CREATE TRIGGER i AFTER UPDATE OR INSERT ON t FOR EACH ROW "
         "EXECUTE FUNCTION f()",
         2, none},
        {"a statement trigger on insert",
         "CREATE TABLE t (a text, b text); CREATE FUNCTION f() RETURNS trigger LANGUAGE plpgsql "
         "AS $$BEGIN RETURN NULL; END$$; CREATE TRIGGER s BEFORE INSERT ON t EXECUTE FUNCTION "
         "f()",
         2, none},
        {"foreign key triggers are internal",
         "CREATE TABLE p (id int PRIMARY KEY); CREATE TABLE t (a int REFERENCES p, b text)", 2,
         "(\"a\", \"b\")"},
        {"foreign key into itself", "CREATE TABLE t (a int PRIMARY KEY, b int REFERENCES t)", 2,
         none},
        {"constraint checked at commit",
         "CREATE TABLE p (id int PRIMARY KEY); CREATE TABLE t (a int REFERENCES p "
         "DEFERRABLE INITIALLY DEFERRED, b text)",
         2, none},
        {"rule",
         "CREATE TABLE t (a text, b text); CREATE TABLE l (a text); CREATE RULE r AS ON INSERT "
         "TO t DO ALSO INSERT INTO l VALUES (NEW.a)",
         2, none},
        {"row-level security",
         "CREATE TABLE t (a text, b text); ALTER TABLE t ENABLE ROW LEVEL "
         "SECURITY",
         2, none},
        {"identity always among the values",
         "CREATE TABLE t (id int GENERATED ALWAYS AS IDENTITY, a text)", 2, none},
        {"identity by default among the values",
         "CREATE TABLE t (id int GENERATED BY DEFAULT AS IDENTITY, a text)", 2, "(\"id\", \"a\")"},
        {"identity after the values",
         "CREATE TABLE t (a text, b text, id int GENERATED BY DEFAULT AS IDENTITY)", 2, none},
        {"serial after the values", "CREATE TABLE t (a text, b text, id serial)", 2, none},
        {"constant default after the values", "CREATE TABLE t (a text, b text, c text DEFAULT 'x')",
         2, none},
        {"computed column after the values",
         "CREATE TABLE t (a text, b text, c text GENERATED ALWAYS AS (a || b) STORED)", 2,
         "(\"a\", \"b\")"},
        {"computed column among the values",
         "CREATE TABLE t (a text, c text GENERATED ALWAYS AS (a) STORED, b text)", 3, none},
        {"partitioned",
         "CREATE TABLE t (a int, b text) PARTITION BY RANGE (a); CREATE TABLE t1 PARTITION OF t "
         "FOR VALUES FROM (0) TO (10)",
         2, "(\"a\", \"b\")"},
        {"partition with a row trigger acting on NEW alone",
         "CREATE TABLE t (a int, b text) PARTITION BY RANGE (a); CREATE TABLE t1 PARTITION OF t "
         "FOR VALUES FROM (0) TO (10); CREATE FUNCTION f() RETURNS trigger LANGUAGE plpgsql "
         "AS $$BEGIN RETURN NEW; END$$; CREATE TRIGGER g BEFORE INSERT ON t1 FOR EACH ROW "
         "EXECUTE FUNCTION f()",
         2, "(\"a\", \"b\")"},
        {"partition with a row trigger writing elsewhere",
         "CREATE TABLE t (a int, b text) PARTITION BY RANGE (a); CREATE TABLE t1 PARTITION OF t "
         "FOR VALUES FROM (0) TO (10); CREATE FUNCTION f() RETURNS trigger LANGUAGE plpgsql "
         "AS $$BEGIN INSERT INTO t1 VALUES (1, 'again'); RETURN NEW; END$$; CREATE TRIGGER g "
         "BEFORE INSERT ON t1 FOR EACH ROW EXECUTE FUNCTION f()",
         2, none},
        {"partition with a truncate trigger",
         "CREATE TABLE t (a int, b text) PARTITION BY RANGE (a); CREATE TABLE t1 PARTITION OF t "
         "FOR VALUES FROM (0) TO (10); CREATE FUNCTION f() RETURNS trigger LANGUAGE plpgsql "
         "AS $$BEGIN RETURN NULL; END$$; CREATE TRIGGER g AFTER TRUNCATE ON t1 "
         "EXECUTE FUNCTION f(); CREATE TRIGGER u AFTER UPDATE ON t FOR EACH ROW "
         "EXECUTE FUNCTION f()",
         2, "(\"a\", \"b\")"},
        {"partition with a statement trigger on insert",
         "CREATE TABLE t (a int, b text) PARTITION BY RANGE (a); CREATE TABLE t1 PARTITION OF t "
         "FOR VALUES FROM (0) TO (10); CREATE FUNCTION f() RETURNS trigger LANGUAGE plpgsql "
         "AS $$BEGIN RETURN NULL; END$$; CREATE TRIGGER g AFTER INSERT ON t1 "
         "EXECUTE FUNCTION f()",
         2, none},
        // Into named columns: the rules hold for the columns listed and those not listed.
        {"reordered",
         "CREATE TABLE t (a text, b text, c text)",
         3,
         "(\"c\", \"a\", \"b\")",
         {{"c", "a", "b"}, {}, {}}},
        {"the first field columns, then the constant",
         "CREATE TABLE t (a text, b text, c text)",
         1,
         "(\"c\", \"a\")",
         {{"c", "b"}, "a", "p"}},
        {"more values than field columns",
         "CREATE TABLE t (a text, b text, c text)",
         3,
         none,
         {{"c", "a"}, {}, {}}},
        {"a listed column missing",
         "CREATE TABLE t (a text, b text)",
         2,
         none,
         {{"a", "x"}, {}, {}}},
        {"a constant column missing",
         "CREATE TABLE t (a text, b text)",
         2,
         none,
         {{"a", "b"}, "src", "p"}},
        {"a column listed twice", "CREATE TABLE t (a text, b text)", 2, none, {{"a", "a"}, {}, {}}},
        {"names as the catalogue holds them",
         "CREATE TABLE t (\"we\"\"ird\" text, \"B\" text)",
         2,
         "(\"B\", \"we\"\"ird\")",
         {{"B", "we\"ird"}, {}, {}}},
        {"a default not listed",
         "CREATE TABLE t (a text DEFAULT 'x', b text, c text)",
         2,
         none,
         {{"c", "b"}, {}, {}}},
        {"a default listed",
         "CREATE TABLE t (a text DEFAULT 'x', b text, c text)",
         2,
         "(\"a\", \"b\", \"c\")",
         {{"a", "b"}, "c", "p"}},
        {"an identity by default listed",
         "CREATE TABLE t (a text, id int GENERATED BY DEFAULT AS IDENTITY)",
         2,
         "(\"id\", \"a\")",
         {{"id", "a"}, {}, {}}},
        {"an identity always listed",
         "CREATE TABLE t (a text, id int GENERATED ALWAYS AS IDENTITY)",
         2,
         none,
         {{"id", "a"}, {}, {}}},
        {"a serial not listed",
         "CREATE TABLE t (id serial, a text, b text)",
         2,
         none,
         {{"a", "b"}, {}, {}}},
        {"a computed column listed",
         "CREATE TABLE t (a text, b text, g text GENERATED ALWAYS AS (a) STORED)",
         2,
         none,
         {{"a", "b"}, "g", "p"}},
    };
    TestDatabase db;
    Connection connection = Connection::open(db.settings());
    int schema = 0;
    for (const TargetCase& c : cases) {
        const QString name = QStringLiteral("s%1").arg(++schema);
        connection.execute(QStringLiteral("CREATE SCHEMA %1; SET search_path = %1").arg(name));
        connection.execute(QString::fromUtf8(c.setup));
        EXPECT_EQ(copyColumnList(connection, "t", c.values, nullptr, nullptr, c.targets), c.columns)
            << c.name;
    }
}

// What ValuePrecheck learns of each column: NOT NULL only where no trigger may fill the column
// before the row is written.
TEST(CopyTarget, NotNullLeftToTheServerWhereABeforeTriggerMayFillIt) {
    const struct {
        const char* name;
        const char* trigger; // on t(a integer NOT NULL, b text NOT NULL), or none
        bool notNull;
    } cases[] = {
        {"no trigger", nullptr, true},
        {"a before trigger", "BEFORE INSERT ON t FOR EACH ROW", false},
        {"a before trigger on a partition", "BEFORE INSERT ON t1 FOR EACH ROW", false},
        {"an after trigger", "AFTER INSERT ON t FOR EACH ROW", true},
        {"a before update trigger", "BEFORE UPDATE ON t FOR EACH ROW", true},
    };
    TestDatabase db;
    Connection connection = Connection::open(db.settings());
    int schema = 0;
    for (const auto& c : cases) {
        connection.execute(
            QStringLiteral(
                "CREATE SCHEMA n%1; SET search_path = n%1; CREATE TABLE t (a integer NOT NULL, b "
                "text NOT NULL) PARTITION BY RANGE (a); CREATE TABLE t1 PARTITION OF t FOR VALUES "
                "FROM (0) TO (10); CREATE FUNCTION f() RETURNS trigger LANGUAGE plpgsql AS "
                "$$BEGIN NEW.b := coalesce(NEW.b, 'filled'); RETURN NEW; END$$")
                .arg(++schema));
        if (c.trigger)
            connection.execute(
                QStringLiteral("CREATE TRIGGER g %1 EXECUTE FUNCTION f()").arg(c.trigger));
        std::vector<ValuePrecheck::Column> columns;
        ASSERT_TRUE(copyColumnList(connection, "t", 2, &columns).has_value()) << c.name;
        ASSERT_EQ(columns.size(), 2u) << c.name;
        EXPECT_EQ(columns[0].notNull, c.notNull) << c.name;
        EXPECT_EQ(columns[1].notNull, c.notNull) << c.name;
        EXPECT_EQ(columns[0].type, 23u) << c.name; // int4: the value's type is still checked
    }
}

// ---------------------------------------------------------------------------------------------
// The differential test: every file into every target, once row by row and once by COPY into
// a fresh copy of the target; same rows in the same order, same rejections in the same order.

using Rejections = std::vector<std::pair<qint64, QString>>;

struct Target {
    const char* name;
    const char* setup;              // creates t (and what it needs) in the current schema
    const char* rows;               // %1 is the schema
    std::set<qsizetype> copyValues; // value counts for which COPY must be chosen
    bool prechecks = false; // some file sent by COPY has lines that ValuePrecheck sends alone
};

// The order of commits: each row statement has its own transaction id, each COPY statement
// one for all of its rows, which lie in file order within it.
#define COMMIT_ORDER " ORDER BY xmin::text::bigint, ctid"

const Target Targets[] = {
    {"all text",
     "CREATE TABLE t (a text, b text, c text)",
     "SELECT * FROM %1.t" COMMIT_ORDER,
     {2, 3}},
    {"typed with constraints",
     "CREATE TABLE t (a integer PRIMARY KEY, b text NOT NULL, c numeric CHECK (c >= 0))",
     "SELECT * FROM %1.t" COMMIT_ORDER,
     {2, 3},
     true},
    {"foreign key",
     "CREATE TABLE parent (id integer PRIMARY KEY); INSERT INTO parent SELECT "
     "generate_series(0, 999); CREATE TABLE t (a integer REFERENCES parent, b text, c text)",
     "SELECT * FROM %1.t" COMMIT_ORDER,
     {2, 3},
     true},
    {"partitioned",
     "CREATE TABLE t (a integer, b text, c text) PARTITION BY RANGE (a); "
     "CREATE TABLE t_low PARTITION OF t FOR VALUES FROM (0) TO (20); "
     "CREATE TABLE t_high PARTITION OF t FOR VALUES FROM (20) TO (1000)",
     "SELECT c.relname, t.a, t.b, t.c FROM %1.t JOIN pg_class c ON c.oid = t.tableoid "
     "ORDER BY 2, 3, 4",
     {2, 3},
     true},
    // Row-level INSERT triggers that act on NEW alone: by COPY. Lines a trigger refuses are
    // reported with the row statement's message (the trigger's error), skipped rows count as
    // accepted as they do row by row, and a NOT NULL column a BEFORE trigger fills takes lines
    // that leave it NULL.
    {"trigger",
     "CREATE TABLE t (a text, b text, c text); CREATE FUNCTION shout() RETURNS trigger LANGUAGE "
     "plpgsql AS $$BEGIN IF NEW.a = '13' THEN RAISE EXCEPTION 'thirteen'; END IF; "
     "NEW.b := upper(NEW.b); RETURN NEW; END$$; CREATE TRIGGER shout BEFORE INSERT ON t FOR "
     "EACH ROW EXECUTE FUNCTION shout()",
     "SELECT * FROM %1.t" COMMIT_ORDER,
     {2, 3}},
    {"before trigger filling NOT NULL columns, skipping and refusing rows",
     "CREATE TABLE t (a integer NOT NULL, b text NOT NULL, c numeric CHECK (c >= 0), "
     "stamp text NOT NULL); CREATE FUNCTION fill() RETURNS trigger LANGUAGE plpgsql AS "
     "$$BEGIN IF NEW.a = 20 THEN RETURN NULL; END IF; IF NEW.a > 4000 THEN RAISE EXCEPTION "
     "'too big: %', NEW.a USING HINT = 'keep it small'; END IF; NEW.b := coalesce(NEW.b, "
     "'filled ' || NEW.a); NEW.stamp := TG_OP || ' ' || TG_WHEN || ' ' || TG_TABLE_NAME; "
     "RETURN NEW; END$$; CREATE TRIGGER fill BEFORE INSERT OR UPDATE ON t FOR EACH ROW "
     "EXECUTE FUNCTION fill()",
     "SELECT * FROM %1.t" COMMIT_ORDER,
     {2, 3, 4},
     true},
    {"after trigger refusing rows, partitioned",
     "CREATE TABLE t (a integer, b text, c numeric) PARTITION BY RANGE (a); "
     "CREATE TABLE t_low PARTITION OF t FOR VALUES FROM (0) TO (20); "
     "CREATE TABLE t_high PARTITION OF t FOR VALUES FROM (20) TO (1000); "
     "CREATE FUNCTION sevens() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN IF NEW.b LIKE "
     "'%7' THEN RAISE EXCEPTION 'no sevens in %', TG_TABLE_NAME; END IF; RETURN NULL; END$$; "
     "CREATE TRIGGER sevens AFTER INSERT ON t_high FOR EACH ROW EXECUTE FUNCTION sevens()",
     "SELECT c.relname, t.a, t.b, t.c FROM %1.t JOIN pg_class c ON c.oid = t.tableoid "
     "ORDER BY 2, 3, 4",
     {2, 3},
     true},
    // Row-level INSERT triggers that run statements or draw from sequences, and statement
    // triggers: row by row, as before.
    {"row trigger writing into an audit table",
     "CREATE TABLE t (a integer, b text, c numeric CHECK (c >= 0)); CREATE TABLE audit (id "
     "bigserial, a integer); CREATE FUNCTION note() RETURNS trigger LANGUAGE plpgsql AS "
     "$$BEGIN INSERT INTO audit (a) VALUES (NEW.a); RETURN NEW; END$$; CREATE TRIGGER note "
     "BEFORE INSERT ON t FOR EACH ROW EXECUTE FUNCTION note()",
     "SELECT 't', a, b, c::text FROM (SELECT * FROM %1.t" COMMIT_ORDER ") r "
     "UNION ALL SELECT 'audit', id::int, a::text, NULL FROM %1.audit",
     {}},
    {"statement trigger on insert",
     "CREATE TABLE t (a text, b text, c text); CREATE TABLE audit (n bigint); CREATE FUNCTION "
     "counted() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN INSERT INTO audit SELECT count(*) "
     "FROM t; RETURN NULL; END$$; CREATE TRIGGER counted AFTER INSERT ON t EXECUTE FUNCTION "
     "counted()",
     "SELECT 't', * FROM %1.t UNION ALL SELECT 'audit', n::text, NULL, NULL FROM %1.audit",
     {}},
    // Triggers that never fire on INSERT, writing into another table, on a table whose
    // constraints reject lines: the rejected lines' messages stay the row statement's.
    {"triggers of update, delete and truncate",
     "CREATE TABLE t (a integer, b text NOT NULL, c numeric CHECK (c >= 0)); "
     "CREATE TABLE audit (op text, a integer); "
     "CREATE FUNCTION note_row() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN INSERT INTO audit "
     "VALUES (TG_OP, OLD.a); RETURN NULL; END$$; "
     "CREATE FUNCTION note_all() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN INSERT INTO audit "
     "VALUES (TG_OP, NULL); RETURN NULL; END$$; "
     "CREATE TRIGGER changed AFTER UPDATE OR DELETE ON t FOR EACH ROW EXECUTE FUNCTION "
     "note_row(); CREATE TRIGGER updated BEFORE UPDATE ON t EXECUTE FUNCTION note_all(); "
     "CREATE TRIGGER emptied BEFORE TRUNCATE ON t EXECUTE FUNCTION note_all()",
     "SELECT 't', a::text, b, c::text FROM (SELECT * FROM %1.t" COMMIT_ORDER ") r "
     "UNION ALL SELECT 'audit', op, a::text, NULL FROM %1.audit",
     {2, 3},
     true},
    {"rule",
     "CREATE TABLE t (a text, b text, c text); CREATE TABLE seen (a text); CREATE RULE seen AS "
     "ON INSERT TO t DO ALSO INSERT INTO seen VALUES (NEW.a)",
     "SELECT 't', * FROM %1.t UNION ALL SELECT 'seen', a, NULL, NULL FROM %1.seen",
     {}},
    {"identity always first",
     "CREATE TABLE t (id integer GENERATED ALWAYS AS IDENTITY, a text, "
     "b text)",
     "SELECT * FROM %1.t" COMMIT_ORDER,
     {}},
    // Types whose bad values are seen before sending (ValuePrecheck), some lines sent alone.
    {"narrow types",
     "CREATE TABLE t (a smallint NOT NULL, b varchar(7), c numeric(4,1))",
     "SELECT * FROM %1.t" COMMIT_ORDER,
     {2, 3},
     true},
    {"integer, boolean, date",
     "CREATE TABLE t (a integer, b boolean, c date)",
     "SELECT * FROM %1.t" COMMIT_ORDER,
     {2, 3},
     true},
    {"identity last",
     "CREATE TABLE t (a text, b text, c text, id integer GENERATED BY DEFAULT AS IDENTITY)",
     "SELECT * FROM %1.t" COMMIT_ORDER,
     {4},
     true},
};

struct InputFile {
    const char* name;
    std::function<QStringList()> lines; // data lines, the first is line 1
};

QStringList numbered(int count, const std::function<QString(int)>& line) {
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines.append(line(i));
    return lines;
}

QString goodLine(int i) {
    return QStringLiteral("%1,name %1,%1.5").arg(i);
}

const InputFile Files[] = {
    {"clean", [] { return numbered(40, goodLine); }},
    {"one bad value",
     [] { return numbered(40, [](int i) { return i == 17 ? "x17,name 17,1" : goodLine(i); }); }},
    {"bad values throughout",
     [] {
         return numbered(60, [](int i) {
             switch (i % 5) {
             case 1:
                 return QStringLiteral("%1,,1").arg(i); // NULL b
             case 3:
                 return QStringLiteral("%1,name %1,-%1").arg(i); // negative c
             case 4:
                 return QStringLiteral("%1,name,abc").arg(i + 5000); // out of every range
             default:
                 return goodLine(i);
             }
         });
     }},
    {"duplicate keys in one chunk and across chunks",
     [] {
         return numbered(40, [](int i) {
             if (i == 5)
                 return goodLine(3); // three lines after the first
             if (i == 33)
                 return goodLine(2); // many chunks after the first
             return goodLine(i);
         });
     }},
    {"fewer values than columns",
     [] { return numbered(20, [](int i) { return QStringLiteral("%1,two %1").arg(i); }); }},
    {"more values than columns",
     [] { return numbered(20, [](int i) { return goodLine(i) + ",extra"; }); }},
    {"NOT NULL and CHECK",
     [] {
         return numbered(30, [](int i) {
             if (i % 7 == 0)
                 return QStringLiteral("%1,\"\",1").arg(i);
             if (i % 4 == 0)
                 return QStringLiteral("%1,b,-0.5").arg(i);
             return goodLine(i);
         });
     }},
    {"text that COPY treats specially",
     [] {
         return QStringList{"1,back\\slash,1",
                            "2,\\N,2",
                            "3,tab\there,3",
                            "4,O'Neil,4",
                            "5,\"quoted\",5",
                            "6,\"\",6",
                            ",empty first,7",
                            "8,\\.,8",
                            "9,  blanks  ,9",
                            "10,cr\rhere,10",
                            "11,a\\tb\\n,11",
                            QString::fromUtf8("12,Gr\xc3\xb6\xc3\x9f"
                                              "e \xe2\x82\xac,12"),
                            QStringLiteral("13,nul\u0000inside,13"),
                            "14,after nul,14",
                            "15,'';--,15"};
     }},
    {"other value counts on some lines",
     [] {
         return numbered(30, [](int i) {
             if (i == 10)
                 return QStringLiteral("%1,two only").arg(i);
             if (i == 20)
                 return goodLine(i) + ",four";
             return goodLine(i);
         });
     }},
    {"values at the edges of their types",
     [] {
         return QStringList{" 12 ,abc,1.5",      "+13,abcdefg  ,999.9", "0x1F,yes,1",
                            "1_000,x,1",         "32768,t,1",           "-32768,of,2024-02-29",
                            "14,abcdefgh,1",     "15,t,1000",           "16,yes,NaN",
                            "17,2024-02-29,1e2", "18,o,-0.05",          "19,2023-02-29,x",
                            "20,today,",         "21,on,  7  ",         "22,1/8/1999,.",
                            ",true,1",           "23,\"f\",2024-13-01", "24,n,999.99"};
     }},
    {"a line longer than one COPY message",
     [] {
         return numbered(6, [](int i) {
             return i == 3 ? QStringLiteral("3,%1,3").arg(QString(200000, QLatin1Char('y')))
                           : goodLine(i);
         });
     }},
    {"lines sent alone keep their place among duplicate keys",
     [] {
         return numbered(60, [](int i) {
             switch (i) {
             case 4:
                 return QStringLiteral("2,two only"); // alone, a key already in
             case 7:
                 return QStringLiteral("x7,name,1"); // alone, refused before sending
             case 12:
                 return QStringLiteral("12,two only"); // alone, then its key again
             case 13:
             case 14:
                 return goodLine(12);
             case 40:
                 return QStringLiteral("x40,,x"); // alone, two lines before its key
             case 42:
                 return goodLine(40);
             default:
                 return goodLine(i);
             }
         });
     }},
    {"sparse bad lines over many chunks",
     [] {
         return numbered(300, [](int i) {
             return (i == 50 || i == 51 || i == 190 || i == 300) ? QStringLiteral("%1,,x").arg(i)
                                                                 : goodLine(i);
         });
     }},
};

// Lines read with the quoted rule: values keep their quotes, a quoted empty value is the
// empty text and an unquoted one NULL (except first), a record may hold line feeds.
const InputFile QuotedFiles[] = {
    {"quoted values",
     [] {
         return QStringList{"1,\"say \"\"hi\"\"\",1.5",
                            "2,\"\",2",
                            "\"\",empty first quoted,3",
                            ",empty first,4",
                            "5,,6",
                            "6,\"a,b\",7",
                            "7,\"\\N\",8",
                            "8,5\" pipe,9",
                            "9,\"two\nlines\",10",
                            "10,\"cr\r\nlf\",11",
                            "x11,\"bad key\",12",
                            "12,\"\"\"\",-1",
                            QStringLiteral("13,\"nul\u0000\",14"),
                            "14,\"\t\",\"\""};
     }},
    {"quoted with rejections throughout",
     [] {
         return numbered(60, [](int i) {
             switch (i % 6) {
             case 1:
                 return QStringLiteral("%1,,1").arg(i); // NULL b
             case 2:
                 return QStringLiteral("%1,\"\",1").arg(i); // empty b, not NULL
             case 4:
                 return QStringLiteral("\"%1\",\"q \"\"%1\"\"\",-%1").arg(i); // negative c
             default:
                 return QStringLiteral("\"%1\",\"name, %1\",%1.5").arg(i);
             }
         });
     }},
};

// The fields of one record under the quoted rule; the record's line feeds separate its lines.
QStringList quotedFields(const QString& record) {
    QuotedFieldParser parser(QStringLiteral(","), QLatin1Char('\n'));
    parser.begin(true);
    for (const QString& line : record.split(QLatin1Char('\n')))
        parser.addLine(line);
    return parser.takeValues();
}

// Small chunks and short COPY statements, so that a few dozen lines cross many boundaries.
CopySender::Options smallChunks() {
    CopySender::Options options;
    options.chunkLines = options.ownChunkLines = 8;
    options.growWhenFar = false; // the boundaries stay where they are on a busy machine too
    options.chunkBytes = 300;
    options.minPieceLines = 2;
    options.pieceSwitchCost = 4;
    return options;
}

struct Outcome {
    Rejections rejections;
    qint64 accepted = 0;
    bool copied = false;
    qint64 prechecked = 0; // lines ValuePrecheck sent alone
};

// How importLines sends: by COPY where the table takes it (fast) or row by row, under a field
// rule, into the targets' columns. Plain lines go as their bytes by COPY, as a whole run hands
// them over, and row by row too when asBytes.
struct Sending {
    bool fast = false;
    FieldRule rule = FieldRule::Plain;
    ColumnTargets targets{};
    bool asBytes = false;
    bool grouped = false; // row by row in groups (GroupedInsertSender) rather than each alone
};

Outcome importLines(const TestDatabase& db, const QString& schema, const QStringList& lines,
                    const Sending& how) {
    Connection connection = Connection::open(db.settings());
    connection.execute(QStringLiteral("SET search_path = %1").arg(schema));
    Outcome outcome;
    const RowSender::Rejected rejected = [&](const LineRejection& r) {
        outcome.rejections.emplace_back(r.line, r.description);
    };
    const FieldRule rule = how.rule;
    const auto fieldsOf = [rule](const QString& line) {
        return rule == FieldRule::Quoted ? quotedFields(line) : SplitFields(line, ",");
    };
    std::unique_ptr<RowSender> sender;
    CopySender* copy = nullptr;
    std::optional<CopyTarget> target;
    if (how.fast) // the choice a run makes, for the first line's number of values
        target = CopyTarget::find(connection, "t", fieldsOf(lines.first()).size(), how.targets);
    if (target) {
        CopySender::Options options = smallChunks();
        options.fieldRule = rule;
        auto owned = std::make_unique<CopySender>(connection, std::move(*target), "data.csv", ",",
                                                  rejected, options);
        copy = owned.get();
        sender = std::move(owned);
    } else if (how.grouped) {
        GroupedInsertSender::Options options;
        options.groupLines = 4; // many groups, some with several rejected lines
        sender = std::make_unique<GroupedInsertSender>(
            connection, RowStatements("t", "data.csv", rule, ",", how.targets), rejected, options);
    } else {
        sender = std::make_unique<InsertSender>(
            connection, RowStatements("t", "data.csv", rule, ",", how.targets), rejected);
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray bytes = lines[i].toUtf8();
        if (rule == FieldRule::Plain && (how.fast || how.asBytes))
            sender->send(bytesRecord(i + 1, bytes, SplitFields(lines[i], ",").size()));
        else
            sender->send(fieldsRecord(i + 1, fieldsOf(lines[i])));
    }
    sender->finish();
    outcome.accepted = sender->rowsAccepted();
    outcome.copied = copy != nullptr;
    outcome.prechecked = copy ? copy->prechecked() : 0;
    return outcome;
}

// Every file into every target, once row by row, once by COPY and once row by row in groups,
// under one field rule.
template <std::size_t N>
void compareSenders(const InputFile (&files)[N], FieldRule rule, const char* prefix) {
    TestDatabase db;
    int number = 0;
    for (const Target& target : Targets) {
        qint64 prechecked = 0;
        bool copied = false;
        for (const InputFile& file : files) {
            const QString where = QStringLiteral("%1 <- %2").arg(target.name, file.name);
            const QString rowwise = QStringLiteral("%1r%2").arg(prefix).arg(++number);
            const QString fast = QStringLiteral("%1f%2").arg(prefix).arg(number);
            const QString grouped = QStringLiteral("%1g%2").arg(prefix).arg(number);
            for (const QString& schema : {rowwise, fast, grouped})
                db.execute(QStringLiteral("CREATE SCHEMA %1; SET search_path = %1; %2")
                               .arg(schema, QString::fromUtf8(target.setup)));
            const QStringList lines = file.lines();
            const Outcome expected = importLines(db, rowwise, lines, {false, rule});
            const Outcome actual = importLines(db, fast, lines, {true, rule});
            const Outcome inGroups =
                importLines(db, grouped, lines, {false, rule, {}, false, true});

            EXPECT_EQ(actual.rejections, expected.rejections) << where.toStdString();
            EXPECT_EQ(actual.accepted, expected.accepted) << where.toStdString();
            const QString rows = QString::fromUtf8(target.rows);
            EXPECT_EQ(db.rows(rows.arg(fast)), db.rows(rows.arg(rowwise))) << where.toStdString();
            EXPECT_EQ(inGroups.rejections, expected.rejections)
                << "grouped " << where.toStdString();
            EXPECT_EQ(inGroups.accepted, expected.accepted) << "grouped " << where.toStdString();
            EXPECT_EQ(db.rows(rows.arg(grouped)), db.rows(rows.arg(rowwise)))
                << "grouped " << where.toStdString();
            const qsizetype values = rule == FieldRule::Plain
                                         ? SplitFields(lines.first(), ",").size()
                                         : quotedFields(lines.first()).size();
            EXPECT_EQ(actual.copied, target.copyValues.count(values) == 1) << where.toStdString();
            prechecked += actual.prechecked;
            copied = copied || actual.copied;
        }
        // The lines sent alone before COPY could fail on them were compared too.
        EXPECT_EQ(prechecked > 0, target.prechecks && copied) << target.name << ": " << prechecked;
    }
}

TEST(CopySenderDifferential, SameRowsAndRejectionsAsRowByRow) {
    compareSenders(Files, FieldRule::Plain, "p");
}

TEST(CopySenderDifferential, SameRowsAndRejectionsAsRowByRowWithQuotedFields) {
    compareSenders(QuotedFiles, FieldRule::Quoted, "q");
}

// ---------------------------------------------------------------------------------------------
// Into named columns, with a constant value in every row: by COPY as row by row (the rows, the
// rejections and their messages), row by row from the lines' bytes.

struct MappedCase {
    const char* name;
    const char* setup; // creates t in the current schema
    ColumnTargets targets;
    std::function<QStringList()> lines;
    bool copied;    // COPY is chosen for the first line's number of values
    bool prechecks; // ValuePrecheck sends some lines alone, by the type of their mapped column
    FieldRule rule = FieldRule::Plain;
};

// A file's path as the constant: an apostrophe, a backslash, a tab, a double quote, non-ASCII.
const QString OddPath = QStringLiteral("C:\\Daten\\O'Neil\t\"Gr\u00f6\u00dfe\" \u20ac.csv");

// A typed line for t(i integer, d date, n numeric(4,1), v varchar(3)) filled as d, v, i, n:
// every second line is good, the others hold a value valid for the column of its position but
// not for the column it goes into, or the reverse.
QString typedLine(int i) {
    switch (i % 8) {
    case 1:
        return QStringLiteral("2024-02-30,ab,%1,1").arg(i); // no such date
    case 3:
        return QStringLiteral("2024-01-01,2024-01-01,%1,1").arg(i); // a date, too long for v
    case 5:
        return QStringLiteral("2024-01-01,ab,%1.5,1").arg(i); // numeric, not integer
    case 7:
        return QStringLiteral("2024-01-01,ab,%1,1234.5").arg(i); // beyond numeric(4,1)
    case 6:
        return QStringLiteral("2024-01-01,,%1,").arg(i); // NULLs
    default: // good, though no integer in the first position
        return QStringLiteral("2024-01-%1,abc,%1,%1.5").arg(i % 28 + 1, 2, 10, QLatin1Char('0'));
    }
}

const MappedCase MappedCases[] = {
    {"reordered, other value counts among them",
     "CREATE TABLE t (a text, b text, c text)",
     {{"c", "a", "b"}, {}, {}},
     [] {
         return numbered(30, [](int i) {
             if (i % 10 == 3)
                 return QStringLiteral("%1,two").arg(i); // b left NULL
             if (i % 10 == 7)
                 return QStringLiteral("%1,x,y,four").arg(i); // more values than columns
             if (i == 12)
                 return QStringLiteral("12,nul\u0000,1");
             return goodLine(i);
         });
     },
     true,
     false},
    {"a subset, the others NULL",
     "CREATE TABLE t (a text, b text, c text, d text)",
     {{"d", "b"}, {}, {}},
     [] {
         return numbered(20, [](int i) {
             return i == 9   ? QStringLiteral("9,x,y")
                    : i == 5 ? QStringLiteral("5,")
                             : QStringLiteral("%1,name %1").arg(i);
         });
     },
     true,
     false},
    {"a subset, the others their defaults",
     "CREATE TABLE t (a text, b text DEFAULT 'default', n serial, c text)",
     {{"c", "a"}, {}, {}},
     [] { return numbered(10, [](int i) { return QStringLiteral("%1,x%1").arg(i); }); },
     false,
     false},
    {"a constant column",
     "CREATE TABLE t (a text, b text, src text, c text)",
     {{"b", "a"}, "src", OddPath},
     [] {
         return QStringList{"1,back\\slash", "2,\\N",        "3,tab\there",
                            "4,O'Neil",      "5,\"quoted\"", "6,\"\"",
                            ",empty first",  "8,\\.",        QStringLiteral("9,nul\u0000"),
                            "10,two,three",  "11,cr\rhere",  "12,\\t\\n",
                            "13,x"};
     },
     true,
     false},
    {"a constant too long for its column",
     "CREATE TABLE t (a text, b text, src varchar(4))",
     {{"a", "b"}, "src", "/in/long.csv"},
     [] { return numbered(12, [](int i) { return QStringLiteral("%1,x").arg(i); }); },
     true,
     true},
    {"typed: each value checked by the column it goes into",
     "CREATE TABLE t (i integer, d date, n numeric(4,1), v varchar(3))",
     {{"d", "v", "i", "n"}, {}, {}},
     [] { return numbered(48, typedLine); },
     true,
     true},
    {"typed with a constant date",
     "CREATE TABLE t (i integer, d date, n numeric(4,1), v varchar(3), loaded date)",
     {{"d", "v", "i", "n"}, "loaded", "2024-05-06"},
     [] { return numbered(24, typedLine); },
     true,
     true},
    {"a listed column the table lacks",
     "CREATE TABLE t (a text, b text)",
     {{"b", "nosuch"}, {}, {}},
     [] { return numbered(5, [](int i) { return QStringLiteral("%1,x").arg(i); }); },
     false,
     false},
    {"a computed column listed",
     "CREATE TABLE t (a text, b text, g text GENERATED ALWAYS AS (a || b) STORED)",
     {{"a", "g"}, {}, {}},
     [] { return numbered(5, [](int i) { return QStringLiteral("%1,x").arg(i); }); },
     false,
     false},
    {"a computed column not listed",
     "CREATE TABLE t (a text, b text, g text GENERATED ALWAYS AS (a || b) STORED)",
     {{"b", "a"}, {}, {}},
     [] { return numbered(5, [](int i) { return QStringLiteral("%1,x").arg(i); }); },
     true,
     false},
    {"an identity column not listed",
     "CREATE TABLE t (id integer GENERATED ALWAYS AS IDENTITY, a text, b text)",
     {{"b", "a"}, {}, {}},
     [] { return numbered(5, [](int i) { return QStringLiteral("%1,x").arg(i); }); },
     false,
     false},
    {"more values than field columns from the first line",
     "CREATE TABLE t (a text, b text, c text)",
     {{"a", "b"}, {}, {}},
     [] { return numbered(5, goodLine); },
     false,
     false},
    {"quoted fields with a constant",
     "CREATE TABLE t (a text, b text, src text)",
     {{"b", "a"}, "src", OddPath},
     [] {
         return QStringList{"1,\"say \"\"hi\"\"\"",
                            "2,\"\"",
                            ",x",
                            "\"a,b\",\"two\nlines\"",
                            "5,",
                            "6,\"\\N\"",
                            "7,8,9"};
     },
     true,
     false,
     FieldRule::Quoted},
};

TEST(CopySenderDifferential, MappedColumnsSameAsRowByRow) {
    TestDatabase db;
    int number = 0;
    for (const MappedCase& c : MappedCases) {
        const QString rowwise = QStringLiteral("mr%1").arg(++number);
        const QString fast = QStringLiteral("mf%1").arg(number);
        for (const QString& schema : {rowwise, fast})
            db.execute(QStringLiteral("CREATE SCHEMA %1; SET search_path = %1; %2")
                           .arg(schema, QString::fromUtf8(c.setup)));
        const QStringList lines = c.lines();
        const Outcome expected = importLines(db, rowwise, lines, {false, c.rule, c.targets, true});
        const Outcome actual = importLines(db, fast, lines, {true, c.rule, c.targets});

        EXPECT_EQ(actual.rejections, expected.rejections) << c.name;
        EXPECT_EQ(actual.accepted, expected.accepted) << c.name;
        const QString rows = QStringLiteral("SELECT * FROM %1.t" COMMIT_ORDER);
        EXPECT_EQ(db.rows(rows.arg(fast)), db.rows(rows.arg(rowwise))) << c.name;
        EXPECT_EQ(actual.copied, c.copied) << c.name;
        if (!c.targets.constantColumn.isEmpty() && actual.accepted > 0) {
            EXPECT_EQ(db.rows(QStringLiteral("SELECT DISTINCT %1 FROM %2.t")
                                  .arg(quoteIdentifier(c.targets.constantColumn), fast)),
                      QStringList{c.targets.constantValue})
                << c.name;
        }
        // Lines are sent alone for their mapped columns' types only: each one the server
        // rejects.
        EXPECT_EQ(actual.prechecked > 0, c.prechecks) << c.name;
        EXPECT_LE(actual.prechecked, qint64(expected.rejections.size())) << c.name;
    }
}

// The run's choice carries the targets to every sender: the same rows by COPY, as one group of
// a small file and row by row.
TEST(RowSenderFactory, EverySenderTakesTheTargets) {
    TestDatabase db;
    const QString path = QStringLiteral("/in/O'Neil\\x.csv");
    const struct {
        const char* name;
        bool rowByRow;
        int more; // lines after the first three: past one group, the file goes by COPY
    } cases[] = {{"copy", false, 70}, {"one group", false, 0}, {"row by row", true, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        db.execute("DROP TABLE IF EXISTS t; CREATE TABLE t (a text, b text, src text)");
        Connection connection = Connection::open(db.settings());
        const SenderChoice choice{"t",        "data.csv", FieldRule::Plain,         ",",
                                  c.rowByRow, {},         {{"b", "a"}, "src", path}};
        Rejections rejections;
        const std::unique_ptr<RowSender> sender =
            makeRowSender(connection, choice, 2, [&](const LineRejection& r) {
                rejections.emplace_back(r.line, r.description);
            });
        EXPECT_EQ(sender->byCopy(), !c.rowByRow);
        QList<QByteArray> lines{"1,x", "2,y", "3,z,more"};
        for (int i = 0; i < c.more; ++i)
            lines.append(QByteArray::number(i + 4) + ",w");
        for (int i = 0; i < lines.size(); ++i)
            sender->send(bytesRecord(i + 1, lines[i], lines[i].count(',') + 1));
        sender->finish();
        EXPECT_EQ(db.rows("SELECT * FROM t WHERE a <> 'w' ORDER BY a"),
                  (QStringList{"x|1|" + path, "y|2|" + path}));
        EXPECT_EQ(db.count("t"), 2 + c.more);
        ASSERT_EQ(rejections.size(), 1u);
        EXPECT_EQ(rejections[0].first, 3);
        EXPECT_TRUE(rejections[0].second.contains("more expressions than target columns"))
            << rejections[0].second.toStdString();
    }
}

// ---------------------------------------------------------------------------------------------
// Failures of the transaction itself and stopping.

// A connection lost in the middle of a chunk: no line is reported for it, the lines committed
// before are in, and the sender names the first line not committed, for a resend over a new
// connection.
TEST(CopySender, ALostConnectionLeavesTheUncommittedLinesUnreported) {
    TestDatabase db;
    db.execute("CREATE TABLE t (a text, b text)");
    Connection connection = Connection::open(db.settings());
    const QString pid = connection.query("SELECT pg_backend_pid()").value(0, 0);
    Rejections rejections;
    const auto sender = copySenderFor(
        connection, "t", 2,
        [&](const LineRejection& r) { rejections.emplace_back(r.line, r.description); },
        smallChunks());
    ASSERT_TRUE(sender);
    for (int line = 1; line <= 10; ++line)
        sender->send(fieldsRecord(line, {"a", QString::number(line)}));
    db.execute(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(pid));
    for (int line = 11; line <= 12; ++line)
        sender->send(fieldsRecord(line, {"a", QString::number(line)}));
    sender->finish();

    const std::optional<LostConnection> lost = sender->lostConnection();
    ASSERT_TRUE(lost.has_value());
    EXPECT_TRUE(rejections.empty());
    const QStringList in = db.column("SELECT b FROM t ORDER BY b::int");
    EXPECT_EQ(in.size(), sender->rowsAccepted());
    QStringList first;
    for (int line = 1; line <= in.size(); ++line)
        first.append(QString::number(line));
    EXPECT_EQ(in, first) << "the first lines, no gap";
    ASSERT_FALSE(lost->notCommitted.empty());
    EXPECT_EQ(lost->notCommitted.front(), in.size() + 1);
    EXPECT_EQ(lost->notCommitted.back(), 12) << "every line handed over after them too";
}

// Lines the server is sure to refuse go after the rest of their chunk, before its COMMIT. A
// connection lost at any point leaves each line accounted for once: in the table, reported
// rejected (only when its chunk committed), or handed back as not committed (the chunk in
// doubt among them, which may be in the table too); never a bad line reported before its chunk
// is known to be in, never one forgotten.
TEST(CopySender, ALostConnectionLosesNoLineSetAside) {
    TestDatabase db;
    db.execute("CREATE TABLE t (a integer, b integer)");
    const std::set<int> bad = {5, 12, 13, 20, 27, 33};
    for (const int killAfter : {3, 5, 9, 13, 16, 23, 30, 36}) {
        SCOPED_TRACE(killAfter);
        db.execute("TRUNCATE t");
        Connection connection = Connection::open(db.settings());
        const QString pid = connection.query("SELECT pg_backend_pid()").value(0, 0);
        std::set<qint64> rejected;
        const auto sender = copySenderFor(
            connection, "t", 2, [&](const LineRejection& r) { rejected.insert(r.line); },
            smallChunks());
        ASSERT_TRUE(sender);
        int handed = 0; // a sender that lost its connection takes no more lines
        for (int line = 1; line <= 40 && sender->taking(); handed = line++) {
            if (line == killAfter + 1)
                db.execute(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(pid));
            const QString value = QString::number(line);
            sender->send(fieldsRecord(line, {bad.count(line) ? "x" : value, value}));
        }
        sender->finish();

        const std::optional<LostConnection> lost = sender->lostConnection();
        ASSERT_TRUE(lost.has_value());
        ASSERT_FALSE(lost->notCommitted.empty());
        const std::set<qint64> notCommitted(lost->notCommitted.begin(), lost->notCommitted.end());
        const qint64 firstOpen = lost->notCommitted.front();
        std::set<qint64> in;
        for (const QString& b : db.column("SELECT b FROM t"))
            in.insert(b.toLongLong());
        for (qint64 line = 1; line <= handed; ++line) {
            const bool doubtful = lost->chunkInDoubt && line >= lost->chunkInDoubt->firstLine &&
                                  line <= lost->chunkInDoubt->lastLine;
            const int places = int(in.count(line)) + int(rejected.count(line)) +
                               int(notCommitted.count(line) && !(doubtful && in.count(line)));
            EXPECT_EQ(places, 1) << "line " << line;
            EXPECT_FALSE(bad.count(line) && in.count(line)) << "line " << line;
            EXPECT_FALSE(rejected.count(line) && line >= firstOpen) << "line " << line;
            EXPECT_FALSE(line < firstOpen && !in.count(line) && !rejected.count(line))
                << "line " << line;
        }
    }
}

// A backend ended before the sender's first statement, while the sender sets its connection
// up: by COPY (the lines held back to see whether the file is longer than a group among them),
// as one group and row by row, no line is rejected with the server's farewell; every line
// handed over is left for a new connection.
TEST(RowSenderFactory, ABackendEndedBeforeTheFirstStatementLosesNoLine) {
    TestDatabase db;
    db.execute("CREATE TABLE t (a text, b text)");
    const struct {
        const char* name;
        bool rowByRow;
        int lines;
    } cases[] = {{"copy", false, 70}, {"one group", false, 3}, {"row by row", true, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Connection connection = Connection::open(db.settings());
        db.execute(QStringLiteral("SELECT pg_terminate_backend(%1)")
                       .arg(connection.query("SELECT pg_backend_pid()").value(0, 0)));
        QThread::msleep(100); // the farewell is in before the sender's first word
        Rejections rejections;
        const std::unique_ptr<RowSender> sender = makeRowSender(
            connection, {"t", "data.csv", FieldRule::Plain, ",", c.rowByRow, {}, {}}, 2,
            [&](const LineRejection& r) { rejections.emplace_back(r.line, r.description); });
        std::vector<qint64> handed;
        for (int line = 1; line <= c.lines; ++line) {
            sender->send(fieldsRecord(line, {"a", QString::number(line)}));
            handed.push_back(line);
        }
        sender->finish();
        for (const auto& [line, description] : rejections)
            ADD_FAILURE() << "line " << line << ": " << description.toStdString();
        const std::optional<LostConnection> lost = sender->lostConnection();
        ASSERT_TRUE(lost.has_value());
        EXPECT_EQ(lost->notCommitted, handed);
        EXPECT_EQ(lost->unanswered.first, -1) << "nothing was sent: nothing is in doubt";
    }
}

// A role that may not make the chunks' markers: the first transaction, whose opening rides
// with its first statement, fails to open and is opened again without one, whether that
// statement is a COPY or a line sent alone; every line is settled as with markers.
TEST(CopySender, ARoleWithoutLargeObjectsSendsEveryChunkWithoutMarkers) {
    for (const bool firstAlone : {false, true}) {
        SCOPED_TRACE(firstAlone ? "first line alone" : "first line by COPY");
        TestDatabase db;
        db.execute("CREATE TABLE t (a text, b int)");
        db.execute("REVOKE EXECUTE ON FUNCTION lo_from_bytea(oid, bytea) FROM PUBLIC");
        db.execute(QStringLiteral("GRANT INSERT ON t TO %1").arg(TestServer::get().role));
        ConnectionSettings asRole = db.settings();
        asRole.user = TestServer::get().role;
        asRole.password = TestServer::get().rolePassword;
        Connection connection = Connection::open(asRole);
        Rejections rejections;
        const auto sender = copySenderFor(
            connection, "t", 2,
            [&](const LineRejection& r) { rejections.emplace_back(r.line, r.description); },
            smallChunks());
        ASSERT_TRUE(sender);
        // A line of one value goes alone, as its row statement: b is NULL.
        if (firstAlone)
            sender->send(fieldsRecord(1, {"a"}));
        for (int line = 2; line <= 30; ++line)
            sender->send(fieldsRecord(line, {"a", line == 17 ? "x" : QString::number(line)}));
        sender->finish();

        EXPECT_FALSE(sender->lostConnection().has_value());
        ASSERT_EQ(rejections.size(), 1u);
        EXPECT_EQ(rejections[0].first, 17);
        const int in = firstAlone ? 29 : 28;
        EXPECT_EQ(sender->rowsAccepted(), in);
        EXPECT_EQ(db.column("SELECT count(*) FROM t"), QStringList{QString::number(in)});
        EXPECT_EQ(db.column("SELECT count(*) FROM pg_largeobject_metadata"), QStringList{"0"});
    }
}

TEST(CopySender, StopsAfterTheChunkInFlightWithEveryLineTakenCommitted) {
    TestDatabase db;
    db.execute("CREATE TABLE t (a text, b text)");
    Connection connection = Connection::open(db.settings());
    bool stop = false;
    CopySender::Options options = smallChunks();
    options.stopRequested = [&] { return stop; };
    const auto sender = copySenderFor(
        connection, "t", 2, [](const LineRejection&) {}, options);
    ASSERT_TRUE(sender);
    int sent = 0;
    for (int line = 1; line <= 1000 && !sender->stopped(); ++line) {
        if (line == 3)
            stop = true; // asked while the first chunk is being filled
        sender->send(fieldsRecord(line, {"a", QString::number(line)}));
        ++sent;
    }
    sender->send(fieldsRecord(1001, {"not", "sent"})); // ignored once stopped
    sender->finish();

    EXPECT_TRUE(sender->stopped());
    EXPECT_GE(sent, 8);   // the chunk in flight is completed...
    EXPECT_LT(sent, 200); // ...and then the sender stops
    EXPECT_EQ(sender->rowsAccepted(), sent);
    EXPECT_EQ(db.column("SELECT count(*) FROM t"), QStringList({QString::number(sent)}));
}

// ---------------------------------------------------------------------------------------------
// Whole runs from files: the same import once with rowByRow and once without.

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// What a whole run of the files did: create one table per file, then append every file into
// target (id integer PRIMARY KEY, word text, amount numeric CHECK (amount >= 0)).
struct WholeRun {
    QStringList messages, errors, created, appended;
    qint64 rows = 0;
};

// Runs choices (files, separator, rule) row by row or not, in create mode with the template and
// then in append mode; created is what the created queries read one after the other, appended
// what the appended query reads.
WholeRun createThenAppend(ImportChoices choices, bool rowByRow, const QString& tableTemplate,
                          const QStringList& created, const QString& appended) {
    TestDatabase db;
    db.execute("CREATE TABLE target (id integer PRIMARY KEY, word text, amount numeric "
               "CHECK (amount >= 0))");
    choices.connection = db.settings();
    choices.rowByRow = rowByRow;
    WholeRun result;
    RecordingFrontEnd create;
    choices.mode = ImportChoices::TableMode::Create;
    choices.tableTemplate = tableTemplate;
    result.rows += runImport(choices, create).rowsSent;
    RecordingFrontEnd append;
    choices.mode = ImportChoices::TableMode::Append;
    choices.existingTables = {"target"};
    choices.selectedTable = 0;
    result.rows += runImport(choices, append).rowsSent;
    result.messages = create.messages + append.messages;
    result.errors = create.errors + append.errors;
    for (const QString& query : created)
        result.created += db.rows(query);
    result.appended = db.rows(appended);
    return result;
}

// COPY did what row by row did: the same messages, rows and counts.
void expectSameRuns(const WholeRun& fast, const WholeRun& rowwise) {
    EXPECT_EQ(fast.messages, rowwise.messages);
    EXPECT_EQ(fast.errors, rowwise.errors);
    EXPECT_EQ(fast.created, rowwise.created);
    EXPECT_EQ(fast.appended, rowwise.appended);
    EXPECT_EQ(fast.rows, rowwise.rows);
}

TEST(CopySenderDifferential, WholeRunsFromUtf8AndWindows1252Files) {
    QTemporaryDir dir;
    const QString utf8 = dir.filePath("utf8.csv");
    const QString ansi = dir.filePath("ansi.csv");
    QByteArray utf8Bytes = "id,word,amount\r\n";
    QByteArray ansiBytes = "id,word,amount\n";
    for (int i = 1; i <= 2500; ++i) {
        const QByteArray n = QByteArray::number(i);
        // Rejected by the append target: -1 by its CHECK, "abc" (seen before sending) as no
        // number.
        const QByteArray amount = i % 997 == 0 ? "-1" : i % 613 == 0 ? "abc" : n;
        utf8Bytes += n +
                     ",Gr\xc3\xb6\xc3\x9f"
                     "e \xc3\xa4 \xe2\x82\xac" +
                     n + "," + amount + "\r\n";
        ansiBytes += n +
                     ",Gr\xf6\xdf"
                     "e \xe4 \x80" +
                     n + "," + amount + "\n";
    }
    writeFile(utf8, utf8Bytes);
    writeFile(ansi, ansiBytes);

    ImportChoices choices;
    choices.separator = ",";
    choices.files = {utf8, ansi}; // appended, the second file repeats every key of the first
    const auto run = [&](bool rowByRow) {
        return createThenAppend(
            choices, rowByRow, "New[counter]",
            {"SELECT * FROM \"New1\"" COMMIT_ORDER, "SELECT * FROM \"New2\"" COMMIT_ORDER},
            "SELECT * FROM target" COMMIT_ORDER);
    };
    const WholeRun rowwise = run(true);
    const WholeRun fast = run(false);
    expectSameRuns(fast, rowwise);
    // Both files arrive with the same text, and the rejected lines were reported.
    EXPECT_EQ(rowwise.created.value(0), QString::fromUtf8("1|Gr\xc3\xb6\xc3\x9f"
                                                          "e \xc3\xa4 "
                                                          "\xe2\x82\xac"
                                                          "1|1"));
    EXPECT_EQ(rowwise.created.value(0), rowwise.created.value(2500));
    EXPECT_EQ(rowwise.errors.size(), 2 + 4 + 2500);
    EXPECT_EQ(rowwise.rows, 2 * 2500 + 2500 - 2 - 4);
}

// The same with quoted fields: multi-line records, kept quotes, quoted empty values, a NUL
// character inside quotes, rejected rows named by their first line.
TEST(CopySenderDifferential, WholeRunsWithQuotedFields) {
    QTemporaryDir dir;
    QByteArray bytes = "id,\"word, quoted\",amount\r\n";
    for (int i = 1; i <= 1500; ++i) {
        const QByteArray n = QByteArray::number(i);
        const QByteArray amount = i % 331 == 0   ? "-1"
                                  : i % 401 == 0 ? "abc"
                                  : i % 7 == 0   ? "\"\""
                                                 : n;
        if (i == 900)
            bytes += n + ",\"nul" + QByteArray(1, '\0') + "\",1\r\n";
        else if (i % 5 == 0)
            bytes += n + ",\"line one\r\n\"\"two\"\", " + n + "\"," + amount + "\r\n";
        else
            bytes += "\"" + n +
                     "\",Gr\xc3\xb6\xc3\x9f"
                     "e \"" +
                     n + "\"," + amount + "\r\n";
    }
    const QString path = writeTestFile(dir, "quoted.csv", bytes);

    ImportChoices choices;
    choices.separator = ",";
    choices.quotedFields = true;
    choices.files = {path};
    const auto run = [&](bool rowByRow) {
        return createThenAppend(choices, rowByRow, "New",
                                {"SELECT * FROM \"New\" ORDER BY id::int"},
                                "SELECT * FROM target ORDER BY id");
    };
    const WholeRun rowwise = run(true);
    const WholeRun fast = run(false);
    expectSameRuns(fast, rowwise);

    EXPECT_EQ(rowwise.created.value(4), "5|line one\r\n\"two\", 5|5");
    EXPECT_EQ(rowwise.created.value(6), QString::fromUtf8("7|Gr\xc3\xb6\xc3\x9f"
                                                          "e \"7\"|"));
    // Lines: header 0, then every fifth record takes two lines, so record i starts at line
    // i + (i - 1) / 5.
    const QString nul = nulCharacterRejection(900 + 899 / 5, path);
    // The NUL line in both runs; appended, -1 four times, "abc" three times and the quoted
    // empty amount (the empty text, which numeric rejects) on every seventh line.
    EXPECT_EQ(rowwise.errors.filter(nul).size(), 2) << rowwise.errors.join("\n").toStdString();
    EXPECT_EQ(rowwise.errors.size(), 2 + 4 + 3 + 214);
    EXPECT_EQ(rowwise.rows, 1499 + 1500 - 219 - 3);
}

} // namespace

// A server whose first COPY takes 2 ms or more to start is far away: a chunk that is its own
// COPY then holds eight times the lines, so that the round trips of chunk ends are fewer.
TEST(CopySender, AServerFarAwayGetsLongerChunks) {
    TestDatabase db;
    db.execute("CREATE TABLE t (a text, b int)");
    DelayLine far(db.settings().server, db.settings().port, 2);
    ConnectionSettings through = db.settings();
    through.port = far.port();
    Connection connection = Connection::open(through);
    CopySender::Options options;
    options.chunkLines = options.ownChunkLines = 1000;
    const auto sender = copySenderFor(
        connection, "t", 2, [](const LineRejection&) {}, options);
    ASSERT_TRUE(sender);
    for (int line = 1; line <= 12000; ++line)
        sender->send(fieldsRecord(line, {"a", QString::number(line)}));
    sender->finish();
    // One transaction a chunk.
    EXPECT_EQ(db.column("SELECT count(*) FROM t GROUP BY xmin::text ORDER BY min(b)"),
              (QStringList{"8000", "4000"}));
}
