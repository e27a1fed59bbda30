// A Qt generic plugin that drives the installed nvb8140t-tool from inside, as a
// user would, for tests/install/check.sh. Qt loads it into any Qt GUI program
// started with QT_PLUGIN_PATH=<the folder holding generic/> and
// QT_QPA_GENERIC_PLUGINS=nvbprobe; the program itself is not changed for it.
// Once the window shows, it prints the window's title, its icon and the
// language button, clicks that button and prints them again, then quits.
#include <QApplication>
#include <QGenericPlugin>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

namespace {

QWidget *shownWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->findChild<QPushButton *>(QStringLiteral("Btoyuyan")))
            return widget;
    }
    return nullptr;
}

void report(QTextStream &out, const char *when, QWidget *window)
{
    const QList<QSize> sizes = window->windowIcon().availableSizes();
    out << when << " title: " << window->windowTitle() << '\n'
        << when << " open button: " << window->findChild<QPushButton *>(QStringLiteral("Btodakai"))->text() << '\n'
        << when << " icon: " << (sizes.isEmpty() ? QStringLiteral("none") : QStringLiteral("%1x%2").arg(sizes.first().width()).arg(sizes.first().height()))
        << '\n';
}

} // namespace

class Probe : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "probe.json")

public:
    QObject *create(const QString &, const QString &) override
    {
        auto *watch = new QTimer;
        QObject::connect(watch, &QTimer::timeout, watch, [watch] {
            QWidget *window = shownWindow();
            if (!window)
                return;
            watch->stop();
            QTextStream out(stdout);
            report(out, "before", window);
            window->findChild<QPushButton *>(QStringLiteral("Btoyuyan"))->click();
            report(out, "after", window);
            out.flush();
            QCoreApplication::exit(0);
        });
        watch->start(50);
        return watch;
    }
};

#include "probe.moc"
