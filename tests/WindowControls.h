// Finds a control of a whole window by its objectName, so tests drive the
// window through what it shows rather than through its members.
#pragma once

#include <QObject>

// The child of `window` named `name` with type T. When there is none the
// test fails there and the program stops, rather than crashing later on a
// null pointer.
template <class T> T *control(const QObject &window, const char *name)
{
    T *found = window.findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no control named %s", name);
    return found;
}
