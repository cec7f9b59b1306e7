// The JavaScript host: scripts create objects by programmatic identifier and use them late
// bound, with names case-insensitive and values converted by the run-time's rules.
#pragma once

#include <QJSEngine>
#include <QJSValue>
#include <QObject>
#include <QVariantList>

#include <memory>
#include <vector>

namespace corvane::tools {

class ScriptHost : public QObject {
    Q_OBJECT
public:
    explicit ScriptHost(QObject *parent = nullptr);
    ~ScriptHost() override;

    // Runs a script file; false when it (or an event handler) raised an uncaught error, whose
    // message then is in errorMessage().
    bool runFile(const QString &path);
    QString errorMessage() const { return m_error; }

    // Called from the script's side through the bridge object.
    Q_INVOKABLE int createObject(const QString &progId);
    Q_INVOKABLE QString kind(int id, const QString &name);
    Q_INVOKABLE QJSValue get(int id, const QString &name);
    Q_INVOKABLE void put(int id, const QString &name, const QJSValue &value);
    Q_INVOKABLE QJSValue call(int id, const QString &name, const QJSValue &arguments);
    Q_INVOKABLE void connectEvent(int id, const QString &name, const QJSValue &handler);
    Q_INVOKABLE void print(const QJSValue &arguments);

private:
    QObject *object(int id);
    void throwRuntimeError(const std::exception &error);
    void callHandlers(int id, const QString &event, const QJSValueList &arguments);

    QJSEngine m_engine;
    std::vector<std::unique_ptr<QObject>> m_objects;
    struct Handler {
        int id;
        QString event;
        QJSValue function;
    };
    std::vector<Handler> m_handlers;
    QString m_error;
};

} // namespace corvane::tools
