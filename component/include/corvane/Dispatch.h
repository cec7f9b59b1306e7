// Late binding by name over a QObject's meta-object, as automation callers bind: names are
// case-insensitive, arguments convert by the run-time's rules, optional parameters may be left
// out, and failures are run-time errors (438 unknown name, 13 type mismatch, 449 argument not
// optional, 450 wrong number of arguments).
#pragma once

#include "Export.h"

#include <corvane/Variant.h>

#include <QString>

#include <vector>

class QObject;

namespace corvane::automation {

enum class MemberKind { None, Property, Method, Event };

// What a name denotes on the object, and the member's own spelling.
CORVANE_EXPORT MemberKind memberKind(const QObject *object, const QString &name, QString *canonical = nullptr);

// Reads a property; a method name calls the method without arguments.
CORVANE_EXPORT Variant getMember(QObject *object, const QString &name);
CORVANE_EXPORT void putProperty(QObject *object, const QString &name, const Variant &value);
// Calls a method. Arguments bound to by-reference parameters receive what the method wrote.
CORVANE_EXPORT Variant callMethod(QObject *object, const QString &name, std::vector<Variant> &arguments);

} // namespace corvane::automation
