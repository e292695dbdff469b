#pragma once
// The access audit trail: who signed in, searched, listed and opened which patient's record, and
// who ran the maintenance, each with the time (UTC), the user, the workstation, the process and
// the outcome. Records go to the audit file a site names (TALVOR_AUDIT_FILE, else the key
// audit/file of the system-wide settings), else to the system log (facility authpriv, tag
// talvor-search). A file that cannot be written sends its records to the system log; the first
// failure of a session is told to the clerk once, and the program goes on.
//
// Records carry identifiers and search criteria, never addresses or passwords.

#include "platform/audit/AuditRecord.h"

#include <QString>
#include <exception>
#include <functional>

namespace platform::audit {

enum class Event {
    SignIn,
    Search,              // the patient search: criteria as typed, patients shown
    Registrations,       // the registration list: hospital number and/or date, rows shown
    RecordOpened,        // a registration handed to the header control: numbers, and from where
    MaintenanceStarted,  // one of the maintenance window's buttons
    MaintenanceFinished,
    SignOut,             // the end of a signed-in program run
};

enum class Outcome {
    Success,
    Failure,  // refused sign-in, or the operation stopped on an error
    NotFound, // an admission number that names no admission
    Refused,  // an open without both numbers: nothing was shown
    Partial,  // a maintenance run that went on past refused statements
};

QString eventName(Event event);
QString outcomeName(Outcome outcome);

// Records one event now, for the signed-in user. Never throws.
void record(Event event, Outcome outcome, const Fields &fields = {});

// One sign-in attempt: `reason` is empty when it succeeded, else what the user was told. A
// success makes `user` the one every later record names. `database` must hold no password.
void recordSignIn(const QString &user, const QString &database, const QString &reason);

// Records its event when it goes out of scope: with the outcome set, Success by default, or
// Failure when an exception is leaving the scope, so an operation the failure guard stopped is
// recorded as failed with what it had shown so far.
class Scope {
public:
    explicit Scope(Event event, Fields fields = {});
    Scope(Scope &&other) noexcept;
    ~Scope();
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;
    Scope &operator=(Scope &&) = delete;

    // Replaces the field of that name, or adds it at the end.
    void set(const QString &name, const QVariant &value);
    void setOutcome(Outcome outcome) { m_outcome = outcome; }

private:
    Event m_event;
    Fields m_fields;
    Outcome m_outcome = Outcome::Success;
    int m_exceptions = std::uncaught_exceptions();
    bool m_live = true;
};

// How the clerk is told that the trail cannot be written (once per session); without one the
// text goes to standard error.
void setNotice(std::function<void(const QString &text)> notice);

// The audit file the site named, or empty for the system log.
QString configuredFile();

// Tests: the system log socket to write to (empty: the system's), and a fresh session that
// reads the destination again and has told nobody anything yet.
void setSyslogSocketForTests(const QString &path);
void restartForTests();

} // namespace platform::audit
