// The default constructor lives apart so that the adapter itself does not depend on the Qt
// platform: a build over the recording fakes links without it.
#include <corvane/CorvaneObject.h>

#include "platform/qt/QtPlatform.h"

namespace corvane::automation {

CorvaneObject::CorvaneObject(QObject *parent)
    : CorvaneObject(qt::qtPlatform(), parent)
{
}

} // namespace corvane::automation
