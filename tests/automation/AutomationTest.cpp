// The class as automation callers reach it: the meta-object as type information, late binding
// by name, events with writable arguments, creation by programmatic identifier.
#include "support/QtTestSupport.h"
#include "support/RunTimeErrors.h"

#include <corvane/CorvaneObject.h>
#include <corvane/Dispatch.h>
#include "automation/Registry.h"

#include <corvane/ComServer.h>
#include <corvane/CreateObject.h>
#include <corvane/Enums.h>
#include <corvane/Errors.h>

#include <QMetaEnum>
#include <QMetaProperty>
#include <QTemporaryDir>

#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtStrings.h"

#include <functional>
#include <utility>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane;
using corvane::testing::errorOf;
using namespace corvane::automation;

namespace {

Variant text(const char16_t *value) { return Variant::string(value); }

} // namespace

TEST(Automation, TypeInformationFollowsThePublishedOrder)
{
    const QMetaObject &meta = CorvaneObject::staticMetaObject;
    const QStringList properties{
        "DocTitleFont",    "DocTextFont",    "DocHeaderFont",    "DocFooterFont",   "PrintBorder", "LineBelowHeader",
        "LineAboveFooter", "DocTitle",       "DocText",          "DocHeader",       "DocFooter",   "FileName",
        "MarginLeft",      "MarginRight",    "MarginTop",        "MarginBottom",    "Copies",      "IncludeDateTime",
        "AllDataFromFile", "LineSpacing",    "PaperOrientation", "BorderLineWidth", "PaperSize",   "PrintQuality",
        "PaperBin",        "PrintPageNumber"};
    QStringList actual;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i)
        actual << QString::fromLatin1(meta.property(i).name());
    EXPECT_EQ(actual, properties);

    QStringList methods;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod m = meta.method(i);
        const QString name = QString::fromLatin1(m.name());
        if (m.methodType() == QMetaMethod::Method && !methods.contains(name))
            methods << name;
    }
    EXPECT_EQ(methods,
              QStringList({"PrintDoc", "GetPrinters", "SetPrinter", "PrintRTFData", "PrintRTFFile", "PrintTextFile",
                           "PrintText", "PrintHTMLDocument", "PrintHTMLDocFromSource", "PrintPDFFile", "About"}));

    // The enumerations carry the core's names and values in declaration order.
    const auto core = enumerations();
    ASSERT_EQ(meta.enumeratorCount() - meta.enumeratorOffset(), static_cast<int>(core.size()));
    for (size_t e = 0; e < core.size(); ++e) {
        const QMetaEnum qtEnum = meta.enumerator(meta.enumeratorOffset() + static_cast<int>(e));
        EXPECT_EQ(qtEnum.name(), QByteArray(core[e].name.data(), core[e].name.size()));
        ASSERT_EQ(qtEnum.keyCount(), static_cast<int>(core[e].enumerators.size()));
        for (int k = 0; k < qtEnum.keyCount(); ++k) {
            EXPECT_EQ(QByteArray(qtEnum.key(k)),
                      QByteArray(core[e].enumerators[k].name.data(), core[e].enumerators[k].name.size()));
            EXPECT_EQ(qtEnum.value(k), core[e].enumerators[k].value);
        }
    }
}

TEST(Automation, LateBindingByNameIgnoresCaseAndConvertsByTheRunTimeRules)
{
    CorvaneObject object;
    putProperty(&object, "marginleft", text(u"500"));
    EXPECT_EQ(object.MarginLeft(), 500);
    putProperty(&object, "MARGINTOP", Variant::longValue(199)); // ignored by the write check
    EXPECT_EQ(getMember(&object, "MarginTop"), Variant::integer(1440));
    putProperty(&object, "PaperSize", Variant::longValue(9));
    EXPECT_EQ(getMember(&object, "papersize"), Variant::longValue(9));
    putProperty(&object, "PrintBorder", text(u"True"));
    EXPECT_EQ(getMember(&object, "PrintBorder"), Variant::boolean(true));
    putProperty(&object, "DocTitle", Variant::real(2.5));
    EXPECT_EQ(getMember(&object, "DocTitle"), text(u"2.5"));
    putProperty(&object, "PaperOrientation", Variant::longValue(5)); // stored unchanged
    EXPECT_EQ(getMember(&object, "PaperOrientation"), Variant::longValue(5));
    putProperty(&object, "MarginRight", text(u"  720.5 "));
    EXPECT_EQ(object.MarginRight(), 720);

    EXPECT_EQ(errorOf([&] { putProperty(&object, "NoSuchThing", text(u"1")); }), err::ObjectDoesNotSupport);
    EXPECT_EQ(errorOf([&] { getMember(&object, "NoSuchThing"); }), err::ObjectDoesNotSupport);
    EXPECT_EQ(errorOf([&] { putProperty(&object, "MarginLeft", text(u"wide")); }), err::TypeMismatch);
    EXPECT_EQ(errorOf([&] { putProperty(&object, "Copies", Variant::longValue(40000)); }), err::Overflow);
    EXPECT_EQ(errorOf([&] { putProperty(&object, "DocText", Variant::array({})); }), err::TypeMismatch);
    EXPECT_EQ(object.MarginLeft(), 500);
}

TEST(Automation, MethodsTakeOptionalAndByReferenceArguments)
{
    CorvaneObject object;
    std::vector<Variant> args{Variant()};
    const Variant names = callMethod(&object, "getprinters", args);
    ASSERT_EQ(args[0].type(), Variant::Type::Integer);
    EXPECT_EQ(static_cast<size_t>(args[0].toInteger()), names.elements().size());
    EXPECT_EQ(names.elements().back(), text(u"Corvane PDF"));

    std::vector<Variant> none;
    EXPECT_EQ(callMethod(&object, "GetPrinters", none).elements().size(), names.elements().size());
    EXPECT_EQ(errorOf([&] { callMethod(&object, "SetPrinter", none); }), err::ArgumentNotOptional);
    std::vector<Variant> tooMany(12, Variant::longValue(1));
    EXPECT_EQ(errorOf([&] { callMethod(&object, "PrintText", tooMany); }), err::WrongNumberOfArguments);
    std::vector<Variant> badMargin{text(u"x"), text(u""), text(u"left")};
    EXPECT_EQ(errorOf([&] { callMethod(&object, "PrintText", badMargin); }), err::TypeMismatch);
    std::vector<Variant> nothing;
    EXPECT_EQ(errorOf([&] { callMethod(&object, "Fly", nothing); }), err::ObjectDoesNotSupport);
}

TEST(Automation, ACppHandlerWritesIntoEventArgumentsAndTheCoreSeesIt)
{
    CorvaneObject object;
    QObject::connect(&object, &CorvaneObject::PrintError, [](QVariant &number, QVariant &description) {
        number = 99;
        description = QStringLiteral("rewritten");
    });
    struct After : EventSink {
        Variant number, description;
        void PrintError(Variant &n, Variant &d) override { number = n, description = d; }
    } after;
    object.core().subscribe(&after);
    object.PrintTextFile(QStringLiteral("/nonexistent/x.txt"));
    EXPECT_EQ(after.number.toLong(), 99);
    EXPECT_EQ(after.description, text(u"rewritten"));
}

TEST(Automation, RegistrationRoundTripAndCreationByProgrammaticIdentifier)
{
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    EXPECT_EQ(errorOf([] { delete CreateObject(kProgId); }), err::CannotCreateObject);

    ASSERT_EQ(DllRegisterServer(), S_Ok);
    const auto record = registry::read(kProgId);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->at("CLSID"), guidText(CLSID_Corvane));
    EXPECT_EQ(record->at("TypeLibVersion"), "6.0");
    EXPECT_EQ(record->at("ThreadingModel"), "Apartment");
    // The versioned library, as a system without the development files has it.
    EXPECT_TRUE(QFileInfo(QString::fromStdString(record->at("InprocServer32"))).fileName()
                == QStringLiteral("libcorvane.so.6"));

    EXPECT_EQ(DllCanUnloadNow(), S_Ok);
    QObject *created = CreateObject(kProgId);
    ASSERT_NE(qobject_cast<CorvaneObject *>(created), nullptr);
    EXPECT_EQ(DllCanUnloadNow(), S_False);
    delete created;
    EXPECT_EQ(DllCanUnloadNow(), S_Ok);

    // The class factory answers only for its class and interfaces.
    void *factory = nullptr;
    EXPECT_EQ(DllGetClassObject(&IID__Corvane, &IID_IClassFactory, &factory), Class_E_ClassNotAvailable);
    ASSERT_EQ(DllGetClassObject(&CLSID_Corvane, &IID_IClassFactory, &factory), S_Ok);
    void *object = nullptr;
    EXPECT_EQ(static_cast<ClassFactory *>(factory)->CreateInstance(nullptr, &IID_IClassFactory, &object), E_NoInterface);
    EXPECT_EQ(object, nullptr);

    EXPECT_EQ(errorOf([] { delete CreateObject("CorvaneCOM.Nothing"); }), err::CannotCreateObject);
    EXPECT_EQ(errorOf([] { delete CreateObject("../../etc/passwd"); }), err::CannotCreateObject);
    ASSERT_EQ(DllUnregisterServer(), S_Ok);
    EXPECT_FALSE(registry::read(kProgId).has_value());
    EXPECT_EQ(errorOf([] { delete CreateObject(kProgId); }), err::CannotCreateObject);
    qunsetenv("XDG_DATA_HOME");
}

namespace {

QString recordFile(const QString &data)
{
    return data + QStringLiteral("/corvane/registry/") + QString::fromLatin1(kProgId) + QStringLiteral(".reg");
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

} // namespace

TEST(Automation, OnlyTheUsersOwnRecordsAreTrustedAndLinksAreNeverFollowed)
{
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    ASSERT_EQ(DllRegisterServer(), S_Ok);
    const QString path = recordFile(data.path());
    const QByteArray name = QFile::encodeName(path);
    ASSERT_TRUE(registry::read(kProgId).has_value());

    // Writable by others: not read.
    ::chmod(name.constData(), 0666);
    EXPECT_FALSE(registry::read(kProgId).has_value());
    ::chmod(name.constData(), 0644);
    ASSERT_TRUE(registry::read(kProgId).has_value());
    // Another user's: not read (root can hand it over to test this).
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(name.constData(), 65534, 65534), 0);
        EXPECT_FALSE(registry::read(kProgId).has_value());
        EXPECT_EQ(errorOf([] { delete CreateObject(kProgId); }), err::CannotCreateObject);
    }

    // A link in the record's place is neither read nor written through.
    const QString victim = data.filePath(QStringLiteral("precious.txt"));
    {
        QFile file(victim);
        file.open(QIODevice::WriteOnly);
        file.write("InprocServer32=/nonexistent\nCLSID=x\n");
    }
    QFile::remove(path);
    ASSERT_TRUE(QFile::link(victim, path));
    EXPECT_FALSE(registry::read(kProgId).has_value());
    ASSERT_EQ(DllRegisterServer(), S_Ok);
    EXPECT_EQ(contentOf(victim), QByteArray("InprocServer32=/nonexistent\nCLSID=x\n"));
    EXPECT_FALSE(QFileInfo(path).isSymLink());
    EXPECT_TRUE(registry::read(kProgId).has_value());
    EXPECT_TRUE(QDir(QFileInfo(path).path()).entryList(QDir::Files).size() == 1); // no half-written leftovers
    qunsetenv("XDG_DATA_HOME");
}

TEST(Automation, WithoutAHomeRecordsGoToTheAccountsHomeNeverASharedFolder)
{
    const QByteArray home = qgetenv("HOME"), data = qgetenv("XDG_DATA_HOME");
    qunsetenv("HOME");
    qunsetenv("XDG_DATA_HOME");
    const std::string folder = registry::folder().string();
    qputenv("HOME", home);
    if (!data.isEmpty())
        qputenv("XDG_DATA_HOME", data);
    const passwd *account = ::getpwuid(::geteuid());
    ASSERT_NE(account, nullptr);
    EXPECT_EQ(folder, std::string(account->pw_dir) + "/.local/share/corvane/registry");
    EXPECT_EQ(folder.rfind("/tmp", 0), std::string::npos);
    // A relative value is no home either.
    qputenv("XDG_DATA_HOME", "relative");
    qputenv("HOME", "also-relative");
    EXPECT_EQ(registry::folder().string(), std::string(account->pw_dir) + "/.local/share/corvane/registry");
    qputenv("HOME", home);
    if (!data.isEmpty())
        qputenv("XDG_DATA_HOME", data);
    else
        qunsetenv("XDG_DATA_HOME");
}

TEST(Automation, ARecordNamingSomethingElseIsWrittenAnew)
{
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const std::string library = toUtf8(qt::libraryPath());
    ASSERT_EQ(DllRegisterServer(), S_Ok);
    registry::Record record = *registry::read(kProgId);
    const std::string clsid = record.at("CLSID");
    for (const char *other : {"/etc/hostname", "/", "/lib/x86_64-linux-gnu/libm.so.6"}) {
        record["InprocServer32"] = other;
        ASSERT_TRUE(registry::write(kProgId, record));
        EXPECT_TRUE(ensureRegistered(kProgId, library)) << other;
        EXPECT_EQ(registry::read(kProgId)->at("InprocServer32"), library) << other;
        QObject *created = CreateObject(kProgId);
        EXPECT_NE(qobject_cast<CorvaneObject *>(created), nullptr) << other;
        delete created;
    }
    qunsetenv("XDG_DATA_HOME");
}

// A record for every account is read after the user's own, from the folders of XDG_DATA_DIRS in
// order, under the same rules: a regular file of root's or the user's that no one else may write.
TEST(Automation, RecordsForEveryAccountAreReadAfterTheUsersOwnInOrder)
{
    QTemporaryDir root;
    const std::string first = (root.path() + QStringLiteral("/first")).toStdString();
    const std::string second = (root.path() + QStringLiteral("/second")).toStdString();
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.path() + QStringLiteral("/user")));
    qputenv("XDG_DATA_DIRS", QByteArray::fromStdString(first + ":relative/ignored:" + second));
    const auto library = [] { return registry::read(kProgId).value_or(registry::Record{})["InprocServer32"]; };

    EXPECT_FALSE(registerForEveryAccount("relative/share", "/opt/a/libcorvane.so.6"));
    EXPECT_FALSE(registerForEveryAccount(second, "libcorvane.so.6"));
    // A line break would add a line of its own to the record (another library to load).
    EXPECT_FALSE(registerForEveryAccount(second, "/opt/a/libcorvane.so.6\nInprocServer32=/tmp/other.so"));
    EXPECT_FALSE(registerForEveryAccount(second, "/opt/a/libcorvane.so.6\rProgID=Other"));
    EXPECT_FALSE(registry::read(kProgId).has_value());
    ASSERT_TRUE(registerForEveryAccount(second, "/opt/second/libcorvane.so.6"));
    EXPECT_EQ(library(), "/opt/second/libcorvane.so.6");
    ASSERT_TRUE(registerForEveryAccount(first, "/opt/first/libcorvane.so.6"));
    EXPECT_EQ(library(), "/opt/first/libcorvane.so.6");

    // Another account's record, or one that others may write, is passed over.
    const std::string firstRecord = first + "/corvane/registry/CorvaneCOM.Corvane.reg";
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(firstRecord.c_str(), 65534, 65534), 0);
        EXPECT_EQ(library(), "/opt/second/libcorvane.so.6");
        ASSERT_EQ(::chown(firstRecord.c_str(), 0, 0), 0);
    }
    ASSERT_EQ(::chmod(firstRecord.c_str(), 0666), 0);
    EXPECT_EQ(library(), "/opt/second/libcorvane.so.6");

    // The user's own record comes first.
    ASSERT_EQ(DllRegisterServer(), S_Ok);
    EXPECT_EQ(library(), toUtf8(qt::libraryPath()));
    qunsetenv("XDG_DATA_DIRS");
    qunsetenv("XDG_DATA_HOME");
}

namespace {

// The run-time error a call raises, with its description; 0 and nothing when it raises none.
std::pair<int, std::string> failureOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const RuntimeError &e) {
        return {e.number(), toUtf8(e.description())};
    }
    return {0, {}};
}

// A copy of the library at folder/libcorvane.so.6 with the given mode.
std::string copyLibrary(const QString &folder, QFileDevice::Permissions permissions)
{
    QDir().mkpath(folder);
    const QString copy = folder + QStringLiteral("/libcorvane.so.6");
    if (!QFile::copy(QFileInfo(qt::qs(qt::libraryPath())).canonicalFilePath(), copy)
        || !QFile::setPermissions(copy, permissions))
        return {};
    return QFile::encodeName(copy).toStdString();
}

} // namespace

// The library a record names is held to the record's rule before it is loaded: a regular file of
// the user's or root's that no one else may write, in folders no one else may write (a sticky
// folder of root's such as /tmp above it excepted). A refused library is error 429, naming it.
TEST(Automation, ARecordsLibraryIsLoadedOnlyWhenNoOneElseCanChangeIt)
{
    QTemporaryDir root; // in /tmp: a sticky folder of root's above every case
    ASSERT_TRUE(root.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.path() + QStringLiteral("/data")));
    ASSERT_EQ(DllRegisterServer(), S_Ok);
    registry::Record record = *registry::read(kProgId);
    const auto createWith = [&](const std::string &library) {
        record["InprocServer32"] = library;
        EXPECT_TRUE(registry::write(kProgId, record));
        return failureOf([] { delete CreateObject(kProgId); });
    };
    const auto refused = [](const std::string &why) {
        return std::pair<int, std::string>{err::CannotCreateObject, "ActiveX component can't create object: " + why};
    };
    const QFileDevice::Permissions readable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                            | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                            | QFileDevice::ExeOther;
    const std::string folder = QFile::encodeName(root.path()).toStdString();

    // Writable by anyone.
    const std::string open = copyLibrary(root.path() + QStringLiteral("/open"),
                                         readable | QFileDevice::WriteGroup | QFileDevice::WriteOther);
    ASSERT_FALSE(open.empty());
    EXPECT_EQ(createWith(open), refused("the library " + open + " may be written by others (mode 0777)"));

    // In a folder anyone may write, or below one.
    const std::string wide = copyLibrary(root.path() + QStringLiteral("/wide"), readable);
    ASSERT_EQ(::chmod((folder + "/wide").c_str(), 0777), 0);
    EXPECT_EQ(createWith(wide), refused("the library " + wide + " is in the folder " + folder
                                        + "/wide, which may be written by others (mode 0777)"));
    const std::string deep = copyLibrary(root.path() + QStringLiteral("/wide/deep"), readable);
    EXPECT_EQ(createWith(deep), refused("the library " + deep + " is in the folder " + folder
                                        + "/wide, which may be written by others (mode 0777)"));

    // Another user's (root can hand it over to test this).
    if (::geteuid() == 0) {
        const std::string theirs = copyLibrary(root.path() + QStringLiteral("/theirs"), readable);
        ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
        EXPECT_EQ(createWith(theirs), refused("the library " + theirs + " is owned by another user (uid 65534)"));
    }

    // A name the loader would look for along its search path.
    EXPECT_EQ(createWith("libcorvane.so.6"), refused("the library \"libcorvane.so.6\" is not named by an absolute path"));

    // A link is judged by what it leads to: here the copy anyone may write.
    const std::string link = folder + "/link.so";
    ASSERT_EQ(::symlink(open.c_str(), link.c_str()), 0);
    EXPECT_EQ(createWith(link), refused("the library " + link + " (" + open + ") may be written by others (mode 0777)"));

    // A record naming a refused library counts as none: the tools' registration replaces it.
    record["InprocServer32"] = open;
    ASSERT_TRUE(registry::write(kProgId, record));
    EXPECT_TRUE(ensureRegistered(kProgId, toUtf8(qt::libraryPath())));
    EXPECT_EQ(registry::read(kProgId)->at("InprocServer32"), toUtf8(qt::libraryPath()));

    // A sound copy (another install of the component) makes the object, from the copy this
    // process holds: a second copy is never loaded beside it.
    const std::string good = copyLibrary(root.path() + QStringLiteral("/good"), readable);
    EXPECT_EQ(createWith(good), (std::pair<int, std::string>{0, {}}));
    QFile maps(QStringLiteral("/proc/self/maps"));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    EXPECT_FALSE(maps.readAll().contains(QByteArray::fromStdString(good)));

    // Nothing registered: the records looked for are named.
    ASSERT_TRUE(registry::remove(kProgId));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(root.path() + QStringLiteral("/shared")));
    EXPECT_EQ(failureOf([] { delete CreateObject(kProgId); }),
              refused("CorvaneCOM.Corvane is not registered (no usable record among " + folder
                      + "/data/corvane/registry/CorvaneCOM.Corvane.reg, " + folder
                      + "/shared/corvane/registry/CorvaneCOM.Corvane.reg)"));
    qunsetenv("XDG_DATA_DIRS");
    qunsetenv("XDG_DATA_HOME");
}
