#pragma once
// The grants of the component's start-up record sets, indexed once when they are
// read, so an access test costs a few hash probes instead of a walk over the rows.
//
// It answers exactly as the record sets would: a direct "C" row first, then the
// user's "G" rows with a positive group id in the order the user-access record set
// holds them, the first group whose collection lists the constant winning. Type
// letters and ids compare as the record-set filters do (letter case ignored).

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
    void clear();

    Grant grant(qint32 userId, qint32 accessId) const;
    // The user's groups in record-set order (positive ids only).
    std::vector<qint32> groupsOf(qint32 userId) const;

private:
    // Open-addressing hash table of 64-bit keys with a 64-bit payload.
    class KeyTable {
    public:
        void reserve(size_t count);
        // Inserts unless present; returns the payload slot of the key.
        quint64& insert(quint64 key, quint64 payload);
        const quint64* find(quint64 key) const;
        void clear();
        size_t size() const { return m_size; }

    private:
        static quint64 mix(quint64 key);
        void grow();

        std::vector<quint64> m_keys;
        std::vector<quint64> m_payloads;
        std::vector<quint8> m_used;
        size_t m_size = 0;
        size_t m_mask = 0;
    };

    static quint64 pairKey(qint32 a, qint32 b)
    {
        return (quint64(quint32(a)) << 32) | quint32(b);
    }

    KeyTable m_direct;      // (user, constant) of "C" rows
    KeyTable m_groupHolds;  // (group, constant) of GRPCOLL rows
    KeyTable m_userGroups;  // user -> (offset << 32 | count) into m_groupList
    std::vector<qint32> m_groupList;
};
