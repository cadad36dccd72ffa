#pragma once

#include <QString>

// Texts as quenmarl-cli writes them to a terminal. Much of what it shows comes from the files
// it reads (values in the server's messages, lines in the field-count report, file names), so
// no control character reaches the terminal as such: a file can't move the cursor, clear the
// screen or change colours. C0 controls and DEL are written in caret notation (ESC as "^[",
// DEL as "^?"), C1 controls as "<U+009B>".

// A message text: CR LF and a lone CR become a line feed; line feeds and tabs stay, every
// other control character is made visible.
QString terminalText(const QString& text);

// A text that must stay on one line, such as a path: line feeds and carriage returns are made
// visible too.
QString terminalLine(const QString& text);
