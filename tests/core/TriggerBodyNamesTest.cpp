#include "sending/copy/TriggerBodyNames.h"

#include <gtest/gtest.h>

namespace {

struct BodyCase {
    const char* name;
    const char* body;
    bool known;
};

// Bodies that act on NEW alone are known; anything that could act elsewhere, draw from a
// sequence, send a notice, refuse the table or hide a call is not.
TEST(TriggerBodyNames, KnownOnlyWhereTheBodyActsOnNewAlone) {
    const BodyCase cases[] = {
        {"fills a column", "BEGIN NEW.updated_at := now(); RETURN NEW; END", true},
        {"upper case, comments, an error for some rows",
         "begin -- keys\n /* thirteen is unlucky */ IF NEW.a = '13' THEN RAISE EXCEPTION "
         "'thirteen: %', NEW.a USING HINT = 'it''s ok'; END IF;\n NEW.\"B c\" := "
         "upper(coalesce(NEW.b, 'x')) || '!'; RETURN NEW; END;",
         true},
        {"casts and time zones",
         "BEGIN NEW.d := (NEW.s::date + 1)::text; NEW.t := now() AT TIME ZONE 'UTC'; "
         "NEW.n := round(NEW.n * 1.5e2, 2); RETURN NEW; END",
         true},
        {"skips rows", "BEGIN IF NEW.a IS NULL THEN RETURN NULL; END IF; RETURN NEW; END", true},
        {"after, raises on a value",
         "BEGIN IF NEW.c < -.5 THEN RAISE 'neg'; END IF; RETURN NULL; END", true},
        {"writes into another table", "BEGIN INSERT INTO audit VALUES (NEW.a); RETURN NEW; END",
         false},
        {"draws from a sequence", "BEGIN NEW.id := nextval('s'); RETURN NEW; END", false},
        {"a qualified call", "BEGIN NEW.id := pg_catalog.nextval('s'); RETURN NEW; END", false},
        {"a call into a schema named new", "BEGIN NEW.a := new.f(1); RETURN NEW; END", false},
        {"a notice", "BEGIN RAISE NOTICE 'row %', NEW.a; RETURN NEW; END", false},
        {"an error code", "BEGIN RAISE EXCEPTION USING ERRCODE = '42501'; END", false},
        {"a condition name", "BEGIN RAISE insufficient_privilege; END", false},
        {"a query", "BEGIN PERFORM 1; RETURN NEW; END", false},
        {"a subquery", "BEGIN NEW.a := (SELECT max(a) FROM t); RETURN NEW; END", false},
        {"dynamic SQL", "BEGIN EXECUTE 'select 1'; RETURN NEW; END", false},
        {"a variable", "DECLARE n int; BEGIN n := 1; RETURN NEW; END", false},
        {"a user function", "BEGIN NEW.a := my_fill(NEW.a); RETURN NEW; END", false},
        {"a quoted function name", "BEGIN NEW.a := \"upper\"(NEW.a); RETURN NEW; END", false},
        {"an unusual operator", "BEGIN NEW.a := NEW.a ## NEW.b; RETURN NEW; END", false},
        {"a dollar quote", "BEGIN NEW.a := $q$x$q$; RETURN NEW; END", false},
        {"an escape string", "BEGIN NEW.a := E'x\\'y'; RETURN NEW; END", false},
        {"an unclosed string", "BEGIN NEW.a := 'x; RETURN NEW; END", false},
        {"an unclosed comment", "BEGIN RETURN NEW; END /* ", false},
        {"a nested comment", "BEGIN /* a /* b */ PERFORM 1; */ RETURN NEW; END", false},
        {"a keyword hidden in a comment", "BEGIN -- PERFORM 1\n RETURN NEW; END", true},
        {"a keyword hidden in a string", "BEGIN NEW.a := 'insert into x'; RETURN NEW; END", true},
    };
    for (const BodyCase& c : cases)
        EXPECT_EQ(TriggerBodyNames::scan(QString::fromUtf8(c.body)).has_value(), c.known) << c.name;
}

// The names handed back are those the server will resolve: words other than NEW's fields,
// and every operator.
TEST(TriggerBodyNames, NamesTheFunctionsAndOperatorsUsed) {
    const std::optional<TriggerBodyNames> names = TriggerBodyNames::scan(
        u"BEGIN NEW.upper := upper(NEW.lower) || NEW.b::text; RETURN NEW; END");
    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(names->words, QStringList({"begin", "new", "upper", "text", "return", "end"}));
    EXPECT_EQ(names->operators, QStringList({":=", "||", "::"}));
}

} // namespace
