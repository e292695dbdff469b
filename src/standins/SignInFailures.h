#pragma once
// Failed sign-in tries of the embedded sign-in, per user name, kept in the embedded database
// itself: starting the program again, or another workstation, does not start the count anew.
// Names nobody has are counted like real ones, so the wait cannot tell them apart either.

#include <QString>

namespace platform {
class Connection;
}

namespace standins {

class SignInFailures {
public:
    explicit SignInFailures(platform::Connection *connection) : m_connection(connection) {}

    // Failures since the last sign-in of `user`; 0 when the count cannot be read.
    int count(const QString &user);
    void failed(const QString &user);
    void succeeded(const QString &user);

    // How long the answer to a try waits after `failures` failed ones: none for the first three,
    // then one second, doubling, to at most thirty.
    static int waitMilliseconds(int failures);

private:
    platform::Connection *m_connection;
};

} // namespace standins
