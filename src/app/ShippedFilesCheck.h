#pragma once

class QTextStream;

// Writes one line per pointer file the windows load (the hand cursor over buttons, the pointer
// while a file entry is dragged): where the program finds it and whether it reads as a cursor,
// through the same lookup and loader the windows use. Returns true when every one does. Needs
// a QGuiApplication, since a cursor is a pixmap. For checking an installed tree.
bool checkShippedFiles(QTextStream& out);
