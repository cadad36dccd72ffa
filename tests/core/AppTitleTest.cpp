#include "shell/AppTitle.h"

#include <gtest/gtest.h>

TEST(AppTitle, CutsWordsFromTheEnd) {
    // More than 40 characters: words go from the end until at most 40 remain.
    EXPECT_EQ(
        shortenedTitle(QStringLiteral("Delimited Text Files To PostgreSQL Database Loader Pro")),
        QStringLiteral("Delimited Text Files To PostgreSQL"));
    // 40 characters or fewer: one word still goes.
    EXPECT_EQ(shortenedTitle(QStringLiteral("Quick Loader Utility For Files")),
              QStringLiteral("Quick Loader Utility For"));
    // No space to cut at: the name stays whole.
    EXPECT_EQ(shortenedTitle(QStringLiteral("Quenmarl")), QStringLiteral("Quenmarl"));
    SetApplicationTitle();
    EXPECT_EQ(applicationTitle(), QStringLiteral("Quenmarl"));
}
