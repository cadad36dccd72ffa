#include "shell/PlatformInternal.h"

#include <QDir>
#include <QHash>
#include <QMutex>
#include <QSet>

// The test seam: refusals and read-only marks that the file calls answer with.

namespace platform {

namespace {

// What the test seam has arranged, keyed by cleaned path.
struct Simulations {
    QMutex mutex;
    QHash<QString, int> listingRefusals;
    QHash<QString, int> examiningRefusals;
    QSet<QString> readOnly;
    bool any = false;
};

Simulations& simulations() {
    static Simulations instance;
    return instance;
}

} // namespace

namespace internal {

std::optional<int> simulatedRefusal(const QString& path, simulation::Operation operation) {
    Simulations& all = simulations();
    QMutexLocker lock(&all.mutex);
    if (!all.any)
        return std::nullopt;
    const QHash<QString, int>& refusals =
        operation == simulation::Operation::Listing ? all.listingRefusals : all.examiningRefusals;
    const auto found = refusals.constFind(QDir::cleanPath(path));
    if (found == refusals.constEnd())
        return std::nullopt;
    return *found;
}

bool simulatedReadOnly(const QString& path) {
    Simulations& all = simulations();
    QMutexLocker lock(&all.mutex);
    return all.any && all.readOnly.contains(QDir::cleanPath(path));
}

} // namespace internal

namespace simulation {

void refuse(const QString& path, Operation operation, int code) {
    Simulations& all = simulations();
    QMutexLocker lock(&all.mutex);
    (operation == Operation::Listing ? all.listingRefusals : all.examiningRefusals)
        .insert(QDir::cleanPath(path), code);
    all.any = true;
}

void markReadOnly(const QString& path) {
    Simulations& all = simulations();
    QMutexLocker lock(&all.mutex);
    all.readOnly.insert(QDir::cleanPath(path));
    all.any = true;
}

void clear() {
    Simulations& all = simulations();
    QMutexLocker lock(&all.mutex);
    all.listingRefusals.clear();
    all.examiningRefusals.clear();
    all.readOnly.clear();
    all.any = false;
}

} // namespace simulation

} // namespace platform
