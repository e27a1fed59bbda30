#include "boxrecorder.h"

#include <QApplication>
#include <QMessageBox>

BoxRecorder::BoxRecorder(QObject *parent) : QObject(parent)
{
    connect(&timer, &QTimer::timeout, this, &BoxRecorder::check);
    timer.start(20);
}

QStringList BoxRecorder::texts() const
{
    QStringList out;
    for (const Box &box : boxes)
        out << box.text;
    return out;
}

void BoxRecorder::check()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    const Box seen{box->windowTitle(), box->text()};
    boxes.append(seen);
    if (onBox)
        onBox(seen);
    box->done(QMessageBox::Ok);
}
