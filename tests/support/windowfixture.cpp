#include "windowfixture.h"

#include <QComboBox>
#include <QLineEdit>

#include "ptyline.h"

WindowFixture::WindowFixture()
{
    window.show();
}

bool WindowFixture::openOn(const PtyLine &line)
{
    if (window.isPortOpen())
        closePort();
    auto *ports = child<QComboBox>("comchuankou");
    ports->addItem(line.path());
    ports->setCurrentIndex(ports->count() - 1);
    click("Btodakai");
    return window.isPortOpen();
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
