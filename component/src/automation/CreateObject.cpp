#include <corvane/ComServer.h>
#include <corvane/CreateObject.h>
#include <corvane/Errors.h>
#include <corvane/UString.h>

#include "Registry.h"

#include <QObject>

#include <algorithm>
#include <dlfcn.h>
#include <iterator>
#include <filesystem>

namespace corvane {

namespace {

using GetClassObject = HResult (*)(const Guid *, const Guid *, void **);
using RegisterServer = HResult (*)();

bool parseGuid(const std::string &text, Guid &guid)
{
    unsigned d1, d2, d3, b[8];
    if (std::sscanf(text.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &d1, &d2, &d3, &b[0], &b[1], &b[2], &b[3],
                    &b[4], &b[5], &b[6], &b[7])
        != 11)
        return false;
    guid.Data1 = d1;
    guid.Data2 = static_cast<uint16_t>(d2);
    guid.Data3 = static_cast<uint16_t>(d3);
    for (int i = 0; i < 8; ++i)
        guid.Data4[i] = static_cast<uint8_t>(b[i]);
    return true;
}

[[noreturn]] void cannotCreate() { throw RuntimeError(err::CannotCreateObject); }

// Where the records of a programmatic identifier are looked for, in order, for a message.
std::string recordsLookedFor(const std::string &progId)
{
    std::string places;
    const auto add = [&](const std::filesystem::path &folder) {
        places += (places.empty() ? "" : ", ") + (folder / (progId + ".reg")).string();
    };
    if (!registry::folder().empty())
        add(registry::folder());
    for (const auto &shared : registry::sharedFolders())
        add(shared);
    return places;
}

bool sameGuid(const Guid &a, const Guid &b)
{
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3
        && std::equal(std::begin(a.Data4), std::end(a.Data4), std::begin(b.Data4));
}

// An object of the class from a library's class factory.
QObject *createWith(GetClassObject getClassObject, const Guid &clsid)
{
    void *factory = nullptr;
    if (getClassObject(&clsid, &IID_IClassFactory, &factory) != S_Ok || !factory)
        cannotCreate();
    void *object = nullptr;
    if (static_cast<ClassFactory *>(factory)->CreateInstance(nullptr, &IID_IDispatch, &object) != S_Ok || !object)
        cannotCreate();
    return static_cast<QObject *>(object);
}

} // namespace

QObject *CreateObject(const std::string &progId)
{
    const auto record = registry::read(progId);
    if (!record) {
        const std::string looked = recordsLookedFor(progId);
        if (registry::folder().empty())
            throw RuntimeError(err::CannotCreateObject, u"ActiveX component can't create object: " + fromUtf8(progId)
                                                            + u" is not registered for every account (looked for "
                                                            + fromUtf8(looked.empty() ? "no record folder" : looked)
                                                            + u"), and the account has no home folder");
        throw RuntimeError(err::CannotCreateObject, u"ActiveX component can't create object: " + fromUtf8(progId)
                                                        + u" is not registered (no usable record among "
                                                        + fromUtf8(looked) + u")");
    }
    const auto path = record->find("InprocServer32");
    const auto clsidText = record->find("CLSID");
    Guid clsid{};
    if (path == record->end() || clsidText == record->end() || !parseGuid(clsidText->second, clsid))
        cannotCreate();
    // The library is held to the record's rule: whoever may change it, or put another file in its
    // place, would run code in this process.
    const registry::LibraryCheck check = registry::checkLibrary(path->second);
    if (!check.refusal.empty())
        throw RuntimeError(err::CannotCreateObject, u"ActiveX component can't create object: " + fromUtf8(check.refusal));
    // The component's own class comes from the copy this process holds, whichever copy the
    // record names, so that one process never has two copies of the component (whose pages and
    // events would not know of each other).
    if (sameGuid(clsid, CLSID_Corvane))
        return createWith(DllGetClassObject, clsid);
    // The library stays loaded for the life of the process, as in-process servers do.
    void *library = dlopen(check.path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!library)
        cannotCreate();
    auto getClassObject = reinterpret_cast<GetClassObject>(dlsym(library, "DllGetClassObject"));
    if (!getClassObject)
        cannotCreate();
    return createWith(getClassObject, clsid);
}

bool registerServer(const std::string &libraryPath)
{
    void *library = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!library)
        return false;
    auto reg = reinterpret_cast<RegisterServer>(dlsym(library, "DllRegisterServer"));
    return reg && reg() == S_Ok;
}

namespace {
// Whether the library a record names provides the record's class.
bool providesClass(const registry::Record &record)
{
    const auto path = record.find("InprocServer32");
    const auto clsidText = record.find("CLSID");
    Guid clsid{};
    if (path == record.end() || clsidText == record.end() || !parseGuid(clsidText->second, clsid))
        return false;
    // A library CreateObject would refuse is not the class either: the record is written anew.
    const registry::LibraryCheck check = registry::checkLibrary(path->second);
    if (!check.refusal.empty())
        return false;
    void *library = dlopen(check.path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!library)
        return false;
    auto getClassObject = reinterpret_cast<GetClassObject>(dlsym(library, "DllGetClassObject"));
    void *factory = nullptr;
    return getClassObject && getClassObject(&clsid, &IID_IClassFactory, &factory) == S_Ok && factory;
}
} // namespace

bool ensureRegistered(const std::string &progId, const std::string &libraryPath)
{
    // A record naming something that is not the class (a file gone, another library, a folder)
    // is written anew.
    const auto record = registry::read(progId);
    if (record && providesClass(*record))
        return true;
    return registerServer(libraryPath);
}

std::string registrationFolder() { return registry::folder().string(); }

} // namespace corvane
