#include "sending/copy/TriggerBodyNames.h"

#include <QSet>

namespace {

// The names in the text, separated by spaces.
QSet<QString> namesOf(const char* text) {
    const QStringList names = QString::fromLatin1(text).split(QLatin1Char(' '));
    return QSet<QString>(names.begin(), names.end());
}

// PL/pgSQL's words for branching, returning and raising errors (of the default SQLSTATE: an
// error code could be one that refuses the table, which ends a COPY piece otherwise), NEW itself,
// the trigger's own variables (the same under COPY and INSERT: TG_OP is INSERT under both), and the
// words of expressions and casts.
const QSet<QString> Keywords =
    namesOf("begin end if then else elsif elseif return new null is not and or case when true "
            "false between in like ilike distinct from raise exception using message detail hint "
            "cast as at time zone with without tg_op tg_when tg_level tg_name tg_table_name "
            "tg_table_schema tg_relname tg_nargs tg_argv current_user session_user text varchar "
            "character varying char bpchar integer int int2 int4 int8 smallint bigint numeric "
            "decimal real double precision float float4 float8 boolean bool date timestamp "
            "timestamptz interval");

// Built-in functions that give a value from their arguments, or the time (which differs from
// run to run anyway; under COPY it is the chunk's transaction's rather than the line's).
const QSet<QString> Functions =
    namesOf("coalesce nullif greatest least upper lower initcap trim btrim ltrim rtrim length "
            "char_length octet_length substr substring replace translate concat concat_ws lpad "
            "rpad left right split_part strpos md5 round trunc abs floor ceil ceiling mod sign "
            "date_trunc date_part extract to_char to_date to_timestamp to_number now "
            "current_timestamp current_date current_time localtimestamp localtime "
            "transaction_timestamp statement_timestamp clock_timestamp");

const QSet<QString> Operators = namesOf(":= :: = <> != < > <= >= + - * / % ||");

const QString OperatorCharacters = QStringLiteral("+-*/<>=~!@#%^&|`?:");

bool isWordStart(QChar c) {
    return c.isLetter() || c == QLatin1Char('_');
}

bool isWordPart(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Cuts the body into tokens: words (lower case), quoted identifiers (with their quote), string
// literals ("'"), numbers ("0"), operators and single punctuation. Comments and spaces are
// skipped.
class Tokens {
public:
    explicit Tokens(QStringView body)
        : m_body(body) {}

    // The next token, "" at the end; nothing where the body can't be read.
    std::optional<QString> next() {
        if (!skipBlanks())
            return std::nullopt;
        if (m_at >= m_body.size())
            return QString();
        const QChar c = m_body[m_at];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"'))
            return quoted(c);
        const qsizetype from = m_at;
        if (isWordStart(c))
            return m_body.mid(from, take(isWordPart)).toString().toLower();
        if (c.isDigit() ||
            (c == QLatin1Char('.') && m_at + 1 < m_body.size() && m_body[m_at + 1].isDigit())) {
            take([](QChar d) { return isWordPart(d) || d == QLatin1Char('.'); });
            return QStringLiteral("0");
        }
        if (QStringLiteral("(),;[].").contains(c)) {
            ++m_at;
            return QString(c);
        }
        if (OperatorCharacters.contains(c))
            return m_body.mid(from, take([](QChar d) { return OperatorCharacters.contains(d); }))
                .toString();
        return std::nullopt;
    }

private:
    // Moves past the characters that fit; answers how many.
    template <typename Fits> qsizetype take(Fits fits) {
        const qsizetype from = m_at;
        while (m_at < m_body.size() && fits(m_body[m_at]))
            ++m_at;
        return m_at - from;
    }

    bool skipBlanks() {
        for (;;) {
            take([](QChar c) { return c.isSpace(); });
            const QStringView rest = m_body.mid(m_at);
            if (rest.startsWith(u"--")) {
                const qsizetype end = rest.indexOf(QLatin1Char('\n'));
                m_at = end < 0 ? m_body.size() : m_at + end;
            } else if (rest.startsWith(u"/*")) {
                const qsizetype end = rest.indexOf(u"*/", 2);
                if (end < 0 || rest.mid(2, end - 2).contains(u"/*"))
                    return false; // unclosed, or nested
                m_at += end + 2;
            } else {
                return true;
            }
        }
    }

    // A string literal or quoted identifier from its opening quote; a doubled quote is one.
    std::optional<QString> quoted(QChar quote) {
        QString text;
        for (qsizetype i = m_at + 1; i < m_body.size(); ++i) {
            if (m_body[i] != quote) {
                text += m_body[i];
            } else if (i + 1 < m_body.size() && m_body[i + 1] == quote) {
                text += quote;
                ++i;
            } else {
                m_at = i + 1;
                return quote == QLatin1Char('\'') ? QStringLiteral("'") : QString(quote) + text;
            }
        }
        return std::nullopt;
    }

    QStringView m_body;
    qsizetype m_at = 0;
};

} // namespace

std::optional<TriggerBodyNames> TriggerBodyNames::scan(QStringView body) {
    TriggerBodyNames names;
    Tokens tokens(body);
    QString previous, beforePrevious;
    bool afterField = false; // the previous token is a field of NEW
    for (;;) {
        const std::optional<QString> token = tokens.next();
        if (!token)
            return std::nullopt;
        if (token->isEmpty())
            break;
        const QChar first = token->front();
        const bool field = previous == QLatin1String(".") && beforePrevious == QLatin1String("new");
        if (afterField && *token == QLatin1String("("))
            return std::nullopt; // new.f(...) calls f of a schema named new
        if (field && (isWordStart(first) || first == QLatin1Char('"'))) {
            afterField = true;
        } else {
            afterField = false;
            if (first == QLatin1Char('"'))
                return std::nullopt;
            if (isWordStart(first)) {
                if (!Keywords.contains(*token) && !Functions.contains(*token))
                    return std::nullopt;
                if (!names.words.contains(*token))
                    names.words.append(*token);
            } else if (OperatorCharacters.contains(first)) {
                if (!Operators.contains(*token))
                    return std::nullopt;
                if (!names.operators.contains(*token))
                    names.operators.append(*token);
            }
        }
        beforePrevious = previous;
        previous = *token;
    }
    return names;
}
