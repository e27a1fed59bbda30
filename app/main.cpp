#include <QApplication>
#include <QLoggingCategory>

#include "qwa.h"

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // The port's readyRead slot is named like an auto-connected slot but is
    // connected by hand; silence the by-name binder's complaint about it.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.core.qmetaobject.connectslotsbyname=false"));
    int result;
    {
        Qwa window;
        window.show();
        result = application.exec();
    }
    return result;
}
