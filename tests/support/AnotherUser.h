#pragma once

// Unix only: the ids are the system's user and group ids.

#include <unistd.h>

// While it lives, the process runs as the user nobody, whom file modes stop as they stop any user
// but root, who passes them all. Only root switches; any other user is stopped by them already.
// Root's ids stay saved, and come back at the end.
class AnotherUser
{
public:
    AnotherUser()
        : m_switched(::geteuid() == 0 && ::setresgid(kNobody, kNobody, 0) == 0 &&
                     ::setresuid(kNobody, kNobody, 0) == 0)
    {
        m_active = m_switched || ::geteuid() != 0;
    }
    ~AnotherUser()
    {
        if (m_switched && ::setresuid(0, 0, 0) == 0)
            static_cast<void>(::setresgid(0, 0, 0));
    }
    AnotherUser(const AnotherUser &) = delete;
    AnotherUser &operator=(const AnotherUser &) = delete;

    bool active() const { return m_active; }

private:
    static constexpr uid_t kNobody = 65534;

    bool m_switched = false;
    bool m_active = false;
};
