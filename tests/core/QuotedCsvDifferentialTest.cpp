// The quoted-fields rule against PostgreSQL's own CSV reader: generated files with every kind
// of tricky field, loaded once by COPY ... (FORMAT csv) and once by an import run, compared
// value by value. The one expected difference is the first field's: an unquoted empty first
// field is NULL to COPY and the empty text to the import, as it is without the quoted rule.
#include "database/Connection.h"
#include "support/ImportFixture.h"

#include <gtest/gtest.h>

#include <libpq-fe.h>

#include <optional>
#include <random>

// Readable values in failure messages.
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

constexpr int Columns = 4;
constexpr int Records = 400;

struct CsvFile {
    const char* name;
    char separator;
    QByteArray lineEnd;
    bool windows1252;
};

const CsvFile Files[] = {
    {"comma, LF, UTF-8", ',', "\n", false},       {"semicolon, CR LF, UTF-8", ';', "\r\n", false},
    {"tab, LF, UTF-8", '\t', "\n", false},        {"bar, CR LF, Windows-1252", '|', "\r\n", true},
    {"comma, LF, Windows-1252", ',', "\n", true},
};

// Pieces of values. Each Windows-1252 piece begins and ends with ASCII, so that no line of
// such a file happens to be valid UTF-8.
const QByteArray AsciiPieces[] = {"plain",      " blank ",    ",",           ";",    "|",
                                  "\t",         "say \"hi\"", "\"",          "\"\"", "line\nfeed",
                                  "cr\rinside", "crlf\r\nin", "back\\slash", "\\N",  "O'Neil",
                                  "  ",         "x"};
const QByteArray Utf8Pieces[] = {"Gr\xC3\xB6\xC3\x9F"
                                 "e",
                                 "\xE2\x82\xAC 5", "\xF0\x9F\x98\x80", "\xE6\x97\xA5\xE6\x9C\xAC"};
const QByteArray WindowsPieces[] = {"caf\xE9s", "M\xFCller", "5 \x80 x"};

// A file of Records records after the header c1..c4,n: four generated fields, quoted where
// CSV needs it and at random elsewhere, empty fields both quoted and not, and the record's
// number, by which the rows are compared (the order in a table's pages need not be the order
// of the rows' arrival).
QByteArray generate(const CsvFile& file, std::mt19937& random) {
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    QByteArray out;
    for (int c = 1; c <= Columns; ++c)
        out += "c" + QByteArray::number(c) + file.separator;
    out += "n" + file.lineEnd;
    for (int r = 0; r < Records; ++r) {
        for (int c = 0; c < Columns; ++c) {
            QByteArray value;
            for (int pieces = pick(4); pieces > 0; --pieces) {
                const int kind = pick(5);
                if (kind == 0)
                    value += file.windows1252 ? WindowsPieces[pick(3)] : Utf8Pieces[pick(4)];
                else
                    value += AsciiPieces[pick(std::size(AsciiPieces))];
            }
            const bool needsQuotes = value.contains(file.separator) || value.contains('"') ||
                                     value.contains('\n') || value.contains('\r');
            if (needsQuotes || pick(2) == 0)
                out += '"' + QByteArray(value).replace("\"", "\"\"") + '"';
            else
                out += value;
            out += file.separator;
        }
        out += QByteArray::number(r) + file.lineEnd;
    }
    return out;
}

using Row = std::vector<std::optional<QString>>;

std::vector<Row> fetch(Connection& connection, const QString& table) {
    const Result result = connection.query(
        QStringLiteral("SELECT c1, c2, c3, c4 FROM %1 ORDER BY n::int").arg(table));
    std::vector<Row> rows;
    for (int r = 0; r < result.rowCount(); ++r) {
        Row row;
        for (int c = 0; c < result.fieldCount(); ++c)
            row.push_back(result.isNull(r, c) ? std::nullopt
                                              : std::optional<QString>(result.value(r, c)));
        rows.push_back(row);
    }
    return rows;
}

void copyCsv(Connection& connection, const QString& table, const CsvFile& file,
             const QByteArray& bytes) {
    const QString delimiter = file.separator == '\t' ? QStringLiteral("E'\\t'")
                                                     : QStringLiteral("'%1'").arg(file.separator);
    const QByteArray statement =
        QStringLiteral("COPY %1 FROM STDIN (FORMAT csv, HEADER true, DELIMITER %2, ENCODING '%3')")
            .arg(table, delimiter, file.windows1252 ? "WIN1252" : "UTF8")
            .toUtf8();
    PGconn* conn = connection.handle();
    PGresult* started = PQexec(conn, statement.constData());
    ASSERT_EQ(PQresultStatus(started), PGRES_COPY_IN) << PQerrorMessage(conn);
    PQclear(started);
    ASSERT_EQ(PQputCopyData(conn, bytes.constData(), static_cast<int>(bytes.size())), 1);
    ASSERT_EQ(PQputCopyEnd(conn, nullptr), 1);
    PGresult* ended = PQgetResult(conn);
    EXPECT_EQ(PQresultStatus(ended), PGRES_COMMAND_OK) << PQerrorMessage(conn);
    PQclear(ended);
    while (PGresult* more = PQgetResult(conn))
        PQclear(more);
}

class QuotedCsvDifferential : public ImportFixture {};

} // namespace

TEST_F(QuotedCsvDifferential, SameValuesAsPostgreSqlsCsvReader) {
    Connection connection = Connection::open(m_db.settings());
    std::mt19937 random(20210831);
    int number = 0;
    for (const CsvFile& csv : Files) {
        SCOPED_TRACE(csv.name);
        const QByteArray bytes = generate(csv, random);
        const QString path = file(QStringLiteral("f%1.csv").arg(++number), bytes);

        const QString theirs = QStringLiteral("copy%1").arg(number);
        connection.execute(
            QStringLiteral("CREATE TABLE %1 (c1 text, c2 text, c3 text, c4 text, n text)")
                .arg(theirs));
        copyCsv(connection, theirs, csv, bytes);

        for (const bool rowByRow : {false, true}) {
            SCOPED_TRACE(rowByRow ? "row by row" : "copy");
            const QString ours = QStringLiteral("ours%1%2").arg(number).arg(rowByRow ? "r" : "c");
            ImportChoices choices = create({path}, ours);
            choices.separator = QString(QLatin1Char(csv.separator));
            choices.quotedFields = true;
            choices.rowByRow = rowByRow;
            RecordingFrontEnd ui;
            ASSERT_EQ(runImport(choices, ui).outcome, ImportOutcome::Done);
            EXPECT_EQ(ui.log, QStringList{"message: Done."});

            const std::vector<Row> expected = fetch(connection, theirs);
            const std::vector<Row> actual = fetch(connection, ours);
            ASSERT_EQ(expected.size(), std::size_t(Records));
            ASSERT_EQ(actual.size(), expected.size());
            int firstFieldNulls = 0;
            for (std::size_t r = 0; r < expected.size(); ++r) {
                for (int c = 0; c < Columns; ++c) {
                    std::optional<QString> want = expected[r][c];
                    if (c == 0 && !want) {
                        want = QString(); // the first field's rule: empty text, not NULL
                        ++firstFieldNulls;
                    }
                    EXPECT_EQ(actual[r][c], want) << "record " << r + 1 << ", column " << c + 1;
                }
            }
            EXPECT_GT(firstFieldNulls, 0) << "the generator made no unquoted empty first field";
        }
    }
}
