#pragma once

#include <QByteArray>

#include <cstdio>
#include <unistd.h>

// Takes what the process writes to standard error (descriptor 2, whoever writes it: libpq's
// default notice printer as much as Qt) into a temporary file while it lives, so that a test
// can see that nothing reached standard error. Standard error is given back by text() or the
// destructor.
class StandardErrorCapture {
public:
    StandardErrorCapture()
        : m_file(std::tmpfile()) {
        std::fflush(stderr);
        if (m_file) {
            m_saved = ::dup(2);
            ::dup2(fileno(m_file), 2);
        }
    }
    ~StandardErrorCapture() {
        restore();
        if (m_file)
            std::fclose(m_file);
    }
    StandardErrorCapture(const StandardErrorCapture&) = delete;
    StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

    // Gives standard error back and returns what was written to it meanwhile.
    QByteArray text() {
        restore();
        QByteArray text;
        if (!m_file)
            return "(standard error could not be taken)";
        std::rewind(m_file);
        char piece[4096];
        for (std::size_t got; (got = std::fread(piece, 1, sizeof piece, m_file)) > 0;)
            text.append(piece, static_cast<qsizetype>(got));
        return text;
    }

private:
    void restore() {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, 2);
        ::close(m_saved);
        m_saved = -1;
    }

    std::FILE* m_file;
    int m_saved = -1;
};
