#pragma once

#include <QString>
#include <stdexcept>

// An unexpected failure of one step of a procedure. Its description is the text that the
// failing component gave (the server, libpq, the file system), shown unchanged to the user
// in the "Application Error" message.
class Failure : public std::runtime_error {
public:
    explicit Failure(const QString& description)
        : std::runtime_error(description.toStdString())
        , m_description(description) {}

    const QString& description() const { return m_description; }

private:
    QString m_description;
};

// What a stop the user asked for leaves behind (a statement the server stopped at the user's
// request). It is no failure: reporting procedures pass it over without a message.
class Stopped : public Failure {
public:
    using Failure::Failure;
};
