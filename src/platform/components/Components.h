#pragma once
// Creation of the site's outside components from a programmatic identifier, and member access by
// name through Qt's meta-object system, so that a site's own component can replace ours.

#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>

class QWidget;

namespace platform::components {

using Factory = std::function<QObject *(QWidget *parent)>;

// Registers (or replaces) the factory for an identifier such as "Talvor_User.clsCurrentUser".
void registerFactory(const QString &progId, Factory factory);
// Creates the component; throws platform::Failure when no factory is registered for it.
QObject *create(const QString &progId, QWidget *parent = nullptr);

// Member access by name. Each throws platform::Failure naming the member when the object lacks it.
void setMember(QObject *object, const char *name, const QVariant &value);
QVariant getMember(QObject *object, const char *name);
void callMember(QObject *object, const char *name);

} // namespace platform::components
