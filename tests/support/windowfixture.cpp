#include "windowfixture.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>

#include <algorithm>

#include "ptyline.h"
#include "transmit.h"

WindowFixture::WindowFixture()
{
    window.show();
}

bool WindowFixture::openOn(const QString &path)
{
    if (window.isPortOpen())
        click("Btodakai");
    auto *ports = child<QComboBox>("comchuankou");
    ports->addItem(path);
    ports->setCurrentIndex(ports->count() - 1);
    click("Btodakai");
    return window.isPortOpen();
}

void WindowFixture::click(const char *objectName)
{
    child<QAbstractButton>(objectName)->click();
}

void WindowFixture::type(const char *objectName, const QString &text)
{
    child<QLineEdit>(objectName)->setText(text);
}

void WindowFixture::selectAddress(int address)
{
    auto *addresses = child<QComboBox>("comdizhi");
    addresses->clear();
    addresses->addItem(QString::number(address));
}

bool WindowFixture::put(const QString &assignment)
{
    QWidget *widget = window.findChild<QWidget *>(assignment.section(QLatin1Char('='), 0, 0));
    if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
        edit->setText(valueOf(assignment));
        return true;
    }
    if (auto *radio = qobject_cast<QRadioButton *>(widget)) {
        radio->click();
        return true;
    }
    // An empty text leaves nothing chosen.
    auto *box = qobject_cast<QComboBox *>(widget);
    if (box)
        box->setCurrentIndex(box->findText(valueOf(assignment)));
    return box && (box->currentIndex() >= 0 || valueOf(assignment).isEmpty());
}

QString WindowFixture::shown(const QString &assignment) const
{
    QWidget *widget = window.findChild<QWidget *>(assignment.section(QLatin1Char('='), 0, 0));
    if (auto *box = qobject_cast<QComboBox *>(widget))
        return box->currentText();
    return widget ? widget->property("text").toString() : QStringLiteral("<no such field>");
}

int WindowFixture::pulsesDuring(const std::function<void()> &action, int settleMs, int enough)
{
    QSignalSpy values(child<QProgressBar>("progressBar"), &QProgressBar::valueChanged);
    const auto pulses = [&] {
        return int(std::count_if(values.begin(), values.end(), [](const QList<QVariant> &v) { return v.at(0) == 247; }));
    };
    action();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < settleMs && (enough == 0 || pulses() < enough))
        settle(5);
    return pulses();
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
