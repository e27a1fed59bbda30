#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <functional>

// Closes every modal message box shortly after it opens and keeps its title
// and text, so slots that show a box can run inside a test.
class BoxRecorder : public QObject
{
    Q_OBJECT
public:
    struct Box {
        QString title;
        QString text;
    };

    explicit BoxRecorder(QObject *parent = nullptr);

    QVector<Box> boxes;
    // Called while the box is still open, for tests that look at the state then.
    std::function<void(const Box &)> onBox;

    void clear() { boxes.clear(); }
    QStringList texts() const;

private:
    void check();
    QTimer timer;
};
