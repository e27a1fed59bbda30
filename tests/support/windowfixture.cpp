#include "windowfixture.h"

#include <QTest>

#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

#include "ptyline.h"
#include "pulsecounter.h"
#include "transmit.h"

WindowFixture::WindowFixture()
{
    window.show();
}

bool WindowFixture::openOn(const QString &path)
{
    if (window.isPortOpen())
        closePort();
    auto *ports = child<QComboBox>("comchuankou");
    ports->addItem(path);
    ports->setCurrentIndex(ports->count() - 1);
    click("Btodakai");
    return window.isPortOpen();
}

bool WindowFixture::openOn(const PtyLine &line)
{
    return openOn(line.path());
}

bool WindowFixture::reopenOn(PtyLine &line)
{
    line.drain();
    window.port().readAll();
    closePort();
    return openOn(line);
}

void WindowFixture::closePort()
{
    if (window.isPortOpen())
        click("Btodakai");
}

void WindowFixture::click(const char *objectName)
{
    auto *button = child<QAbstractButton>(objectName);
    if (!button) {
        qWarning("no button named %s", objectName);
        return;
    }
    // click() works on buttons of hidden pages too, and does nothing when disabled.
    button->click();
}

void WindowFixture::type(const char *objectName, const QString &text)
{
    auto *edit = child<QLineEdit>(objectName);
    if (!edit) {
        qWarning("no line edit named %s", objectName);
        return;
    }
    edit->setText(text);
}

void WindowFixture::selectAddress(int address)
{
    auto *addresses = child<QComboBox>("comdizhi");
    addresses->clear();
    addresses->addItem(QString::number(address));
}

static QString fieldOf(const QString &assignment)
{
    return assignment.section(QLatin1Char('='), 0, 0);
}

QString WindowFixture::valueOf(const QString &assignment)
{
    return assignment.section(QLatin1Char('='), 1);
}

bool WindowFixture::put(const QString &assignment)
{
    QWidget *widget = window.findChild<QWidget *>(fieldOf(assignment));
    if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
        edit->setText(valueOf(assignment));
        return true;
    }
    if (auto *box = qobject_cast<QComboBox *>(widget)) {
        box->setCurrentIndex(box->findText(valueOf(assignment)));
        return box->currentIndex() >= 0;
    }
    return false;
}

QString WindowFixture::shown(const QString &assignment) const
{
    QWidget *widget = window.findChild<QWidget *>(fieldOf(assignment));
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        return edit->text();
    if (auto *box = qobject_cast<QComboBox *>(widget))
        return box->currentText();
    return QStringLiteral("<no such field>");
}

int WindowFixture::pulsesDuring(const std::function<void()> &action, int settleMs)
{
    PulseCounter pulses(*this);
    action();
    settle(settleMs);
    return pulses.count();
}

QStringList itemTexts(const QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

bool txFrameIsZero()
{
    return std::all_of(std::begin(txFrame), std::end(txFrame), [](std::uint8_t b) { return b == 0; });
}

void addRoundTripColumns()
{
    QTest::addColumn<QString>("writeButton");
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("readButton");
    QTest::addColumn<QStringList>("readBack");
}

void addRoundTrip(const char *writeButton, const char *inputs, const char *stored, const char *readButton,
                  const char *readBack)
{
    QTest::newRow(writeButton) << QString::fromUtf8(writeButton) << QString::fromUtf8(inputs).split(' ')
                               << QString::fromUtf8(stored) << QString::fromUtf8(readButton)
                               << QString::fromUtf8(readBack ? readBack : inputs).split(' ');
}
