#pragma once

#include <QString>
#include <stdexcept>

namespace platform {

// Every failure that reaches a window: the description is what the user is shown, unchanged.
class Failure : public std::runtime_error {
public:
    explicit Failure(const QString &description)
        : std::runtime_error(description.toStdString()), m_description(description) {}
    const QString &description() const { return m_description; }

private:
    QString m_description;
};

// A failure reported by the database provider. The description is the provider's text (for the
// embedded engine SQL Server's message text alone; for ODBC the driver's message with its
// bracketed prefix). number/severity/state are SQL Server's where known, else 0.
class DatabaseError : public Failure {
public:
    explicit DatabaseError(const QString &description, int number = 0, int severity = 16,
                           int state = 1)
        : Failure(description), m_number(number), m_severity(severity), m_state(state) {}
    int number() const { return m_number; }
    int severity() const { return m_severity; }
    int state() const { return m_state; }

private:
    int m_number, m_severity, m_state;
};

} // namespace platform
