#pragma once

#include <QStringList>

class StepRunner;
class UserInterface;
struct ImportChoices;

// The checks before a run's first file, each under its step: a list without files ("No files
// added."), append mode without a selected table ("Please select a table."), create mode with
// a template that is itself a listed table's name ("Table name already exists."). The first
// that fails shows its message; false then, and the run does not start.
bool passStartChecks(const ImportChoices& choices, const QStringList& tables, StepRunner& run,
                     UserInterface& ui);
