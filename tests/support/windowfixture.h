#pragma once

#include <QPushButton>
#include <QString>

#include "qwa.h"

class PtyLine;

// The window under test, with helpers to reach its widgets by object name.
class WindowFixture
{
public:
    WindowFixture();

    Qwa window;

    template <typename T>
    T *child(const char *objectName) const
    {
        return window.findChild<T *>(QString::fromLatin1(objectName));
    }

    // Puts the line's path into comchuankou and opens the port; true when open.
    bool openOn(const PtyLine &line);
    void closePort();
    // Clicks the push button of that object name (no-op and a warning if absent).
    void click(const char *objectName);
    // Sets the text of the line edit of that object name.
    void type(const char *objectName, const QString &text);
    // Selects the gateway address the unicast requests go to.
    void selectAddress(int address);
};
