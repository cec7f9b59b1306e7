#include "ScriptHost.h"

#include "../common/ToolSupport.h"

#include <corvane/CorvaneObject.h>
#include <corvane/Dispatch.h>

#include <corvane/Enums.h>
#include <corvane/Errors.h>

#include <QFile>
#include <QTextStream>

#include <cstdio>

namespace corvane::tools {

using namespace corvane::automation;

namespace {

// The script's view of an object: a proxy that sends every name to the host.
const char kBridge[] = R"JS(
(function (host) {
    var quiet = { then: true, toJSON: true, valueOf: true, toString: true, constructor: true };
    function wrap(id) {
        return new Proxy({}, {
            get: function (target, name) {
                if (typeof name !== 'string')
                    return undefined;
                var kind = host.kind(id, name);
                if (kind === 'property')
                    return host.get(id, name);
                if (kind === 'method')
                    return function () { return host.call(id, name, Array.prototype.slice.call(arguments)); };
                if (kind === 'event')
                    return { connect: function (fn) { host.connectEvent(id, name, fn); } };
                if (name === 'toString')
                    return function () { return '[object Corvane]'; };
                if (quiet[name])
                    return undefined;
                return host.get(id, name);
            },
            set: function (target, name, value) {
                host.put(id, String(name), value);
                return true;
            },
            has: function (target, name) {
                return typeof name === 'string' && host.kind(id, name) !== '';
            }
        });
    }
    return {
        CreateObject: function (progId) { return wrap(host.createObject(String(progId))); },
        print: function () { host.print(Array.prototype.slice.call(arguments)); }
    };
})
)JS";

} // namespace

ScriptHost::ScriptHost(QObject *parent)
    : QObject(parent)
{
    m_engine.installExtensions(QJSEngine::ConsoleExtension);
    QJSValue global = m_engine.globalObject();
    const QJSValue factory = m_engine.evaluate(QString::fromLatin1(kBridge));
    const QJSValue bridge = QJSValue(factory).call({m_engine.newQObject(this)});
    global.setProperty(QStringLiteral("CreateObject"), bridge.property(QStringLiteral("CreateObject")));
    global.setProperty(QStringLiteral("print"), bridge.property(QStringLiteral("print")));
    // The enumerators by name, as the type library publishes them.
    for (const Enumeration &enumeration : enumerations()) {
        for (const Enumerator &enumerator : enumeration.enumerators) {
            global.setProperty(QString::fromLatin1(enumerator.name.data(), enumerator.name.size()), enumerator.value);
        }
    }
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
}

ScriptHost::~ScriptHost() = default;

bool ScriptHost::runFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("%1: cannot open the script").arg(path);
        return false;
    }
    const QString source = QString::fromUtf8(file.readAll());
    const QJSValue result = m_engine.evaluate(source, path);
    if (result.isError() && m_error.isEmpty()) {
        m_error = QStringLiteral("%1:%2: %3")
                      .arg(path, result.property(QStringLiteral("lineNumber")).toString(), result.toString());
    }
    return m_error.isEmpty();
}

QObject *ScriptHost::object(int id)
{
    if (id < 0 || id >= static_cast<int>(m_objects.size()))
        throw RuntimeError(err::ObjectDoesNotSupport);
    return m_objects[static_cast<size_t>(id)].get();
}

void ScriptHost::throwRuntimeError(const std::exception &error)
{
    m_engine.throwError(QString::fromUtf8(error.what()));
}

int ScriptHost::createObject(const QString &progId)
{
    try {
        QObject *created = tools::createObject(progId);
        m_objects.emplace_back(created);
        const int id = static_cast<int>(m_objects.size()) - 1;
        // The events arrive by reference; handlers get their values.
        if (auto *corvane = qobject_cast<CorvaneObject *>(created)) {
            connect(corvane, &CorvaneObject::PrintComplete, this,
                    [this, id] { callHandlers(id, QStringLiteral("PrintComplete"), {}); });
            connect(corvane, &CorvaneObject::PrintError, this, [this, id](QVariant &number, QVariant &description) {
                callHandlers(id, QStringLiteral("PrintError"),
                             {m_engine.toScriptValue(number), m_engine.toScriptValue(description)});
            });
            connect(corvane, &CorvaneObject::PrintProgress, this, [this, id](QVariant &page) {
                callHandlers(id, QStringLiteral("PrintProgress"), {m_engine.toScriptValue(page)});
            });
        }
        return id;
    } catch (const RuntimeError &e) {
        throwRuntimeError(e);
        return -1;
    }
}

QString ScriptHost::kind(int id, const QString &name)
{
    try {
        switch (memberKind(object(id), name)) {
        case MemberKind::Property: return QStringLiteral("property");
        case MemberKind::Method: return QStringLiteral("method");
        case MemberKind::Event: return QStringLiteral("event");
        case MemberKind::None: break;
        }
    } catch (const RuntimeError &) {
    }
    return {};
}

QJSValue ScriptHost::get(int id, const QString &name)
{
    try {
        return m_engine.toScriptValue(toQVariant(getMember(object(id), name)));
    } catch (const RuntimeError &e) {
        throwRuntimeError(e);
        return {};
    }
}

void ScriptHost::put(int id, const QString &name, const QJSValue &value)
{
    try {
        putProperty(object(id), name, fromQVariant(value.toVariant()));
    } catch (const RuntimeError &e) {
        throwRuntimeError(e);
    }
}

QJSValue ScriptHost::call(int id, const QString &name, const QJSValue &arguments)
{
    try {
        std::vector<Variant> args;
        const int length = arguments.property(QStringLiteral("length")).toInt();
        for (int i = 0; i < length; ++i)
            args.push_back(fromQVariant(arguments.property(static_cast<quint32>(i)).toVariant()));
        return m_engine.toScriptValue(toQVariant(callMethod(object(id), name, args)));
    } catch (const RuntimeError &e) {
        throwRuntimeError(e);
        return {};
    }
}

void ScriptHost::connectEvent(int id, const QString &name, const QJSValue &handler)
{
    QString canonical;
    try {
        if (memberKind(object(id), name, &canonical) != MemberKind::Event || !handler.isCallable())
            throw RuntimeError(err::ObjectDoesNotSupport);
    } catch (const RuntimeError &e) {
        throwRuntimeError(e);
        return;
    }
    m_handlers.push_back({id, canonical, handler});
}

void ScriptHost::callHandlers(int id, const QString &event, const QJSValueList &arguments)
{
    for (Handler &handler : m_handlers) {
        if (handler.id != id || handler.event != event)
            continue;
        const QJSValue result = handler.function.call(arguments);
        if (result.isError() && m_error.isEmpty()) {
            m_error = QStringLiteral("in the %1 handler: %2").arg(event, result.toString());
        }
    }
}

void ScriptHost::print(const QJSValue &arguments)
{
    QStringList parts;
    const int length = arguments.property(QStringLiteral("length")).toInt();
    for (int i = 0; i < length; ++i)
        parts << arguments.property(static_cast<quint32>(i)).toString();
    std::printf("%s\n", parts.join(QLatin1Char(' ')).toLocal8Bit().constData());
    std::fflush(stdout);
}

} // namespace corvane::tools
