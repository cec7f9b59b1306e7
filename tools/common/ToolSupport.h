// What the command-line tool and the script host share: the application object, creation of
// the component (registering the library beside the program when no record exists), and
// values as text.
#pragma once

#include <corvane/Variant.h>

#include <QString>

#include <memory>

class QApplication;
class QObject;

namespace corvane::tools {

// A QApplication for printing; offscreen when there is no display.
std::unique_ptr<QApplication> makeApplication(int &argc, char **argv);

// Checks CORVANE_HTML_TIMEOUT: a whole number of seconds (default 60; 0 does not wait), any
// size. False, with the reason, for anything else; the tools refuse to start then.
bool checkHtmlTimeout(QString *why);

// Waits for the HTML pages requested in this process to print (CORVANE_HTML_TIMEOUT seconds)
// and reports each on standard error: printed, failed (with the error), cancelled, or still
// pending at the time-out. False when any failed or is still pending.
bool finishHtmlPrints();

// Ends the program with the status once its output is flushed: at once (_exit) when a page
// whose print never came back is still held by the browser engine, which would stop the
// process on the way out; else by returning the status.
int finish(int status);

// The component's library next to this program (../lib/libcorvane.so.6).
QString bundledLibrary();

// CreateObject("CorvaneCOM.Corvane"), registering the bundled library first when needed.
// RuntimeError 429 when the object cannot be created.
QObject *createObject(const QString &progId);

// A value given as text: an enumerator name gives its value, anything else stays text for the
// run-time's conversions.
Variant valueFromText(const QString &text);

// Text of a value; arrays give one element per line.
QString textOfValue(const Variant &value);

QString qs(const UString &text);
UString us(const QString &text);

} // namespace corvane::tools
