#pragma once
// The program's own patient header control. It stays hidden in the search window; an opened
// record is shown in a small window of its own.

#include <QObject>
#include <QString>
#include <QVariant>
#include <QWidget>

namespace standins {

class ctlHeader : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QObject *Connection READ Connection WRITE setConnection)
    Q_PROPERTY(QVariant UserID READ UserID WRITE setUserID)
    Q_PROPERTY(QObject *CurrentUser READ CurrentUser WRITE setCurrentUser)
    Q_PROPERTY(QString HospNum READ HospNum WRITE setHospNum)
    Q_PROPERTY(QString IDNum READ IDNum WRITE setIDNum)
    Q_PROPERTY(QString PatientName READ PatientName WRITE setPatientName)

public:
    static inline const QString progId = QStringLiteral("prjPatientBrelmontaxis.ctlHeader");

    explicit ctlHeader(QWidget *parent = nullptr);

    QObject *Connection() const { return m_connection; }
    void setConnection(QObject *connection) { m_connection = connection; }
    QVariant UserID() const { return m_userId; }
    void setUserID(const QVariant &userId) { m_userId = userId; }
    QObject *CurrentUser() const { return m_currentUser; }
    void setCurrentUser(QObject *user) { m_currentUser = user; }
    QString HospNum() const { return m_hospNum; }
    void setHospNum(const QString &value) { m_hospNum = value; }
    QString IDNum() const { return m_idNum; }
    void setIDNum(const QString &value) { m_idNum = value; }
    QString PatientName() const { return m_patientName; }
    void setPatientName(const QString &value) { m_patientName = value; }

    Q_INVOKABLE void InitHeader();
    Q_INVOKABLE void LoadPatient();

private:
    QObject *m_connection = nullptr;
    QVariant m_userId;
    QObject *m_currentUser = nullptr;
    QString m_hospNum, m_idNum, m_patientName;
};

} // namespace standins
