#include "report/RunReport.h"

#include "report/RejectFolder.h"
#include "report/RejectedLineCopy.h"
#include "shell/Failure.h"
#include "shell/NumberText.h"
#include "shell/TemporaryFile.h"

#include <QDataStream>

// A file's pair, in the rejects folder (its paths) or in temporary files (open).
struct RunReport::Kept {
    RejectedFile file;
    std::unique_ptr<QFile> lines;
    std::unique_ptr<QFile> reasons;
};

namespace {

QDataStream& operator<<(QDataStream& out, const ReportEvent& event) {
    return out << static_cast<quint8>(event.kind) << event.path << event.line << event.sqlState
               << event.what << event.text;
}

QDataStream& operator>>(QDataStream& in, ReportEvent& event) {
    quint8 kind = 0;
    in >> kind >> event.path >> event.line >> event.sqlState >> event.what >> event.text;
    event.kind = static_cast<ReportEvent::Kind>(kind);
    return in;
}

[[noreturn]] void failTemporary(const QFile& file) {
    throw Failure(QStringLiteral("Could not use a temporary file: %1").arg(file.errorString()));
}

// Copies a temporary file whole into a new one.
void copyInto(QFile& from, QFile& to) {
    if (!from.seek(0))
        failTemporary(from);
    for (;;) {
        const QByteArray piece = from.read(1 << 20);
        if (piece.isEmpty())
            break;
        if (to.write(piece) != piece.size())
            throw Failure(
                QStringLiteral("Could not write %1: %2").arg(to.fileName(), to.errorString()));
    }
    if (from.error() != QFileDevice::NoError)
        failTemporary(from);
}

} // namespace

RunReport::RunReport(QString rejectsFolder)
    : m_rejectsFolder(std::move(rejectsFolder)) {
    m_clock.start();
}

RunReport::~RunReport() = default;

void RunReport::write(const ReportEvent& event) {
    if (!m_events)
        m_events = temporaryFile();
    QDataStream out(m_events.get());
    out << event;
    if (out.status() != QDataStream::Ok)
        failTemporary(*m_events);
    ++m_eventCount;
}

void RunReport::beginFile(const QString& path) {
    m_path = path;
    m_passedOverHere = false;
    m_fileEvents.clear();
    m_pending.clear();
}

void RunReport::rejected(qint64 lineIndex, const QString& sqlState, const QString& what) {
    ++m_linesRejected;
    m_pending.add({lineIndex, sqlState, what});
}

void RunReport::notSent(qint64 lineIndex, qint64 lines, const QString& what) {
    m_linesNotSent += lines;
    m_fileEvents.push_back({ReportEvent::Kind::NotSent, m_path, lineIndex + 1, {}, what, {}});
}

void RunReport::passedOver(const QString& reason, qint64 lines) {
    m_linesPassedOver += lines;
    if (!m_passedOverHere)
        ++m_filesPassedOver;
    m_passedOverHere = true;
    m_fileEvents.push_back({ReportEvent::Kind::PassedOver, m_path, 0, {}, reason, {}});
}

void RunReport::failed(const QString& what) {
    const ReportEvent event{ReportEvent::Kind::Failed, m_path, 0, {}, what, {}};
    if (m_path.isEmpty())
        write(event);
    else
        m_fileEvents.push_back(event);
}

void RunReport::keepRejected(FileSnapshot* snapshot, FieldRule rule, const QString& separator,
                             bool headerLine) {
    for (const ReportEvent& event : m_fileEvents) {
        if (event.line == 0)
            write(event);
    }
    if (m_pending.count() > 0) {
        if (snapshot) {
            copyRejected(*snapshot, rule, separator, headerLine);
        } else {
            PendingRecords::Entry entry;
            for (m_pending.rewind(); m_pending.next(entry);)
                write({ReportEvent::Kind::Rejected,
                       m_path,
                       entry.line + 1,
                       entry.sqlState,
                       entry.what,
                       {}});
        }
    }
    for (const ReportEvent& event : m_fileEvents) {
        if (event.line > 0)
            write(event);
    }
    m_fileEvents.clear();
    m_pending.clear();
}

void RunReport::endFile() {
    keepRejected(nullptr, FieldRule::Plain, {});
    beginFile({});
}

void RunReport::copyRejected(FileSnapshot& snapshot, FieldRule rule, const QString& separator,
                             bool headerLine) {
    auto kept = std::make_unique<Kept>();
    kept->file.path = m_path;
    kept->file.records = m_pending.count();
    if (m_rejectsFolder.isEmpty()) {
        kept->lines = temporaryFile();
        kept->reasons = temporaryFile();
    } else {
        RejectFolder::Pair pair = RejectFolder(m_rejectsFolder).create(m_path);
        kept->file.linesFile = pair.lines->fileName();
        kept->file.reasonsFile = pair.reasons->fileName();
        kept->lines = std::move(pair.lines);
        kept->reasons = std::move(pair.reasons);
    }
    RejectedLineCopy(snapshot, rule, separator, m_path, headerLine)
        .copy(m_pending,
              {*kept->lines, *kept->reasons, [this](const ReportEvent& event) { write(event); }});
    for (QFile* file : {kept->lines.get(), kept->reasons.get()}) {
        if (!file->flush())
            throw Failure(QStringLiteral("Could not write %1: %2")
                              .arg(file->fileName(), file->errorString()));
    }
    if (!m_rejectsFolder.isEmpty()) {
        kept->lines.reset();
        kept->reasons.reset();
    }
    m_kept.push_back(std::move(kept));
}

void RunReport::finish(int filesImported, int filesListed, qint64 rowsIn) {
    m_filesImported = filesImported;
    m_filesListed = filesListed;
    m_rowsIn = rowsIn;
    m_elapsedMs = m_clock.elapsed();
}

QString RunReport::summary() const {
    const qint64 ms = m_elapsedMs >= 0 ? m_elapsedMs : m_clock.elapsed();
    return QStringLiteral("%1 of %2 file(s) imported, %3 row(s) in, %4 line(s) rejected, %5 "
                          "line(s) not sent, %6 file(s) and %7 line(s) passed over, in %8 s.")
        .arg(groupedCount(m_filesImported), groupedCount(m_filesListed), groupedCount(m_rowsIn),
             groupedCount(m_linesRejected), groupedCount(m_linesNotSent),
             groupedCount(m_filesPassedOver), groupedCount(m_linesPassedOver),
             QString::number(static_cast<double>(ms) / 1000.0, 'f', 1));
}

std::vector<ReportEvent> RunReport::events(qsizetype limit) const {
    std::vector<ReportEvent> events;
    if (!m_events)
        return events;
    if (!m_events->seek(0))
        failTemporary(*m_events);
    QDataStream in(m_events.get());
    const qint64 count = std::min<qint64>(limit, m_eventCount);
    events.reserve(static_cast<std::size_t>(count));
    for (qint64 k = 0; k < count; ++k) {
        ReportEvent event;
        in >> event;
        if (in.status() != QDataStream::Ok)
            failTemporary(*m_events);
        events.push_back(std::move(event));
    }
    // Later events are written after what was read.
    if (!m_events->seek(m_events->size()))
        failTemporary(*m_events);
    return events;
}

QList<RunReport::RejectedFile> RunReport::rejectedFiles() const {
    QList<RejectedFile> files;
    for (const auto& kept : m_kept)
        files.append(kept->file);
    return files;
}

QStringList RunReport::saveRejectedInto(const QString& folder) const {
    const RejectFolder target(folder);
    target.make();
    QStringList written;
    for (const auto& kept : m_kept) {
        RejectFolder::Pair pair = target.create(kept->file.path);
        if (kept->lines) {
            copyInto(*kept->lines, *pair.lines);
            copyInto(*kept->reasons, *pair.reasons);
        } else {
            for (auto [from, to] : {std::pair{kept->file.linesFile, pair.lines.get()},
                                    std::pair{kept->file.reasonsFile, pair.reasons.get()}}) {
                QFile source(from);
                if (!source.open(QIODevice::ReadOnly))
                    throw Failure(
                        QStringLiteral("Could not open %1: %2").arg(from, source.errorString()));
                copyInto(source, *to);
            }
        }
        for (QFile* file : {pair.lines.get(), pair.reasons.get()}) {
            if (!file->flush())
                throw Failure(QStringLiteral("Could not write %1: %2")
                                  .arg(file->fileName(), file->errorString()));
            written << file->fileName();
        }
    }
    return written;
}
