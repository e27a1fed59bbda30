#pragma once

#include <QString>
#include <QStringList>

#include <functional>

#include "qwa.h"

class QComboBox;

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

    // Puts the path into comchuankou and opens the port; true when open.
    bool openOn(const QString &path);
    // Clicks the button of that object name; click() does nothing while it is disabled.
    void click(const char *objectName);
    // Sets the text of the line edit of that object name.
    void type(const char *objectName, const QString &text);
    // Makes the address the only one listed, so the unicast requests go there.
    void selectAddress(int address);

    // "field=text": puts the text into the line edit of that name, selects the item
    // of that text in the combo box (none for an empty text), or clicks the radio button; false when there
    // is no such field or item.
    bool put(const QString &assignment);
    // What the field named in "field=text" shows now.
    QString shown(const QString &assignment) const;
    static QString valueOf(const QString &assignment) { return assignment.section(QLatin1Char('='), 1); }

    // The progress pulses (the bar run up to 247) seen while the action runs and
    // for settleMs after it, or until `enough` of them are seen.
    int pulsesDuring(const std::function<void()> &action, int settleMs = 0, int enough = 0);
};

QStringList itemTexts(const QComboBox *box);
// True when the transmit buffer holds nothing but zeros.
bool txFrameIsZero();
