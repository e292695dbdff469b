#include "platform/components/Components.h"

#include "platform/Failure.h"

#include <QHash>
#include <QMetaMethod>
#include <QMetaProperty>

namespace platform::components {

namespace {

QHash<QString, Factory> &factories()
{
    static QHash<QString, Factory> registry;
    return registry;
}

// Identifiers are not case-sensitive on the machines the components come from.
QString key(const QString &progId)
{
    return progId.trimmed().toLower();
}

Failure missingMember(const QObject *object, const char *name)
{
    return Failure(QStringLiteral("Object doesn't support this property or method: %1.%2")
                       .arg(QString::fromLatin1(object->metaObject()->className()),
                            QString::fromLatin1(name)));
}

void requireObject(const QObject *object, const char *name)
{
    if (!object)
        throw Failure(QStringLiteral("Object variable not set (member %1).").arg(QString::fromLatin1(name)));
}

} // namespace

void registerFactory(const QString &progId, Factory factory)
{
    factories().insert(key(progId), std::move(factory));
}

QObject *create(const QString &progId, QWidget *parent)
{
    const auto it = factories().constFind(key(progId));
    if (it == factories().constEnd() || !*it)
        throw Failure(QStringLiteral("ActiveX component can't create object: %1").arg(progId));
    QObject *object = (*it)(parent);
    if (!object)
        throw Failure(QStringLiteral("ActiveX component can't create object: %1").arg(progId));
    return object;
}

void setMember(QObject *object, const char *name, const QVariant &value)
{
    requireObject(object, name);
    const QMetaObject *meta = object->metaObject();
    const int index = meta->indexOfProperty(name);
    if (index < 0)
        throw missingMember(object, name);
    const QMetaProperty property = meta->property(index);
    if (!property.isWritable())
        throw Failure(QStringLiteral("Property %1 is read-only.").arg(QString::fromLatin1(name)));
    if (!property.write(object, value))
        throw Failure(QStringLiteral("Type mismatch assigning property %1.").arg(QString::fromLatin1(name)));
}

QVariant getMember(QObject *object, const char *name)
{
    requireObject(object, name);
    const QMetaObject *meta = object->metaObject();
    const int index = meta->indexOfProperty(name);
    if (index < 0)
        throw missingMember(object, name);
    return meta->property(index).read(object);
}

void callMember(QObject *object, const char *name)
{
    requireObject(object, name);
    const QMetaObject *meta = object->metaObject();
    for (int i = meta->methodCount() - 1; i >= 0; --i) {
        const QMetaMethod method = meta->method(i);
        if (method.parameterCount() != 0 || method.name() != name)
            continue;
        if (method.methodType() != QMetaMethod::Method && method.methodType() != QMetaMethod::Slot)
            continue;
        if (!method.invoke(object, Qt::DirectConnection))
            throw Failure(QStringLiteral("Method %1 could not be called.").arg(QString::fromLatin1(name)));
        return;
    }
    throw missingMember(object, name);
}

} // namespace platform::components
