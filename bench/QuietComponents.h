#pragma once
// Outside components that do nothing, so a figure measures the search and not the record window
// of the header stand-in.

#include <QObject>
#include <QVariant>
#include <QWidget>

namespace bench {

class QuietHeader : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QObject *Connection READ Connection WRITE setConnection)
    Q_PROPERTY(QVariant UserID READ UserID WRITE setUserID)
    Q_PROPERTY(QObject *CurrentUser READ CurrentUser WRITE setCurrentUser)
    Q_PROPERTY(QString HospNum READ HospNum WRITE setHospNum)
    Q_PROPERTY(QString IDNum READ IDNum WRITE setIDNum)
    Q_PROPERTY(QString PatientName READ PatientName WRITE setPatientName)
public:
    using QWidget::QWidget;
    QObject *Connection() const { return nullptr; }
    void setConnection(QObject *) {}
    QVariant UserID() const { return {}; }
    void setUserID(const QVariant &) {}
    QObject *CurrentUser() const { return nullptr; }
    void setCurrentUser(QObject *) {}
    QString HospNum() const { return m_hospNum; }
    void setHospNum(const QString &v) { m_hospNum = v; }
    QString IDNum() const { return m_idNum; }
    void setIDNum(const QString &v) { m_idNum = v; }
    QString PatientName() const { return m_name; }
    void setPatientName(const QString &v) { m_name = v; }
    Q_INVOKABLE void InitHeader() {}
    Q_INVOKABLE void LoadPatient() { ++loads; }

    int loads = 0;

private:
    QString m_hospNum, m_idNum, m_name;
};

class BenchUser : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariant UserID READ UserID)
public:
    using QObject::QObject;
    QVariant UserID() const { return QStringLiteral("bench"); }
};

} // namespace bench
