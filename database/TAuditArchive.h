#pragma once
// The audit trail's archive: its oldest events moved to a file with their hashes, and a
// checkpoint event left in the trail in their place, so that the chain still verifies
// from the first event that stayed.
//
// The file holds one event a line, each a JSON object with the keys of
// TAuditEvent::toJson, oldest first: its own chain, checked by verifyFile.

#include "database/TAuditTrail.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>
#include <utility>

class TDatabase;

class TAuditArchive {
public:
    struct Result {
        qint64 events = 0;
        qint64 firstId = 0;
        qint64 lastId = 0;
        QByteArray lastHash;
        // The checkpoint event that took the archived events' place.
        qint64 checkpointId = 0;
    };

    // Moves the oldest events, up to the first one at or after before, into the file,
    // in the name of securityUser. The file is written beside its place and put there
    // whole (replacing one of that name) before the trail is touched; then one
    // transaction, holding the head row like every writer, removes the events and adds
    // the checkpoint. A file that cannot be written removes nothing, and a failed
    // removal takes the new file away again. A trail that does not verify up to the
    // last event to be archived is not archived. With nothing to archive, events is 0
    // and no file is written. Throws EDatabaseError.
    static Result archive(TDatabase& connection, const QDateTime& before, const QString& fileName,
                          const QString& securityUser);

    // What the checkpoint records, and the last archived event's id and hash read back
    // from it.
    static QString checkpointDetails(const Result& archived, const QString& fileName);
    static std::optional<std::pair<qint64, QByteArray>> archivedUpTo(const QString& details);

    // Walks the chain of an archive file. firstBroken names the first event changed,
    // deleted or inserted in it (0 when it holds); headHash is its last event's hash.
    // Throws EDatabaseError when the file cannot be read.
    static TAuditTrail::Verdict verifyFile(const QString& fileName);
};
