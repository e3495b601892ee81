#pragma once

#include <QString>
#include <QWidget>
#include <QtGlobal>

namespace tarnwick::ui::testing {

// A widget of the windows by its object name; a missing one ends the test program.
template <class W>
W* Find(QWidget& root, const char* name)
{
    W* widget = root.findChild<W*>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no widget %s", name);
    return widget;
}

} // namespace tarnwick::ui::testing
