#pragma once

#include "shell/Failure.h"

// A failure reported by the server or by libpq; the description is their own text.
class DatabaseError : public Failure {
public:
    using Failure::Failure;
};
