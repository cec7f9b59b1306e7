// The Python module `corvane`: Corvane objects for Python scripts, with the conventions of
// Windows automation clients. Dispatch("CorvaneCOM.Corvane") creates the object through its
// registration and class factory; attributes and methods resolve by name at run time
// (case-insensitively, optional arguments left out as the class declares them); enumerator
// names are module constants. DispatchWithEvents adds a handler whose OnPrintComplete,
// OnPrintError and OnPrintProgress receive the events. A failure of the call itself is
// corvane.error(number, description); print failures stay results and events.
// Python's headers first: Qt's keyword macros (slots) would change them.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <corvane/ComServer.h>
#include <corvane/CorvaneObject.h>
#include <corvane/CreateObject.h>
#include <corvane/Dispatch.h>
#include <corvane/Enums.h>
#include <corvane/Errors.h>
#include <corvane/HtmlPrints.h>
#include <corvane/Threads.h>

#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <thread>
#include <vector>

namespace py = pybind11;
using corvane::RuntimeError;
using corvane::Variant;

namespace {

// corvane.error, set when the module is made.
py::object g_error;

[[noreturn]] void raise(const RuntimeError &error)
{
    PyErr_SetObject(g_error.ptr(), py::make_tuple(error.number(), corvane::toUtf8(error.description())).ptr());
    throw py::error_already_set();
}

// Runs work without the interpreter's lock and takes it back in the ordinary flow, never in a
// destructor: a thread that comes back while the interpreter is shutting down (a daemon thread at
// the end of the program) is ended by Python as it takes the lock, and that ending must unwind
// through frames that may be unwound (a destructor may not, and the process would abort).
template <typename Work> auto withoutLock(Work work) -> decltype(work())
{
    PyThreadState *state = PyEval_SaveThread();
    if constexpr (std::is_void_v<decltype(work())>) {
        try {
            work();
        } catch (...) {
            PyEval_RestoreThread(state);
            throw;
        }
        PyEval_RestoreThread(state);
    } else {
        std::optional<decltype(work())> result;
        try {
            result.emplace(work());
        } catch (...) {
            PyEval_RestoreThread(state);
            throw;
        }
        PyEval_RestoreThread(state);
        return std::move(*result);
    }
}

// Lists nest at most this deep (a list that holds itself would recurse for ever).
constexpr int kMaxNesting = 64;

Variant toVariant(const py::handle &value, int depth = 0)
{
    if (value.is_none())
        return {};
    if (py::isinstance<py::bool_>(value))
        return Variant::boolean(value.cast<bool>());
    if (py::isinstance<py::int_>(value)) {
        // Beyond 32 bits a number is a Double, as automation clients pass it; beyond a Double,
        // an overflow.
        const double n = PyLong_AsDouble(value.ptr());
        if (n == -1.0 && PyErr_Occurred()) {
            PyErr_Clear();
            raise(RuntimeError(corvane::err::Overflow));
        }
        if (n >= INT32_MIN && n <= INT32_MAX)
            return Variant::longValue(static_cast<int32_t>(value.cast<long long>()));
        return Variant::real(n);
    }
    if (py::isinstance<py::float_>(value))
        return Variant::real(value.cast<double>());
    if (py::isinstance<py::str>(value)) {
        // Text that is not Unicode (a lone surrogate) has no UTF-8: a type mismatch.
        Py_ssize_t size = 0;
        const char *utf8 = PyUnicode_AsUTF8AndSize(value.ptr(), &size);
        if (!utf8) {
            PyErr_Clear();
            raise(RuntimeError(corvane::err::TypeMismatch));
        }
        return Variant::string(corvane::fromUtf8(std::string_view(utf8, static_cast<size_t>(size))));
    }
    if (py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value)) {
        if (depth >= kMaxNesting)
            raise(RuntimeError(corvane::err::TypeMismatch));
        std::vector<Variant> elements;
        for (const py::handle item : value)
            elements.push_back(toVariant(item, depth + 1));
        return Variant::array(std::move(elements));
    }
    raise(RuntimeError(corvane::err::TypeMismatch));
}

py::object toPython(const Variant &value)
{
    switch (value.type()) {
    case Variant::Type::Empty: return py::none();
    case Variant::Type::Integer:
    case Variant::Type::Long: return py::int_(value.toLong());
    case Variant::Type::Boolean: return py::bool_(value.toBoolean());
    case Variant::Type::Double: return py::float_(value.toDouble());
    case Variant::Type::String: return py::str(corvane::toUtf8(value.toString()));
    case Variant::Type::Array: {
        py::list list;
        for (const Variant &element : value.elements())
            list.append(toPython(element));
        return list;
    }
    }
    return py::none();
}

QString qs(const std::string &text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// One object: the automation object and, with events, the handler that receives them.
class Object {
public:
    explicit Object(QObject *object)
        : m_object(object)
    {
    }
    ~Object()
    {
        py::gil_scoped_release release;
        m_object.reset();
    }

    QObject *get() const { return m_object.get(); }

    // self is the Python object holding this one: a method taken from it keeps it alive.
    static py::object attribute(const py::object &self, const std::string &name)
    {
        Object &object = self.cast<Object &>();
        try {
            switch (corvane::automation::memberKind(object.get(), qs(name))) {
            case corvane::automation::MemberKind::Property:
                return toPython(corvane::automation::getMember(object.get(), qs(name)));
            case corvane::automation::MemberKind::Method:
                return py::cpp_function([self, name](py::args args) { return self.cast<Object &>().call(name, args); });
            default: break;
            }
        } catch (const RuntimeError &e) {
            raise(e);
        }
        raise(RuntimeError(corvane::err::ObjectDoesNotSupport));
    }

    void setAttribute(const std::string &name, const py::object &value)
    {
        const Variant converted = toVariant(value);
        try {
            corvane::automation::putProperty(get(), qs(name), converted);
        } catch (const RuntimeError &e) {
            raise(e);
        }
    }

    py::object call(const std::string &name, const py::args &args)
    {
        std::vector<Variant> arguments;
        for (const py::handle arg : args)
            arguments.push_back(toVariant(arg));
        Variant result;
        try {
            // The job prints without the interpreter's lock, so other Python threads go on; the
            // event handlers take it back.
            result = withoutLock([&] { return corvane::automation::callMethod(get(), qs(name), arguments); });
        } catch (const RuntimeError &e) {
            raise(e);
        }
        return toPython(result);
    }

    void connectHandler(py::object handler)
    {
        m_handler = std::move(handler);
        auto *object = qobject_cast<corvane::automation::CorvaneObject *>(get());
        if (!object)
            return;
        const auto handle = [this](const char *method, py::tuple arguments) {
            py::gil_scoped_acquire acquire;
            if (!py::hasattr(m_handler, method))
                return;
            try {
                m_handler.attr(method)(*arguments);
            } catch (py::error_already_set &e) {
                e.discard_as_unraisable(method); // a handler's error does not end the job
            }
        };
        QObject::connect(object, &corvane::automation::CorvaneObject::PrintComplete, object,
                         [handle] { handle("OnPrintComplete", py::tuple()); });
        QObject::connect(object, &corvane::automation::CorvaneObject::PrintError, object,
                         [handle](QVariant &number, QVariant &description) {
                             py::gil_scoped_acquire acquire;
                             handle("OnPrintError",
                                    py::make_tuple(toPython(corvane::automation::fromQVariant(number)),
                                                   toPython(corvane::automation::fromQVariant(description))));
                         });
        QObject::connect(object, &corvane::automation::CorvaneObject::PrintProgress, object, [handle](QVariant &page) {
            py::gil_scoped_acquire acquire;
            handle("OnPrintProgress", py::make_tuple(toPython(corvane::automation::fromQVariant(page))));
        });
    }

    py::object handler() const { return m_handler ? m_handler : py::none(); }

private:
    std::unique_ptr<QObject> m_object;
    py::object m_handler;
};

std::unique_ptr<Object> create(const std::string &progId)
{
    try {
        py::gil_scoped_release release;
        // The class of the library this module is linked with, registered for the account on
        // first use when no record names a library that provides it.
        if (progId == corvane::kProgId && corvane::registrationFolder().size() > 0) {
            try {
                return std::make_unique<Object>(corvane::CreateObject(progId));
            } catch (const RuntimeError &) {
                if (DllRegisterServer() != corvane::S_Ok)
                    throw;
            }
        }
        return std::make_unique<Object>(corvane::CreateObject(progId));
    } catch (const RuntimeError &e) {
        raise(e);
    }
}

} // namespace

PYBIND11_MODULE(corvane, m)
{
    m.doc() = "Corvane objects for Python: Dispatch, DispatchWithEvents, PumpWaitingMessages, WaitForHtmlPrints.";
    g_error = py::reinterpret_steal<py::object>(PyErr_NewException("corvane.error", nullptr, nullptr));
    m.attr("error") = g_error;

    py::class_<Object>(m, "CorvaneDispatch", py::dynamic_attr())
        .def("__getattr__", &Object::attribute)
        .def("__setattr__", &Object::setAttribute)
        .def_property_readonly("_handler", &Object::handler);

    m.def("Dispatch", &create, py::arg("progId"), "Creates an object by its programmatic identifier.");
    m.def(
        "DispatchWithEvents",
        [](const std::string &progId, const py::object &handlerClass) {
            std::unique_ptr<Object> object = create(progId);
            object->connectHandler(handlerClass());
            return object;
        },
        py::arg("progId"), py::arg("handlerClass"),
        "Creates an object whose events go to a new instance of handlerClass (OnPrintComplete, "
        "OnPrintError(ErrNumber, ErrDescription), OnPrintProgress(PageNumber)).");
    m.def(
        "PumpWaitingMessages", [] { withoutLock([] { corvane::qt::waitForHtmlPrintsFor(0); }); },
        "Lets the thread's waiting messages through: raises the events that pages printed since have "
        "left for this thread's objects.");
    m.def(
        "WaitForHtmlPrints",
        [](double seconds) {
            // In short parts, so that a signal (Ctrl-C, SIGTERM) is handled within a moment.
            if (!(seconds >= 0) || seconds > 1e9)
                raise(RuntimeError(corvane::err::InvalidProcedureCall));
            const auto limit = static_cast<int64_t>(seconds * 1000);
            const auto start = std::chrono::steady_clock::now();
            for (;;) {
                const int64_t waited =
                    std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
                const bool done = withoutLock([&] {
                    if (waited < limit)
                        return corvane::qt::waitForHtmlPrintsFor(std::min<int64_t>(100, limit - waited));
                    // Time is up: what has not begun printing never will; a page being handed
                    // over ends as its printer says.
                    corvane::qt::cancelHtmlPrints(limit);
                    corvane::qt::waitForHtmlPrints(0);
                    return false;
                });
                if (waited >= limit)
                    return false;
                if (done)
                    return true;
                if (PyErr_CheckSignals() != 0)
                    throw py::error_already_set();
            }
        },
        py::arg("timeout"),
        "Waits until every HTML page this thread asked for has printed or failed. On time-out the pages "
        "that have not begun printing are cancelled (they never print, and raise PrintError) and the "
        "result is False.");
    m.def(
        "ReleaseThread", [] { withoutLock([] { corvane::resetThreadSurface(); }); },
        "Lets the calling thread's printer and hidden forms go.");
    for (const corvane::Enumeration &enumeration : corvane::enumerations())
        for (const corvane::Enumerator &enumerator : enumeration.enumerators)
            m.attr(std::string(enumerator.name).c_str()) = enumerator.value;
}
