// libFuzzer target: late binding on the automation object over the recording platform. Each
// input is a run of reads, writes, calls and name queries with random names (members of the
// class with their case scrambled, or arbitrary text) and random argument lists. Failures must
// be run-time errors and nothing else, and a write that fails leaves the property as it was.
#include <corvane/CorvaneObject.h>
#include <corvane/Dispatch.h>
#include "jobs/ThreadForms.h"
#include "platform/fake/RecordingSurface.h"

#include <corvane/Errors.h>

#include <QMetaObject>
#include <QMetaProperty>

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

using namespace corvane;

// Reads the input front to back; past its end every read gives zeros.
class Input {
public:
    Input(const uint8_t *data, size_t size)
        : m_data(data)
        , m_size(size)
    {
    }
    bool done() const { return m_at >= m_size; }
    uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    uint16_t word() { return static_cast<uint16_t>(byte() | (byte() << 8)); }
    uint32_t dword() { return word() | (static_cast<uint32_t>(word()) << 16); }
    QString text(size_t length)
    {
        QString s;
        for (size_t i = 0; i < length && !done(); ++i) {
            const uint8_t b = byte();
            s.append(QChar(b < 0x80 ? char16_t(b) : char16_t(b + 0x300)));
        }
        return s;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_at = 0;
};

std::vector<QString> memberNames()
{
    std::vector<QString> names;
    const QMetaObject &meta = automation::CorvaneObject::staticMetaObject;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i)
        names.push_back(QString::fromLatin1(meta.property(i).name()));
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i)
        names.push_back(QString::fromLatin1(meta.method(i).name()));
    return names;
}

QString name(Input &in, const std::vector<QString> &members)
{
    const uint8_t choice = in.byte();
    if (choice >= 0xC0)
        return in.text(choice & 0x3F);
    QString s = members[choice % members.size()];
    const uint8_t scramble = in.byte();
    for (qsizetype i = 0; i < s.size(); ++i)
        if (scramble & (1u << (i % 8)))
            s[i] = s[i].isUpper() ? s[i].toLower() : s[i].toUpper();
    return s;
}

Variant scalar(Input &in, uint8_t kind)
{
    switch (kind % 6) {
    case 0: return {};
    case 1: return Variant::integer(static_cast<int16_t>(in.word()));
    case 2: return Variant::longValue(static_cast<int32_t>(in.dword()));
    case 3: return Variant::boolean(in.byte() & 1);
    case 4: {
        const uint64_t bits = in.dword() | (static_cast<uint64_t>(in.dword()) << 32);
        double d;
        static_assert(sizeof d == sizeof bits);
        __builtin_memcpy(&d, &bits, sizeof d);
        return Variant::real(d);
    }
    default: {
        const QString s = in.text(in.byte());
        return Variant::string(UString(reinterpret_cast<const char16_t *>(s.utf16()), size_t(s.size())));
    }
    }
}

Variant argument(Input &in)
{
    const uint8_t kind = in.byte();
    if (kind % 7 != 6)
        return scalar(in, kind);
    std::vector<Variant> elements;
    for (int n = in.byte() % 4; n > 0; --n)
        elements.push_back(scalar(in, in.byte()));
    return Variant::array(std::move(elements));
}

} // namespace

// This build has no Qt platform: an object made by its default constructor (the meta-type
// system can make one) gets a recording platform of its own.
corvane::automation::CorvaneObject::CorvaneObject(QObject *parent)
    : CorvaneObject(*new fake::RecordingPlatform, parent)
{
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::vector<QString> members = memberNames();
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() / ("dispatch-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
        });
        return path;
    }();

    fake::RecordingPlatform platform;
    platform.folder = fromUtf8(folder.string());
    {
        automation::CorvaneObject object(platform);
        Input in(data, size);
        for (int step = 0; step < 32 && !in.done(); ++step) {
            const uint8_t op = in.byte() % 4;
            const QString member = name(in, members);
            try {
                switch (op) {
                case 0: automation::memberKind(&object, member); break;
                case 1: automation::getMember(&object, member); break;
                case 2: {
                    const Variant value = argument(in);
                    Variant before;
                    const bool isProperty = automation::memberKind(&object, member) == automation::MemberKind::Property;
                    if (isProperty)
                        before = automation::getMember(&object, member);
                    try {
                        automation::putProperty(&object, member, value);
                    } catch (const RuntimeError &) {
                        if (isProperty && !(automation::getMember(&object, member) == before))
                            __builtin_trap(); // a refused write changed the property
                        throw;
                    }
                    break;
                }
                default: {
                    std::vector<Variant> arguments;
                    for (int n = in.byte() % 6; n > 0; --n)
                        arguments.push_back(argument(in));
                    automation::callMethod(&object, member, arguments);
                    break;
                }
                }
            } catch (const RuntimeError &) {
                // The run-time error an automation caller would see.
            }
        }
    }
    resetThreadSurface();
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(folder, ec))
        std::filesystem::remove(entry.path(), ec);
    return 0;
}
