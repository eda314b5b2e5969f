#include "security/TAccessIndex.h"

#include "database/TFilter.h"
#include "database/TQuery.h"

#include <algorithm>

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
    m_keys.clear();
    m_payloads.clear();
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

void TAccessIndex::clear()
{
    m_direct.clear();
    m_groupHolds.clear();
    m_userGroups.clear();
    m_groupList.clear();
}

void TAccessIndex::build(const TQuery& userAcc, const TQuery& groupAcc)
{
    clear();
    const int uUser = userAcc.fieldByName(QStringLiteral("User_Id"))->index();
    const int uAccess = userAcc.fieldByName(QStringLiteral("Access_Id"))->index();
    const int uType = userAcc.fieldByName(QStringLiteral("Type"))->index();
    const int gGroup = groupAcc.fieldByName(QStringLiteral("Group_Id"))->index();
    const int gAccess = groupAcc.fieldByName(QStringLiteral("Access_Id"))->index();

    struct Membership {
        qint32 user;
        qint32 group;
    };
    std::vector<Membership> memberships;
    const int userRows = userAcc.totalRowCount();
    m_direct.reserve(size_t(userRows));
    for (int r = 0; r < userRows; ++r) {
        const qint32 user = userAcc.rowValue(r, uUser).toInt();
        const qint32 access = userAcc.rowValue(r, uAccess).toInt();
        const QVariant& type = userAcc.rowValue(r, uType);
        if (isType(type, 'C'))
            m_direct.insert(pairKey(user, access));
        else if (access > 0 && isType(type, 'G'))
            memberships.push_back({user, access});
    }
    // Each user's groups stay in the order the record set delivered them.
    std::stable_sort(memberships.begin(), memberships.end(),
                     [](const Membership& a, const Membership& b) { return a.user < b.user; });
    m_groupList.reserve(memberships.size());
    m_userGroups.reserve(memberships.size() / 4 + 1);
    for (size_t i = 0; i < memberships.size();) {
        const qint32 user = memberships[i].user;
        const size_t offset = m_groupList.size();
        for (; i < memberships.size() && memberships[i].user == user; ++i)
            m_groupList.push_back(memberships[i].group);
        const size_t count = m_groupList.size() - offset;
        m_userGroups.insert(quint64(quint32(user)), (quint64(offset) << 32) | quint64(count));
    }

    const int groupRows = groupAcc.totalRowCount();
    m_groupHolds.reserve(size_t(groupRows));
    for (int r = 0; r < groupRows; ++r)
        m_groupHolds.insert(pairKey(groupAcc.rowValue(r, gGroup).toInt(), groupAcc.rowValue(r, gAccess).toInt()));
}

TAccessIndex::Grant TAccessIndex::grant(qint32 userId, qint32 accessId) const
{
    if (m_direct.contains(pairKey(userId, accessId)))
        return Grant::Direct;
    const quint64* range = m_userGroups.find(quint64(quint32(userId)));
    if (!range)
        return Grant::None;
    const size_t offset = size_t(*range >> 32);
    const size_t count = size_t(*range & 0xffffffffULL);
    for (size_t i = offset; i < offset + count; ++i)
        if (m_groupHolds.contains(pairKey(m_groupList[i], accessId)))
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
