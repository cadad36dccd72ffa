// Column types decided from a file's values, judged by the server's own input rules: every value
// taken for a type converts to it, and numbers and dates come back exactly as written; every
// near miss kept as text is one the server refuses or would change.
#include "textfile/ColumnTypes.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace {

QString literal(const QString& text) {
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

class ColumnTypesTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_db.execute(QStringLiteral(
            "CREATE FUNCTION as_typed(v text, t text) RETURNS text LANGUAGE plpgsql AS $$ "
            "DECLARE r text; BEGIN EXECUTE format('SELECT (%L::' || t || ')::text', v) INTO r; "
            "RETURN r; EXCEPTION WHEN others THEN RETURN '<refused>'; END $$"));
    }
    // The value as the server reads it into the type and writes it back; "<refused>" when the
    // type does not take it.
    QString asTyped(const QString& value, const QString& type) const {
        return m_db
            .column(QStringLiteral("SELECT as_typed(%1, %2)").arg(literal(value), literal(type)))
            .value(0);
    }

    TestDatabase m_db;
};

} // namespace

TEST_F(ColumnTypesTest, EveryFormIsTheServersAndNothingIsLost) {
    const struct {
        const char* value;
        const char* type; // as decided
        const char* near; // the type a text value would almost have had
    } cases[] = {
        {"0", "INTEGER", ""},
        {"-2147483648", "INTEGER", ""},
        {"2147483647", "INTEGER", ""},
        {"2147483648", "BIGINT", ""},
        {"-2147483649", "BIGINT", ""},
        {"-9223372036854775808", "BIGINT", ""},
        {"9223372036854775807", "BIGINT", ""},
        {"9223372036854775808", "NUMERIC", ""},
        {"-9223372036854775809", "NUMERIC", ""},
        {"0.1", "NUMERIC", ""},
        {"1.50", "NUMERIC", ""},
        {"-0.001", "NUMERIC", ""},
        {"NaN", "NUMERIC", ""},
        {"2024-02-29", "DATE", ""},
        {"0001-01-01", "DATE", ""},
        {"9999-12-31", "DATE", ""},
        {"infinity", "DATE", ""},
        {"-infinity", "DATE", ""},
        {"2024-02-29 23:59:59.999999", "TIMESTAMP", ""},
        {"2024-02-29T10:00", "TIMESTAMP", ""},
        {"2024-01-01 10:00:00Z", "TIMESTAMPTZ", ""},
        {"2024-01-01T10:00:00+05:30", "TIMESTAMPTZ", ""},
        {"2024-01-01 10:00-0800", "TIMESTAMPTZ", ""},
        {"2024-01-01 10:00:00.5-14", "TIMESTAMPTZ", ""},
        {"t", "BOOLEAN", ""},
        {"FALSE", "BOOLEAN", ""},
        {"True", "BOOLEAN", ""},
        {"-0", "TEXT", "integer"},
        {"-0.0", "TEXT", "numeric"},
        {"007", "TEXT", "integer"},
        {"00.5", "TEXT", "numeric"},
        {"+5", "TEXT", "integer"},
        {" 5", "TEXT", "integer"},
        {"5 ", "TEXT", "integer"},
        {"1,000", "TEXT", "numeric"},
        {"1e5", "TEXT", "numeric"},
        {"1.", "TEXT", "numeric"},
        {".5", "TEXT", "numeric"},
        {"nan", "TEXT", "numeric"},
        {"Infinity", "TEXT", "date"},
        {"2023-02-29", "TEXT", "date"},
        {"0000-01-01", "TEXT", "date"},
        {"01/02/2024", "TEXT", "date"},
        {"2024-1-5", "TEXT", "date"},
        {"2024-01-01 24:00:00", "TEXT", "timestamp"},
        {"2024-01-01 10:00:60", "TEXT", "timestamp"},
        {"2024-01-01 10:00:00.1234567", "TEXT", "timestamp"},
        {"2024-01-01 10:00:00 UTC", "TEXT", "timestamptz"},
        {"yes", "TEXT", "boolean"},
        {"24:00:00", "TEXT", "timestamp"},
    };
    for (const auto& c : cases) {
        const QString value = QString::fromLatin1(c.value);
        SCOPED_TRACE(c.value);
        const quint8 types = ColumnTypes::candidates(QByteArray(c.value));
        EXPECT_EQ(ColumnTypes::name(types), QString::fromLatin1(c.type));
        if (types == 0) {
            const QString back = asTyped(value, QString::fromLatin1(c.near));
            EXPECT_NE(back, value) << "the server would have kept it: " << c.near;
            continue;
        }
        // Every type the value is taken for takes it; numbers and dates come back as written.
        for (quint8 bit = 1; bit <= ColumnTypes::TimestampTz; bit <<= 1) {
            if (!(types & bit))
                continue;
            const QString type = ColumnTypes::name(bit);
            const QString back = asTyped(value, type);
            EXPECT_NE(back, QStringLiteral("<refused>")) << type.toStdString();
            const quint8 exact = ColumnTypes::Integer | ColumnTypes::BigInt | ColumnTypes::Numeric |
                                 ColumnTypes::Date;
            if (bit & exact) {
                EXPECT_EQ(back, value) << type.toStdString();
            }
        }
    }
}

// A column takes the narrowest type all its values share; values of types that no column type
// holds together, a value beyond ASCII and a very long number make it text; a column of empty
// values only is text.
TEST_F(ColumnTypesTest, AColumnTakesTheTypeItsValuesShare) {
    const struct {
        QList<const char*> values;
        const char* type;
    } cases[] = {
        {{"1", "", "2147483648"}, "BIGINT"},
        {{"1", "2.5"}, "NUMERIC"},
        {{"9223372036854775808", "-1"}, "NUMERIC"},
        {{"2024-01-01", "2024-01-02 10:00"}, "TIMESTAMP"},
        {{"2024-01-01", "2024-01-02 10:00Z"}, "TEXT"},
        {{"2024-01-02 10:00", "2024-01-02 10:00Z"}, "TEXT"},
        {{"t", "1"}, "TEXT"},
        {{"1", "0"}, "INTEGER"},
        {{"", ""}, "TEXT"},
        {{"1", "\xd9\xa3"}, "TEXT"},
        {{"NaN", "3"}, "NUMERIC"},
        {{"infinity", "2024-01-01 10:00"}, "TIMESTAMP"},
    };
    for (const auto& c : cases) {
        ColumnTypes types;
        for (const char* value : c.values)
            types.addValue(0, value);
        EXPECT_EQ(types.names(1), QStringList{QString::fromLatin1(c.type)}) << c.values.first();
    }
    ColumnTypes longValue;
    longValue.addValue(0, QByteArray(ColumnTypes::LongestValue, '7'));
    longValue.addValue(1, QByteArray(ColumnTypes::LongestValue + 1, '7'));
    EXPECT_EQ(longValue.names(3), (QStringList{"NUMERIC", "TEXT", "TEXT"}));
}
