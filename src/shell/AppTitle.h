#pragma once

#include <QString>

// The product's full name, also the main window's caption.
inline constexpr const char* ProductName = "Quenmarl";

// The title that message and input boxes without a title of their own show.
QString applicationTitle();

// Derives the application title from a full name: cuts the text before its last space, and
// again while it is longer than 40 characters; at least one cut is made. A name without a
// space is kept whole.
QString shortenedTitle(const QString& fullName);

// Sets the application title from the product's full name.
void SetApplicationTitle();

// Yes in a debug build, where the splash window's pause is shorter.
bool IsDevelopmentRun();
