#pragma once
// audit verify's walk over the trail: its events read from the engine in columns no
// wider than they need to be, and hashed on a second thread while the engine fetches
// the next ones, so that a walk over a million events takes about the engine's time.

#include "database/TAuditTrail.h"

class TDatabase;

class TAuditVerifier {
public:
    // Follows every event of the trail, in id order, into walk, and stops at the first
    // one that breaks the chain: walk's verdict then names it as an event-by-event walk
    // would. Reads in the connection's current transaction. Throws EDatabaseError.
    // With a last id, only the events firstId to lastId.
    static void walk(TDatabase& connection, TAuditTrail::Walk& walk, qint64 firstId = 0, qint64 lastId = 0);
};
