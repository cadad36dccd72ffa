#include "shell/StepRunner.h"

#include "shell/ApplicationError.h"

#include <new>

StepRunner::StepRunner(UserInterface& ui, QString context)
    : m_ui(ui)
    , m_context(std::move(context)) {}

void StepRunner::report(const QString& description) {
    ReportApplicationError(m_ui, m_context, m_step, description);
}

QString StepRunner::describe(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const Failure& failure) {
        return failure.description();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception& other) {
        return QString::fromLocal8Bit(other.what());
    } catch (...) {
        return QStringLiteral("Unknown failure");
    }
}

void StepRunner::reportCurrent(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const Stopped&) {
        return; // the user's own stop
    } catch (...) {
    }
    report(describe(error));
}
