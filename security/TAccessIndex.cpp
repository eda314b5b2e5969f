#include "security/TAccessIndex.h"

#include "database/TFilter.h"
#include "database/TQuery.h"
#include "database/TRowStream.h"

#include <algorithm>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
// Whether a TYPE value is the letter, compared as the record-set filters compare it
// (whole value, letter case ignored). Text values, the usual case, are looked at in
// place without a copy.
bool isType(const QVariant& stored, char letter)
{
    if (stored.typeId() == QMetaType::QString) {
        const QString& text = *static_cast<const QString*>(stored.constData());
        return text.size() == 1 && text.at(0).toUpper() == QLatin1Char(letter);
    }
    return TFilter::compare(stored, TFilter::Op::Eq, QString(QLatin1Char(letter)));
}
} // namespace

quint64 TAccessIndex::KeyTable::mix(quint64 key)
{
    // splitmix64 finaliser: spreads sequential ids over the whole table.
    key ^= key >> 30;
    key *= 0xbf58476d1ce4e5b9ULL;
    key ^= key >> 27;
    key *= 0x94d049bb133111ebULL;
    key ^= key >> 31;
    return key;
}

void TAccessIndex::KeyTable::clear()
{
    std::vector<quint64>().swap(m_keys);
    std::vector<quint64>().swap(m_payloads);
    m_size = 0;
    m_mask = 0;
    m_hasFreeKey = false;
    m_freeKeyPayload = 0;
}

void TAccessIndex::KeyTable::reserve(size_t count)
{
    // Keep the load at one half or less.
    size_t capacity = 16;
    while (capacity < count * 2)
        capacity *= 2;
    if (capacity > m_keys.size())
        rehash(capacity);
}

void TAccessIndex::KeyTable::rehash(size_t capacity)
{
    std::vector<quint64> keys = std::move(m_keys);
    std::vector<quint64> payloads = std::move(m_payloads);
    m_keys.assign(capacity, kFree);
    if (m_withPayloads)
        m_payloads.assign(capacity, 0);
    m_mask = capacity - 1;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] == kFree)
            continue;
        const size_t slot = slotOf(keys[i]);
        m_keys[slot] = keys[i];
        if (m_withPayloads)
            m_payloads[slot] = payloads[i];
    }
}

size_t TAccessIndex::KeyTable::slotOf(quint64 key) const
{
    size_t slot = mix(key) & m_mask;
    while (m_keys[slot] != kFree && m_keys[slot] != key)
        slot = (slot + 1) & m_mask;
    return slot;
}

void TAccessIndex::KeyTable::insert(quint64 key, quint64 payload)
{
    if (key == kFree) {
        m_hasFreeKey = true;
        m_freeKeyPayload = payload;
        return;
    }
    if ((m_size + 1) * 2 > m_keys.size())
        reserve(std::max<size_t>(m_size + 1, m_keys.size()));
    const size_t slot = slotOf(key);
    if (m_keys[slot] == kFree) {
        m_keys[slot] = key;
        ++m_size;
    }
    if (m_withPayloads)
        m_payloads[slot] = payload;
}

bool TAccessIndex::KeyTable::contains(quint64 key) const
{
    if (key == kFree)
        return m_hasFreeKey;
    return m_size > 0 && m_keys[slotOf(key)] == key;
}

const quint64* TAccessIndex::KeyTable::find(quint64 key) const
{
    if (key == kFree)
        return m_hasFreeKey ? &m_freeKeyPayload : nullptr;
    if (m_size == 0)
        return nullptr;
    const size_t slot = slotOf(key);
    return m_keys[slot] == key ? &m_payloads[slot] : nullptr;
}

void TAccessIndex::SortedRuns::clear()
{
    m_runs.clear();
    m_ids.clear();
    m_ids.shrink_to_fit();
}

void TAccessIndex::SortedRuns::build(std::vector<quint64>& pairs)
{
    clear();
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    size_t owners = 0;
    for (size_t i = 0; i < pairs.size(); ++i)
        owners += i == 0 || (pairs[i] >> 32) != (pairs[i - 1] >> 32);
    m_runs.reserve(owners);
    m_ids.resize(pairs.size());
    for (size_t i = 0; i < pairs.size();) {
        const quint64 owner = pairs[i] >> 32;
        const size_t offset = i;
        for (; i < pairs.size() && (pairs[i] >> 32) == owner; ++i)
            m_ids[i] = quint32(pairs[i]);
        m_runs.insert(owner, (quint64(offset) << 32) | quint64(i - offset));
    }
    std::vector<quint64>().swap(pairs);
}

bool TAccessIndex::SortedRuns::contains(qint32 owner, qint32 id) const
{
    const quint64* run = m_runs.find(quint64(quint32(owner)));
    if (!run)
        return false;
    const auto begin = m_ids.begin() + qsizetype(*run >> 32);
    return std::binary_search(begin, begin + qsizetype(*run & 0xffffffffULL), quint32(id));
}

void TAccessIndex::clear()
{
    m_direct.clear();
    m_groupHolds.clear();
    m_userGroups.clear();
    m_groupList.clear();
    m_groupList.shrink_to_fit();
}

void TAccessIndex::addUserRow(Collected& rows, qint32 user, qint32 access, char type)
{
    if (type == 'C')
        rows.direct.push_back(pairKey(user, access));
    else if (access > 0 && type == 'G')
        rows.memberships.push_back({user, access});
}

void TAccessIndex::build(const TQuery& userAcc, const TQuery& groupAcc)
{
    clear();
    const int uUser = userAcc.fieldByName(QStringLiteral("User_Id"))->index();
    const int uAccess = userAcc.fieldByName(QStringLiteral("Access_Id"))->index();
    const int uType = userAcc.fieldByName(QStringLiteral("Type"))->index();
    const int gGroup = groupAcc.fieldByName(QStringLiteral("Group_Id"))->index();
    const int gAccess = groupAcc.fieldByName(QStringLiteral("Access_Id"))->index();

    Collected rows;
    const int userRows = userAcc.totalRowCount();
    for (int r = 0; r < userRows; ++r) {
        const QVariant& type = userAcc.rowValue(r, uType);
        addUserRow(rows, userAcc.rowValue(r, uUser).toInt(), userAcc.rowValue(r, uAccess).toInt(),
                   isType(type, 'C')   ? 'C'
                   : isType(type, 'G') ? 'G'
                                       : 0);
    }
    const int groupRows = groupAcc.totalRowCount();
    rows.holds.reserve(size_t(groupRows));
    for (int r = 0; r < groupRows; ++r)
        rows.holds.push_back(pairKey(groupAcc.rowValue(r, gGroup).toInt(), groupAcc.rowValue(r, gAccess).toInt()));
    finish(rows);
}

void TAccessIndex::read(const QString& databaseName)
{
    clear();
    Collected rows;
    TRowStream::read(
        databaseName, QStringLiteral("Select * from UserAcc"),
        {QStringLiteral("User_Id"), QStringLiteral("Access_Id"), QStringLiteral("Type")},
        [&rows] { rows = Collected(); },
        [&rows](const TRowStream::Row& row) {
            // The type letter as the record-set filters compare it: the whole value,
            // letter case ignored.
            const QByteArrayView type = row.text(2);
            const char letter = type.size() == 1 ? char(type.front() & ~0x20) : 0;
            addUserRow(rows, qint32(row.integer(0)), qint32(row.integer(1)),
                       letter == 'C' || letter == 'G' ? letter : 0);
        });
    TRowStream::read(
        databaseName, QStringLiteral("Select * from GrpColl"),
        {QStringLiteral("Group_Id"), QStringLiteral("Access_Id")}, [&rows] { std::vector<quint64>().swap(rows.holds); },
        [&rows](const TRowStream::Row& row) {
            rows.holds.push_back(pairKey(qint32(row.integer(0)), qint32(row.integer(1))));
        });
    finish(rows);
}

void TAccessIndex::finish(Collected& rows)
{
    m_direct.build(rows.direct);
    m_groupHolds.build(rows.holds);

    std::vector<Membership>& memberships = rows.memberships;
    // Each user's groups stay in the order the record set delivered them.
    std::stable_sort(memberships.begin(), memberships.end(),
                     [](const Membership& a, const Membership& b) { return a.user < b.user; });
    m_groupList.reserve(memberships.size());
    size_t users = 0;
    for (size_t i = 0; i < memberships.size(); ++i)
        users += i == 0 || memberships[i].user != memberships[i - 1].user;
    m_userGroups.reserve(users);
    for (size_t i = 0; i < memberships.size();) {
        const qint32 user = memberships[i].user;
        const size_t offset = m_groupList.size();
        for (; i < memberships.size() && memberships[i].user == user; ++i)
            m_groupList.push_back(memberships[i].group);
        const size_t count = m_groupList.size() - offset;
        m_userGroups.insert(quint64(quint32(user)), (quint64(offset) << 32) | quint64(count));
    }
    std::vector<Membership>().swap(memberships);
#ifdef __GLIBC__
    // The rows collected for the build (8 bytes a grant) are free now: their pages go
    // back to the system rather than stay with the program.
    malloc_trim(0);
#endif
}

TAccessIndex::Grant TAccessIndex::grant(qint32 userId, qint32 accessId) const
{
    if (m_direct.contains(userId, accessId))
        return Grant::Direct;
    const quint64* range = m_userGroups.find(quint64(quint32(userId)));
    if (!range)
        return Grant::None;
    const size_t offset = size_t(*range >> 32);
    const size_t count = size_t(*range & 0xffffffffULL);
    for (size_t i = offset; i < offset + count; ++i)
        if (m_groupHolds.contains(m_groupList[i], accessId))
            return Grant::Group;
    return Grant::None;
}
std::vector<qint32> TAccessIndex::groupsOf(qint32 userId) const
{
    const quint64* range = m_userGroups.find(quint64(quint32(userId)));
    if (!range)
        return {};
    const auto begin = m_groupList.begin() + qsizetype(*range >> 32);
    return std::vector<qint32>(begin, begin + qsizetype(*range & 0xffffffffULL));
}
