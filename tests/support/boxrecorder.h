#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

#include <functional>

// Closes every modal message box shortly after it opens and keeps its title
// and text, so slots that show a box can run inside a test.
struct BoxRecorder {
    struct Box {
        QString title;
        QString text;
    };
    QVector<Box> boxes;
    // Called while the box is still open, for tests that look at the state then.
    std::function<void(const Box &)> onBox;
    QTimer timer;

    BoxRecorder()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            boxes.append({box->windowTitle(), box->text()});
            if (onBox)
                onBox(boxes.last());
            // A question (replace the file?) is answered yes, as a click would.
            if (QAbstractButton *yes = box->button(QMessageBox::Yes))
                yes->click();
            else
                box->done(QMessageBox::Ok);
        });
        timer.start(20);
    }
    void clear() { boxes.clear(); }
    QStringList texts() const
    {
        QStringList out;
        for (const Box &box : boxes)
            out << box.text;
        return out;
    }
};
