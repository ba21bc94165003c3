#pragma once

#include <QMap>
#include <QObject>
#include <QString>
#include <utility>

namespace veltrane {

// Members of a control array are named with their index in parentheses: "txtSizeTime(0)".
QString arrayMemberName(const QString &base, int index);
// Splits such a name; answers false for a name that is no array member.
bool splitArrayMemberName(const QString &name, QString *base, int *index);
// The index of a member from its object name, -1 when it is no array member.
int arrayIndex(const QObject *member);

// The member with that index under root (searched recursively), or null.
template <typename T> T *findArrayMember(const QObject *root, const QString &base, int index)
{
    return root ? root->findChild<T *>(arrayMemberName(base, index)) : nullptr;
}

// The members of one control array, by index. add() names the member; connect() ties one handler
// to a signal of every member, passing the member's index first, as the pages' array handlers
// (txtSizeTime_Change(Index), chkDyeSpectra_Click(Index)) expect.
template <typename T> class ControlArray
{
public:
    explicit ControlArray(QString base)
        : m_base(std::move(base))
    {}

    const QString &base() const { return m_base; }

    T *add(int index, T *member)
    {
        member->setObjectName(arrayMemberName(m_base, index));
        m_members.insert(index, member);
        return member;
    }

    // The member with that index, null when there is none.
    T *operator[](int index) const { return m_members.value(index, nullptr); }
    T *at(int index) const { return m_members.value(index, nullptr); }

    int count() const { return int(m_members.size()); }
    int LBound() const { return m_members.isEmpty() ? 0 : m_members.firstKey(); }
    int UBound() const { return m_members.isEmpty() ? -1 : m_members.lastKey(); }
    QList<int> indices() const { return m_members.keys(); }
    QList<T *> members() const { return m_members.values(); }

    // handler(index, signal arguments...) for every member present now.
    template <typename Signal, typename Handler> void connect(Signal signal, QObject *context, Handler handler) const
    {
        for (auto it = m_members.cbegin(); it != m_members.cend(); ++it) {
            const int index = it.key();
            QObject::connect(it.value(), signal, context, [handler, index](auto &&...args) {
                handler(index, std::forward<decltype(args)>(args)...);
            });
        }
    }

private:
    QString m_base;
    QMap<int, T *> m_members;
};

} // namespace veltrane
