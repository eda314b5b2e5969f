#pragma once
// The grants of the component's start-up record sets, indexed once when they are
// read, so an access test costs a few hash probes and a search among one user's (or
// one group's) constants instead of a walk over the rows. It holds about 4 bytes a
// grant: the rows themselves are not kept.
//
// It answers exactly as the record sets would: a direct "C" row first, then the
// user's "G" rows with a positive group id in the order the user-access record set
// holds them, the first group whose collection lists the constant winning. Type
// letters and ids compare as the record-set filters do (letter case ignored).

#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <vector>

class TQuery;

class TAccessIndex {
public:
    enum class Grant { None, Direct, Group };

    // Reads every row of the open "Select * from UserAcc" and "Select * from GrpColl"
    // record sets; throws EDatabaseError when a column is missing.
    void build(const TQuery& userAcc, const TQuery& groupAcc);
    // Reads the same rows straight from the database, as the engine delivers them,
    // without record sets; throws EDatabaseError.
    void read(const QString& databaseName);
    void clear();

    Grant grant(qint32 userId, qint32 accessId) const;
    // The user's groups in record-set order (positive ids only).
    std::vector<qint32> groupsOf(qint32 userId) const;

private:
    // Open-addressing hash table of 64-bit keys, with a 64-bit payload per key when
    // made with payloads. Free slots hold the all-ones key; that key itself is kept
    // aside.
    class KeyTable {
    public:
        explicit KeyTable(bool withPayloads = false) : m_withPayloads(withPayloads) { }
        void reserve(size_t count);
        void insert(quint64 key, quint64 payload = 0);
        bool contains(quint64 key) const;
        // The payload of a key; nullptr when absent.
        const quint64* find(quint64 key) const;
        void clear();

    private:
        static constexpr quint64 kFree = ~quint64(0);
        static quint64 mix(quint64 key);
        size_t slotOf(quint64 key) const;
        void rehash(size_t capacity);

        bool m_withPayloads;
        std::vector<quint64> m_keys;
        std::vector<quint64> m_payloads;
        size_t m_size = 0;
        size_t m_mask = 0;
        bool m_hasFreeKey = false;
        quint64 m_freeKeyPayload = 0;
    };

    // Ids sorted within runs that share an owner (a user's constants, a group's
    // constants): owner -> (offset << 32 | count) into one array of 4 bytes an id.
    class SortedRuns {
    public:
        // pairs holds (owner << 32 | id) keys; it is sorted here and freed.
        void build(std::vector<quint64>& pairs);
        bool contains(qint32 owner, qint32 id) const;
        void clear();

    private:
        KeyTable m_runs {true};
        std::vector<quint32> m_ids;
    };

    // Rows collected while reading, turned into the tables by finish().
    struct Membership {
        qint32 user;
        qint32 group;
    };
    struct Collected {
        std::vector<quint64> direct; // (user, constant) of "C" rows
        std::vector<Membership> memberships; // "G" rows with a positive group id
        std::vector<quint64> holds; // (group, constant) of GRPCOLL rows
    };
    // A USERACC row; type is the row's type letter, upper-cased, or 0 for any other value.
    static void addUserRow(Collected& rows, qint32 user, qint32 access, char type);
    void finish(Collected& rows);

    static quint64 pairKey(qint32 a, qint32 b) { return (quint64(quint32(a)) << 32) | quint32(b); }

    SortedRuns m_direct; // each user's constants of "C" rows
    SortedRuns m_groupHolds; // each group's constants of GRPCOLL rows
    KeyTable m_userGroups {true}; // user -> (offset << 32 | count) into m_groupList
    std::vector<qint32> m_groupList;
};
