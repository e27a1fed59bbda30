#pragma once

#include <QPushButton>
#include <QString>
#include <QStringList>

#include <functional>

#include "qwa.h"

class PtyLine;
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
    bool openOn(const PtyLine &line);
    // Opens the port afresh on a quiet line: what either end still holds is dropped.
    bool reopenOn(PtyLine &line);
    void closePort();
    // Clicks the push button of that object name (no-op and a warning if absent).
    void click(const char *objectName);
    // Sets the text of the line edit of that object name.
    void type(const char *objectName, const QString &text);
    // Selects the gateway address the unicast requests go to.
    void selectAddress(int address);

    // "field=text": puts the text into the line edit of that name, or selects the
    // item of that text in the combo box; false when there is no such field or item.
    bool put(const QString &assignment);
    // What the field named in "field=text" shows now.
    QString shown(const QString &assignment) const;
    // The text of "field=text".
    static QString valueOf(const QString &assignment);

    // The pulses seen while the action runs and for settleMs after it.
    int pulsesDuring(const std::function<void()> &action, int settleMs = 0);
};

QStringList itemTexts(const QComboBox *box);
// True when the transmit buffer holds nothing but zeros.
bool txFrameIsZero();

// A write-then-read-back table: the write button, its "field=text" inputs, what the
// gateway must then hold ("register=value ...", hexadecimal), the read button and
// what the fields must show after it (the inputs when readBack is null).
void addRoundTripColumns();
void addRoundTrip(const char *writeButton, const char *inputs, const char *stored, const char *readButton,
                  const char *readBack = nullptr);
