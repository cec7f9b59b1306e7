// corvane: sets properties and calls methods of one Corvane object from the command line.
#include "../common/ToolSupport.h"

#include <corvane/Threads.h>

#include <corvane/CorvaneObject.h>
#include <corvane/Dispatch.h>

#include <corvane/ComServer.h>
#include <corvane/CreateObject.h>
#include <corvane/Errors.h>

#include <QApplication>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

#include <unistd.h>

using namespace corvane;
using namespace corvane::automation;
using namespace corvane::tools;

namespace {

const char kHelp[] = R"(Usage: corvane [ARGUMENT]...
       corvane --help | --version
       corvane --register-for-every-account DATA_FOLDER LIBRARY

Arguments are taken left to right:
  Name=Value        sets a property (enumerator names such as spPaperA4 stand for their values)
  Name              prints the value of a property
  Method [ARG]...   calls a method with the arguments up to "--" or the end

Events are written to standard error, one line each:
  PrintProgress 3
  PrintComplete
  PrintError -1 File Not Found!
A method's result, when it is not Empty, goes to standard output (an array one element a line).

Exit status: 0 on success, 1 when any PrintError was raised (or an HTML page failed or did not
print in time), 2 for a usage error.

HTML printing finishes after the methods return: the tool waits until every requested page has
printed or failed, or CORVANE_HTML_TIMEOUT seconds (a whole number, default 60) have passed, and
reports each page: printed, failed (with the error), or still pending.

Examples:
  corvane GetPrinters
  corvane SetPrinter "Corvane PDF" -- DocTitle="Report" FileName=report.txt PrintPageNumber=True PrintDoc
  corvane PaperSize=spPaperA4 MarginLeft=720 DocText="Hello" PrintDoc -- MarginLeft
  corvane PrintText "Hello, world" "Courier New,12,0,0,0"

The built-in printer "Corvane PDF" writes each job as a new PDF file into $CORVANE_PDF_DIR
(default: ~/Corvane PDF).
)";

// 0 once standard output holds what was written to it; else 1, said on standard error.
int flushedOutput()
{
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return 0;
    std::fprintf(stderr, "corvane: standard output: %s\n", std::strerror(errno));
    return 1;
}

int usageError(const QString &message)
{
    std::fprintf(stderr, "corvane: %s\nTry 'corvane --help'.\n", message.toLocal8Bit().constData());
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--help") == 0 || qstrcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return flushedOutput();
        }
        if (qstrcmp(argv[i], "--register-for-every-account") == 0) {
            // For packages: the record names LIBRARY as it will be installed, and goes to
            // DATA_FOLDER/corvane/registry (DATA_FOLDER is /usr/share, say, or its staging copy).
            if (argc != 4 || i != 1 || argv[2][0] == 0 || argv[3][0] == 0) {
                std::fprintf(stderr, "Usage: corvane --register-for-every-account DATA_FOLDER LIBRARY\n");
                return 2;
            }
            if (!registerForEveryAccount(argv[2], argv[3])) {
                std::fprintf(stderr, "corvane: %s could not be registered in %s/corvane/registry\n", argv[3], argv[2]);
                return 1;
            }
            return 0;
        }
        if (qstrcmp(argv[i], "--version") == 0) {
            std::printf("corvane %d.%d\n", CORVANE_VERSION_MAJOR, CORVANE_VERSION_MINOR);
            return flushedOutput();
        }
    }
    // A reader of standard output that goes away makes writes fail (reported at the end),
    // rather than ending the program unannounced.
    std::signal(SIGPIPE, SIG_IGN);
    auto app = makeApplication(argc, argv);
    const QStringList args = app->arguments().mid(1);
    if (args.isEmpty())
        return usageError(QStringLiteral("nothing to do"));
    if (QString why; !checkHtmlTimeout(&why))
        return usageError(why);

    std::unique_ptr<QObject> object;
    try {
        object.reset(createObject(QString::fromLatin1(kProgId)));
    } catch (const RuntimeError &e) {
        std::fprintf(stderr, "corvane: %s\n", e.what());
        return 1;
    }

    bool printErrorRaised = false;
    // On a terminal a job's progress is one line that updates; elsewhere (a log, a pipe) every
    // event is a line of its own.
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    bool progressShown = false;
    const auto endProgress = [&] {
        if (progressShown)
            std::fputc('\n', stderr);
        progressShown = false;
    };
    if (auto *corvane = qobject_cast<CorvaneObject *>(object.get())) {
        QObject::connect(corvane, &CorvaneObject::PrintComplete, [&] {
            endProgress();
            std::fprintf(stderr, "PrintComplete\n");
        });
        QObject::connect(corvane, &CorvaneObject::PrintProgress, [&](QVariant &page) {
            const QByteArray text = page.toString().toLocal8Bit();
            if (terminal) {
                std::fprintf(stderr, "\rPrintProgress %s", text.constData());
                std::fflush(stderr);
                progressShown = true;
            } else {
                std::fprintf(stderr, "PrintProgress %s\n", text.constData());
            }
        });
        QObject::connect(corvane, &CorvaneObject::PrintError, [&](QVariant &number, QVariant &description) {
            printErrorRaised = true;
            endProgress();
            std::fprintf(stderr, "PrintError %s %s\n", number.toString().toLocal8Bit().constData(),
                         description.toString().toLocal8Bit().constData());
        });
    }

    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--"))
            continue;
        try {
            const int equals = arg.indexOf(QLatin1Char('='));
            if (equals > 0) {
                const QString name = arg.left(equals);
                if (memberKind(object.get(), name) != MemberKind::Property)
                    return usageError(QStringLiteral("'%1' is not a property").arg(name));
                putProperty(object.get(), name, valueFromText(arg.mid(equals + 1)));
                continue;
            }
            Variant result;
            switch (memberKind(object.get(), arg)) {
            case MemberKind::Property:
                result = getMember(object.get(), arg);
                std::printf("%s\n", textOfValue(result).toLocal8Bit().constData());
                continue;
            case MemberKind::Method: {
                std::vector<Variant> methodArgs;
                while (i + 1 < args.size() && args[i + 1] != QLatin1String("--"))
                    methodArgs.push_back(valueFromText(args[++i]));
                result = callMethod(object.get(), arg, methodArgs);
                if (!result.isEmpty())
                    std::printf("%s\n", textOfValue(result).toLocal8Bit().constData());
                std::fflush(stdout);
                continue;
            }
            default: return usageError(QStringLiteral("unknown name '%1'").arg(arg));
            }
        } catch (const RuntimeError &e) {
            return usageError(QStringLiteral("%1: %2").arg(arg, QString::fromUtf8(e.what())));
        }
    }
    const bool printed = finishHtmlPrints();
    object.reset();
    resetThreadSurface(); // this thread's printer and hidden forms go before the application
    // Results that did not reach standard output (a full disk, a closed pipe) are a failure.
    if (flushedOutput() != 0)
        return finish(1);
    return finish(printErrorRaised || !printed ? 1 : 0);
}
