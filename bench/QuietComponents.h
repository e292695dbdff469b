#pragma once
// Outside components that do nothing, so a figure measures the search and not the record window
// of the header stand-in.

#include "standins/HeaderControl.h"

#include <QObject>
#include <QVariant>

namespace bench {

// The header stand-in without its record window. Members are found by name, the most derived
// first, so this LoadPatient is the one the search window calls.
class QuietHeader : public standins::ctlHeader {
    Q_OBJECT
public:
    using ctlHeader::ctlHeader;
    Q_INVOKABLE void LoadPatient() {}
};

class BenchUser : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariant UserID READ UserID)
public:
    using QObject::QObject;
    QVariant UserID() const { return QStringLiteral("bench"); }
};

} // namespace bench
