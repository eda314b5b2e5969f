#pragma once
// The row id (a USER_ID, GROUP_ID or ACCESS_ID) that an entry of the editor's list
// boxes stands for.

#include <QMetaType>

class TIntObject {
public:
    explicit TIntObject(int value = 0) : m_value(value) { }
    int value() const { return m_value; }
    void setValue(int value) { m_value = value; }

private:
    int m_value;
};

Q_DECLARE_METATYPE(TIntObject)
