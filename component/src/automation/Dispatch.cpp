#include <corvane/Dispatch.h>

#include <corvane/CorvaneObject.h>
#include "platform/qt/QtStrings.h"

#include <corvane/Errors.h>

#include <QMetaMethod>
#include <QMetaProperty>
#include <QObject>
#include <QThread>

#include <climits>

namespace corvane::automation {

namespace {

[[noreturn]] void unknownName() { throw RuntimeError(err::ObjectDoesNotSupport); }

// An object is called on the thread that made it (its apartment); from another thread the call
// is refused before anything of it runs, as a marshalled interface refuses it.
void checkThread(const QObject *object)
{
    if (object->thread() != QThread::currentThread())
        throw RuntimeError(err::WrongThread);
}

int findProperty(const QMetaObject *meta, const QString &name)
{
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        if (QString::fromLatin1(meta->property(i).name()).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

std::vector<QMetaMethod> findMethods(const QMetaObject *meta, const QString &name, QMetaMethod::MethodType type)
{
    std::vector<QMetaMethod> found;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() == type && method.access() == QMetaMethod::Public
            && QString::fromLatin1(method.name()).compare(name, Qt::CaseInsensitive) == 0)
            found.push_back(method);
    }
    return found;
}

// Converts a value to a parameter or property type by the run-time's rules.
QVariant convert(const Variant &value, QMetaType type)
{
    switch (type.id()) {
    case QMetaType::QString: return QVariant(qt::qs(value.toString()));
    case QMetaType::Bool: return QVariant(value.toBoolean());
    case QMetaType::Short: return QVariant::fromValue<short>(value.toInteger());
    case QMetaType::Int: return QVariant(static_cast<int>(value.toLong()));
    case QMetaType::Double: return QVariant(value.toDouble());
    default: break;
    }
    if (type.flags().testFlag(QMetaType::IsEnumeration)) {
        QVariant converted(static_cast<int>(value.toLong()));
        if (converted.convert(type))
            return converted;
    }
    throw RuntimeError(err::TypeMismatch);
}

} // namespace

MemberKind memberKind(const QObject *object, const QString &name, QString *canonical)
{
    const QMetaObject *meta = object->metaObject();
    if (const int p = findProperty(meta, name); p >= 0) {
        if (canonical)
            *canonical = QString::fromLatin1(meta->property(p).name());
        return MemberKind::Property;
    }
    for (const auto type : {QMetaMethod::Method, QMetaMethod::Slot, QMetaMethod::Signal}) {
        const auto methods = findMethods(meta, name, type);
        if (!methods.empty()) {
            if (canonical)
                *canonical = QString::fromLatin1(methods.front().name());
            return type == QMetaMethod::Signal ? MemberKind::Event : MemberKind::Method;
        }
    }
    return MemberKind::None;
}

Variant getMember(QObject *object, const QString &name)
{
    checkThread(object);
    const QMetaObject *meta = object->metaObject();
    if (const int p = findProperty(meta, name); p >= 0) {
        const QMetaProperty property = meta->property(p);
        QVariant value = property.read(object);
        if (property.isEnumType())
            return Variant::longValue(value.toInt());
        return fromQVariant(value);
    }
    std::vector<Variant> none;
    return callMethod(object, name, none);
}

void putProperty(QObject *object, const QString &name, const Variant &value)
{
    checkThread(object);
    const QMetaObject *meta = object->metaObject();
    const int p = findProperty(meta, name);
    if (p < 0) {
        if (memberKind(object, name) != MemberKind::None)
            throw RuntimeError(err::WrongNumberOfArguments);
        unknownName();
    }
    const QMetaProperty property = meta->property(p);
    if (!property.write(object, convert(value, property.metaType())))
        throw RuntimeError(err::TypeMismatch);
}

Variant callMethod(QObject *object, const QString &name, std::vector<Variant> &arguments)
{
    checkThread(object);
    const QMetaObject *meta = object->metaObject();
    auto methods = findMethods(meta, name, QMetaMethod::Method);
    if (methods.empty())
        methods = findMethods(meta, name, QMetaMethod::Slot);
    if (methods.empty()) {
        if (findProperty(meta, name) >= 0 && arguments.empty())
            return getMember(object, name);
        unknownName();
    }

    // Overloads and default arguments: choose the form that takes exactly this many.
    const QMetaMethod *chosen = nullptr;
    int fewest = INT_MAX, most = 0;
    for (const QMetaMethod &method : methods) {
        fewest = std::min(fewest, method.parameterCount());
        most = std::max(most, method.parameterCount());
        if (method.parameterCount() == static_cast<int>(arguments.size()))
            chosen = &method;
    }
    if (!chosen) {
        throw RuntimeError(static_cast<int>(arguments.size()) < fewest ? err::ArgumentNotOptional
                                                                       : err::WrongNumberOfArguments);
    }

    const int count = chosen->parameterCount();
    std::vector<QVariant> storage(static_cast<size_t>(count));
    std::vector<void *> argv(static_cast<size_t>(count) + 1, nullptr);
    const QList<QByteArray> types = chosen->parameterTypes();
    for (int i = 0; i < count; ++i) {
        const QMetaType type = chosen->parameterMetaType(i);
        if (types[i] == "QVariant" || types[i] == "QVariant&") {
            // A QVariant parameter takes the value as it is, and may write into it.
            storage[i] = toQVariant(arguments[i]);
            argv[i + 1] = &storage[i];
        } else {
            storage[i] = convert(arguments[i], type);
            argv[i + 1] = storage[i].data();
        }
    }

    QVariant result;
    if (chosen->returnMetaType().id() == QMetaType::QVariant)
        argv[0] = &result;
    QMetaObject::metacall(object, QMetaObject::InvokeMetaMethod, chosen->methodIndex(), argv.data());

    // By-reference parameters carry back what the method wrote.
    for (int i = 0; i < count; ++i) {
        if (types[i] == "QVariant&")
            arguments[i] = fromQVariant(storage[i]);
    }
    return fromQVariant(result);
}

} // namespace corvane::automation
