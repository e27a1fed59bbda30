// The main window's form as the user first sees it: which widget sits where,
// inside what, with which items and texts, before any slot has run.

#include <QtTest>

#include <QBoxLayout>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QSpacerItem>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>

#include <memory>

#include "qwa.h"

namespace {

struct TreeEntry
{
    const char *name;
    const char *className;
    const char *parent;
};

// Every named widget of the form (pages aside) and the two named layouts.
const TreeEntry kTree[] = {
    {"tabWidget", "QTabWidget", "QwaClass"},
    {"progressBar", "QProgressBar", "QwaClass"},
    {"Btoyuyan", "QPushButton", "QwaClass"},

    // serial port page
    {"Btodakai", "QPushButton", "tab"},
    {"layoutWidget", "QWidget", "tab"},
    {"verticalLayout", "QVBoxLayout", "layoutWidget"},
    {"label", "QLabel", "layoutWidget"},
    {"comchuankou", "QComboBox", "layoutWidget"},
    {"label_2", "QLabel", "layoutWidget"},
    {"combotelv", "QComboBox", "layoutWidget"},
    {"label_3", "QLabel", "layoutWidget"},
    {"comjiaoyanwei", "QComboBox", "layoutWidget"},
    {"label_4", "QLabel", "layoutWidget"},
    {"comshujuwei", "QComboBox", "layoutWidget"},
    {"label_5", "QLabel", "layoutWidget"},
    {"comstop", "QComboBox", "layoutWidget"},
    {"groupBox_5", "QGroupBox", "tab"},
    {"widget", "QWidget", "groupBox_5"},
    {"gridLayout", "QGridLayout", "widget"},
    {"label_10", "QLabel", "widget"},
    {"comjiaoyanwei2", "QComboBox", "widget"},
    {"BtoduquJ", "QPushButton", "widget"},
    {"BtoxiugaiJ", "QPushButton", "widget"},
    {"label_11", "QLabel", "widget"},
    {"combotelv2", "QComboBox", "widget"},
    {"BtoduquB", "QPushButton", "widget"},
    {"BtoxiugaiB", "QPushButton", "widget"},
    {"label_28", "QLabel", "widget"},
    {"linetongxin", "QLineEdit", "widget"},
    {"BtoduquHZ", "QPushButton", "widget"},
    {"BtoxieruHZ", "QPushButton", "widget"},
    {"label_29", "QLabel", "widget"},
    {"lineSF", "QLineEdit", "widget"},
    {"BtoduquSF", "QPushButton", "widget"},
    {"BtoxieruSF", "QPushButton", "widget"},
    {"label_27", "QLabel", "widget"},
    {"comboBoxJSQ", "QComboBox", "widget"},
    {"BtoJSQRead", "QPushButton", "widget"},
    {"pushButtonJSQchange", "QPushButton", "widget"},
    {"groupBox_6", "QGroupBox", "tab"},
    {"layoutWidget1", "QWidget", "groupBox_6"},
    {"label_7", "QLabel", "layoutWidget1"},
    {"comdizhi", "QComboBox", "layoutWidget1"},
    {"Btosousuo", "QPushButton", "layoutWidget1"},
    {"label_8", "QLabel", "layoutWidget1"},
    {"linegaidizhi", "QLineEdit", "layoutWidget1"},
    {"Btoxiugai", "QPushButton", "layoutWidget1"},
    {"label_12", "QLabel", "layoutWidget1"},
    {"linedizhi", "QLineEdit", "layoutWidget1"},
    {"Btoguangbo", "QPushButton", "layoutWidget1"},
    {"layoutWidget2", "QWidget", "groupBox_6"},
    {"fashe", "QLabel", "layoutWidget2"},
    {"lineEdit", "QLineEdit", "layoutWidget2"},
    {"pushButton2", "QPushButton", "layoutWidget2"},
    {"pushButton", "QPushButton", "layoutWidget2"},

    // current calibration page
    {"groupBox_4", "QGroupBox", "tab_3"},
    {"layoutWidget9", "QWidget", "groupBox_4"},
    {"BtoDL", "QPushButton", "layoutWidget9"},
    {"lineDL", "QLineEdit", "layoutWidget9"},
    {"layoutWidget10", "QWidget", "groupBox_4"},
    {"BtoTDduqu", "QPushButton", "layoutWidget10"},
    {"BtoTDxiugai", "QPushButton", "layoutWidget10"},
    {"lineTDxiugai", "QLineEdit", "groupBox_4"},
    {"groupBox", "QGroupBox", "tab_3"},
    {"layoutWidget3", "QWidget", "groupBox"},
    {"label_14", "QLabel", "layoutWidget3"},
    {"lineBSdown", "QLineEdit", "layoutWidget3"},
    {"layoutWidget4", "QWidget", "groupBox"},
    {"label_15", "QLabel", "layoutWidget4"},
    {"lineBSup", "QLineEdit", "layoutWidget4"},
    {"BtoBSduqu", "QPushButton", "groupBox"},
    {"BtoBSxiugai", "QPushButton", "groupBox"},
    {"groupBox_2", "QGroupBox", "tab_3"},
    {"layoutWidget5", "QWidget", "groupBox_2"},
    {"label_6", "QLabel", "layoutWidget5"},
    {"comDL", "QComboBox", "layoutWidget5"},
    {"label_16", "QLabel", "layoutWidget5"},
    {"lineshijizhi", "QLineEdit", "layoutWidget5"},
    {"label_17", "QLabel", "layoutWidget5"},
    {"BtoDLjiaozhun", "QPushButton", "groupBox_2"},
    {"groupBox_3", "QGroupBox", "tab_3"},
    {"layoutWidget8", "QWidget", "groupBox_3"},
    {"label_18", "QLabel", "layoutWidget8"},
    {"lineCEshuru", "QLineEdit", "layoutWidget8"},
    {"label_9", "QLabel", "layoutWidget8"},
    {"BtoZDceshi", "QPushButton", "groupBox_3"},
    {"layoutWidget6", "QWidget", "groupBox_3"},
    {"radio39mA", "QRadioButton", "layoutWidget6"},
    {"radio4mA", "QRadioButton", "layoutWidget6"},
    {"radio8mA", "QRadioButton", "layoutWidget6"},
    {"radio12mA", "QRadioButton", "layoutWidget6"},
    {"layoutWidget7", "QWidget", "groupBox_3"},
    {"radio16mA", "QRadioButton", "layoutWidget7"},
    {"radio20mA", "QRadioButton", "layoutWidget7"},
    {"radio208mA", "QRadioButton", "layoutWidget7"},
    {"Btoceshi", "QPushButton", "groupBox_3"},
    {"Btotuichu", "QPushButton", "groupBox_3"},

    // bus acquisition page
    {"tableWidget", "QTableWidget", "tab_2"},
    {"layoutWidget11", "QWidget", "tab_2"},
    {"label_13", "QLabel", "layoutWidget11"},
    {"lineshuliang", "QLineEdit", "layoutWidget11"},
    {"Btocaiji", "QPushButton", "tab_2"},

    // platform interface page
    {"label_19", "QLabel", "tab_4"},
    {"label_20", "QLabel", "tab_4"},
    {"layoutWidget_4", "QWidget", "tab_4"},
    {"lineLower", "QLineEdit", "layoutWidget_4"},
    {"lineUpper", "QLineEdit", "layoutWidget_4"},
    {"BtnRdRange", "QPushButton", "layoutWidget_4"},
    {"BtnWrRange", "QPushButton", "layoutWidget_4"},
    {"lineFreq", "QLineEdit", "layoutWidget_4"},
    {"btnReadFreq", "QPushButton", "layoutWidget_4"},
    {"btnWrFreq", "QPushButton", "layoutWidget_4"},
    {"lineSF2", "QLineEdit", "layoutWidget_4"},
    {"btnReadSF", "QPushButton", "layoutWidget_4"},
    {"btnWrSF", "QPushButton", "layoutWidget_4"},
    {"lineTrNum", "QLineEdit", "layoutWidget_4"},
    {"btnRdNum", "QPushButton", "layoutWidget_4"},
    {"btnWrNum", "QPushButton", "layoutWidget_4"},
    {"lineID", "QLineEdit", "layoutWidget_4"},
    {"btnRdID", "QPushButton", "layoutWidget_4"},
    {"btnWrID", "QPushButton", "layoutWidget_4"},
    {"lineFWV", "QLineEdit", "layoutWidget_4"},
    {"btnRdFWV", "QPushButton", "layoutWidget_4"},
    {"btnWrFWV", "QPushButton", "layoutWidget_4"},
    {"lineSampleRate", "QLineEdit", "layoutWidget_4"},
    {"btnRdSampleRate", "QPushButton", "layoutWidget_4"},
    {"btnWrSampleRate", "QPushButton", "layoutWidget_4"},
    {"lineAnalogOut", "QLineEdit", "layoutWidget_4"},
    {"btnRdAnologOut", "QPushButton", "layoutWidget_4"},
    {"btnWrAnologOut", "QPushButton", "layoutWidget_4"},

    // MQTT page
    {"layoutWidget13", "QWidget", "tab_5"},
    {"comboBox_Mode", "QComboBox", "layoutWidget13"},
    {"pushButton_Yes", "QPushButton", "layoutWidget13"},
    {"layoutWidget12", "QWidget", "tab_5"},
    {"label_21", "QLabel", "layoutWidget12"},
    {"lineEdit_AT1", "QLineEdit", "layoutWidget12"},
    {"pushButton_AT1", "QPushButton", "layoutWidget12"},
    {"label_22", "QLabel", "layoutWidget12"},
    {"lineEdit_AT2", "QLineEdit", "layoutWidget12"},
    {"pushButton_AT2", "QPushButton", "layoutWidget12"},
    {"label_23", "QLabel", "layoutWidget12"},
    {"lineEdit_AT3", "QLineEdit", "layoutWidget12"},
    {"pushButton_AT3", "QPushButton", "layoutWidget12"},
    {"label_24", "QLabel", "layoutWidget12"},
    {"lineEdit_AT4", "QLineEdit", "layoutWidget12"},
    {"pushButton_AT4", "QPushButton", "layoutWidget12"},
    {"layoutWidget14", "QWidget", "tab_5"},
    {"label_25", "QLabel", "layoutWidget14"},
    {"lineEdit_AT5", "QLineEdit", "layoutWidget14"},
    {"pushButton_AT5", "QPushButton", "layoutWidget14"},
    {"label_26", "QLabel", "layoutWidget14"},
    {"lineEdit_AT6", "QLineEdit", "layoutWidget14"},
    {"pushButton_AT6", "QPushButton", "layoutWidget14"},
    {"pushButton_connect", "QPushButton", "tab_5"},
    {"pushButton_OPaLI", "QPushButton", "tab_5"},
};

const char *const kPages[] = {"tab", "tab_3", "tab_2", "tab_4", "tab_5"};

QString shownText(const QWidget *w)
{
    if (auto label = qobject_cast<const QLabel *>(w))
        return label->text();
    if (auto button = qobject_cast<const QAbstractButton *>(w))
        return button->text();
    if (auto group = qobject_cast<const QGroupBox *>(w))
        return group->title();
    if (auto edit = qobject_cast<const QLineEdit *>(w))
        return edit->text();
    return QStringLiteral("<no text>");
}

QString describeLayout(const QLayout *layout, bool onCarrier);

QString describeItem(QLayoutItem *item)
{
    if (QWidget *w = item->widget())
        return w->objectName();
    if (QLayout *l = item->layout())
        return describeLayout(l, false);
    if (QSpacerItem *s = item->spacerItem()) {
        const QSize hint = s->sizeHint();
        const QSizePolicy policy = s->sizePolicy();
        const QString size = QStringLiteral("%1x%2").arg(hint.width()).arg(hint.height());
        if (policy.horizontalPolicy() == QSizePolicy::Expanding
            && policy.verticalPolicy() == QSizePolicy::Minimum)
            return QStringLiteral("hspacer") + size;
        if (policy.horizontalPolicy() == QSizePolicy::Minimum
            && policy.verticalPolicy() == QSizePolicy::Expanding)
            return QStringLiteral("vspacer") + size;
        return QStringLiteral("spacer%1(%2,%3)")
            .arg(size)
            .arg(int(policy.horizontalPolicy()))
            .arg(int(policy.verticalPolicy()));
    }
    return QStringLiteral("?");
}

// Compact picture of a layout: H/V/G, the stretch list when any factor is set,
// then the items in order; breaches of the spacing and margin rules show up inline.
QString describeLayout(const QLayout *layout, bool onCarrier)
{
    const QByteArray cls = layout->metaObject()->className();
    QString text;
    if (cls == "QHBoxLayout")
        text = QStringLiteral("H");
    else if (cls == "QVBoxLayout")
        text = QStringLiteral("V");
    else if (cls == "QGridLayout")
        text = QStringLiteral("G");
    else
        text = QString::fromLatin1(cls);

    if (layout->spacing() != 6)
        text += QStringLiteral("{spacing=%1}").arg(layout->spacing());
    const QMargins m = layout->contentsMargins();
    // Carrier layouts are set to 0; nested ones keep the default, which is 0 inside a layout.
    if (m != QMargins(0, 0, 0, 0))
        text += QStringLiteral("{margins=%1,%2,%3,%4}").arg(m.left()).arg(m.top()).arg(m.right()).arg(m.bottom());
    if (onCarrier && layout->parent() != layout->parentWidget())
        text += QStringLiteral("{not on its widget}");

    QStringList items;
    if (auto box = qobject_cast<const QBoxLayout *>(layout)) {
        QStringList stretches;
        bool anyStretch = false;
        for (int i = 0; i < box->count(); ++i) {
            stretches << QString::number(box->stretch(i));
            anyStretch = anyStretch || box->stretch(i) != 0;
        }
        if (anyStretch)
            text += QLatin1Char('(') + stretches.join(QLatin1Char(':')) + QLatin1Char(')');
        for (int i = 0; i < box->count(); ++i)
            items << describeItem(box->itemAt(i));
    } else if (auto grid = qobject_cast<const QGridLayout *>(layout)) {
        for (int i = 0; i < grid->count(); ++i) {
            int row, column, rowSpan, columnSpan;
            grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
            QString cell = describeItem(grid->itemAt(i))
                + QStringLiteral("@%1.%2").arg(row).arg(column);
            if (rowSpan != 1 || columnSpan != 1)
                cell += QStringLiteral("+%1x%2").arg(rowSpan).arg(columnSpan);
            items << cell;
        }
    }
    return text + QLatin1Char('[') + items.join(QLatin1Char(',')) + QLatin1Char(']');
}

QString platformRow(const QString &fields, const char *read, const char *write, const char *stretch)
{
    return QStringLiteral("H(%1)[%2,hspacer40x20,%3,hspacer40x20,%4]")
        .arg(QLatin1String(stretch), fields, QLatin1String(read), QLatin1String(write));
}

QString mqttRow(int n)
{
    return QStringLiteral("H[label_%1,lineEdit_AT%2,pushButton_AT%2]").arg(20 + n).arg(n);
}

} // namespace

class TestForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void window();
    void objectTree_data();
    void objectTree();
    void noUnlistedWidgets();
    void geometry_data();
    void geometry();
    void pages_data();
    void pages();
    void carrierLayouts_data();
    void carrierLayouts();
    void comboItems_data();
    void comboItems();
    void lineEditTexts_data();
    void lineEditTexts();
    void radioButtonsStartUnchecked_data();
    void radioButtonsStartUnchecked();
    void formTexts_data();
    void formTexts();
    void tableShape();
    void tableHeaders_data();
    void tableHeaders();
    void windowIcon_data();
    void windowIcon();

private:
    template <typename T = QWidget>
    T *find(const QString &name) const
    {
        return win->findChild<T *>(name);
    }

    std::unique_ptr<Qwa> win;
};

void TestForm::init()
{
    win = std::make_unique<Qwa>();
    win->show();
    QVERIFY(QTest::qWaitForWindowExposed(win.get()));
}

void TestForm::cleanup()
{
    win.reset();
}

void TestForm::window()
{
    QCOMPARE(win->objectName(), QStringLiteral("QwaClass"));
    QCOMPARE(win->size(), QSize(629, 483));
    QCOMPARE(win->windowTitle(), QStringLiteral("NVB8140T - 网关调试工具"));
    // Absolute placement only: no layout and no size limits on the window itself.
    QVERIFY(win->layout() == nullptr);
    QCOMPARE(win->minimumSize(), QSize(0, 0));
    QCOMPARE(win->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    QVERIFY(!win->isMaximized());
}

void TestForm::objectTree_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parent");
    for (const TreeEntry &e : kTree)
        QTest::newRow(e.name) << QString::fromLatin1(e.name) << QString::fromLatin1(e.className)
                              << QString::fromLatin1(e.parent);
}

void TestForm::objectTree()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, parent);

    const QList<QObject *> matches = win->findChildren<QObject *>(name);
    QCOMPARE(matches.size(), 1);
    QObject *object = matches.first();
    QCOMPARE(QString::fromLatin1(object->metaObject()->className()), className);
    QVERIFY(object->parent() != nullptr);
    QCOMPARE(object->parent()->objectName(), parent);

    // Only the carriers arrange their children; every other widget is placed absolutely.
    if (auto w = qobject_cast<QWidget *>(object))
        QCOMPARE(w->layout() != nullptr, className == QLatin1String("QWidget"));
}

void TestForm::noUnlistedWidgets()
{
    // Widgets that hold form widgets: the window, the pages, group boxes and carriers.
    QSet<const QWidget *> holders{win.get()};
    QSet<QString> listed;
    for (const char *page : kPages)
        holders.insert(find(QString::fromLatin1(page)));
    for (const TreeEntry &e : kTree) {
        listed.insert(QString::fromLatin1(e.name));
        const QByteArray cls(e.className);
        if (cls == "QGroupBox" || cls == "QWidget")
            holders.insert(find(QString::fromLatin1(e.name)));
    }
    QVERIFY(!holders.contains(nullptr));

    int held = 0;
    for (QWidget *w : win->findChildren<QWidget *>()) {
        if (!holders.contains(w->parentWidget()))
            continue;
        ++held;
        QVERIFY2(listed.contains(w->objectName()),
                 qPrintable(QStringLiteral("unexpected %1 \"%2\" in %3")
                                .arg(QLatin1String(w->metaObject()->className()), w->objectName(),
                                     w->parentWidget()->objectName())));
    }
    // The listed names minus the two layouts are exactly the widgets held.
    QCOMPARE(held, int(sizeof kTree / sizeof kTree[0]) - 2);
}

void TestForm::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<bool>("enlarged");

    const struct
    {
        const char *name;
        QRect rect;
    } rows[] = {
        {"Btoyuyan", {0, 0, 111, 21}},
        // 631 wide in a 629 wide window: it runs 2 px past the right edge.
        {"tabWidget", {0, 20, 631, 421}},
        {"progressBar", {80, 450, 531, 23}},

        {"Btodakai", {470, 150, 111, 31}},
        {"layoutWidget", {450, 10, 141, 136}},
        {"groupBox_5", {10, 180, 591, 211}},
        {"widget", {100, 30, 361, 141}},
        {"groupBox_6", {0, 10, 431, 171}},
        {"layoutWidget1", {30, 30, 381, 81}},
        {"layoutWidget2", {60, 130, 321, 29}},

        {"groupBox_4", {0, 0, 311, 171}},
        {"layoutWidget9", {70, 30, 171, 53}},
        {"layoutWidget10", {160, 100, 77, 54}},
        {"lineTDxiugai", {90, 120, 61, 20}},
        {"groupBox", {310, 0, 311, 171}},
        {"layoutWidget3", {60, 40, 201, 22}},
        {"layoutWidget4", {60, 90, 201, 22}},
        {"BtoBSduqu", {80, 130, 75, 23}},
        {"BtoBSxiugai", {170, 130, 75, 23}},
        {"groupBox_2", {0, 170, 311, 201}},
        {"layoutWidget5", {50, 30, 209, 71}},
        {"BtoDLjiaozhun", {100, 120, 91, 41}},
        {"groupBox_3", {310, 170, 311, 201}},
        {"layoutWidget8", {10, 40, 141, 22}},
        {"BtoZDceshi", {170, 40, 131, 23}},
        {"layoutWidget6", {40, 90, 55, 84}},
        {"layoutWidget7", {100, 90, 61, 62}},
        {"Btoceshi", {200, 100, 71, 31}},
        {"Btotuichu", {170, 160, 131, 23}},

        {"tableWidget", {0, 30, 611, 391}},
        {"layoutWidget11", {140, 0, 151, 25}},
        {"Btocaiji", {300, 0, 131, 23}},

        {"label_19", {30, 20, 351, 16}},
        {"label_20", {30, 40, 341, 16}},
        {"layoutWidget_4", {60, 70, 481, 244}},

        {"layoutWidget13", {210, 50, 181, 25}},
        {"layoutWidget12", {140, 90, 311, 120}},
        {"layoutWidget14", {90, 230, 411, 58}},
        {"pushButton_connect", {190, 310, 81, 31}},
        {"pushButton_OPaLI", {310, 310, 81, 31}},
    };
    for (const auto &row : rows) {
        QTest::addRow("%s", row.name) << QString::fromLatin1(row.name) << row.rect << false;
        QTest::addRow("%s, window enlarged", row.name) << QString::fromLatin1(row.name) << row.rect << true;
    }
}

void TestForm::geometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    QFETCH(bool, enlarged);

    if (enlarged) {
        win->resize(900, 700);
        QTRY_COMPARE(win->size(), QSize(900, 700));
        QCoreApplication::processEvents();
    }
    QWidget *w = find(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), rect);
}

void TestForm::pages_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("current");

    QTest::newRow("0 serial port") << 0 << "tab" << QStringLiteral("串口设置") << true;
    QTest::newRow("1 current calibration") << 1 << "tab_3" << QStringLiteral("电流校准") << false;
    QTest::newRow("2 bus acquisition") << 2 << "tab_2" << QStringLiteral("总线采集") << false;
    QTest::newRow("3 platform interface") << 3 << "tab_4" << QStringLiteral("平台接口") << false;
    QTest::newRow("4 MQTT") << 4 << "tab_5" << QStringLiteral("MQTT配置") << false;
}

void TestForm::pages()
{
    QFETCH(int, index);
    QFETCH(QString, name);
    QFETCH(QString, title);
    QFETCH(bool, current);

    auto tabs = find<QTabWidget>(QStringLiteral("tabWidget"));
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 5);
    QWidget *page = tabs->widget(index);
    QVERIFY(page);
    QCOMPARE(page->objectName(), name);
    QCOMPARE(QString::fromLatin1(page->metaObject()->className()), QStringLiteral("QWidget"));
    QCOMPARE(tabs->tabText(index), title);
    QCOMPARE(tabs->currentIndex() == index, current);
    QCOMPARE(page->isVisible(), current);
}

void TestForm::carrierLayouts_data()
{
    QTest::addColumn<QString>("carrier");
    QTest::addColumn<QString>("layout");

    QTest::newRow("layoutWidget: PC port settings")
        << "layoutWidget"
        << "V[H[label,comchuankou],H[label_2,combotelv],H[label_3,comjiaoyanwei],"
           "H[label_4,comshujuwei],H[label_5,comstop]]";
    QTest::newRow("widget: gateway parameters grid")
        << "widget"
        << "G[label_10@0.0,comjiaoyanwei2@0.1,BtoduquJ@0.2,BtoxiugaiJ@0.3,"
           "label_11@1.0,combotelv2@1.1,BtoduquB@1.2,BtoxiugaiB@1.3,"
           "label_28@2.0,linetongxin@2.1,BtoduquHZ@2.2,BtoxieruHZ@2.3,"
           "label_29@3.0,lineSF@3.1,BtoduquSF@3.2,BtoxieruSF@3.3,"
           "label_27@4.0,comboBoxJSQ@4.1,BtoJSQRead@4.2,pushButtonJSQchange@4.3]";
    QTest::newRow("layoutWidget1: address columns")
        << "layoutWidget1"
        << "H(2:2:2)[V[H[label_7,comdizhi],vspacer20x28,Btosousuo],"
           "V[H[label_8,linegaidizhi],vspacer20x28,Btoxiugai],"
           "V[H[label_12,linedizhi],vspacer20x40,Btoguangbo]]";
    QTest::newRow("layoutWidget2: transmitter count")
        << "layoutWidget2"
        << "H[fashe,H[H[lineEdit,pushButton2],H(1)[pushButton]]]";

    QTest::newRow("layoutWidget9: calibration switch")
        << "layoutWidget9" << "V[BtoDL,H(1:1:1)[hspacer40x20,lineDL,hspacer40x20]]";
    QTest::newRow("layoutWidget10: channel buttons")
        << "layoutWidget10" << "V[BtoTDduqu,BtoTDxiugai]";
    QTest::newRow("layoutWidget3: lower limit") << "layoutWidget3" << "H[label_14,lineBSdown]";
    QTest::newRow("layoutWidget4: upper limit") << "layoutWidget4" << "H[label_15,lineBSup]";
    QTest::newRow("layoutWidget5: correction")
        << "layoutWidget5"
        << "V[H(1:1:3)[label_6,hspacer40x20,comDL],vspacer20x40,"
           "H(0:1:2:1)[label_16,hspacer40x20,lineshijizhi,label_17]]";
    QTest::newRow("layoutWidget8: custom current")
        << "layoutWidget8" << "H[label_18,lineCEshuru,label_9]";
    QTest::newRow("layoutWidget6: low test currents")
        << "layoutWidget6" << "V[radio39mA,radio4mA,radio8mA,radio12mA]";
    QTest::newRow("layoutWidget7: high test currents")
        << "layoutWidget7" << "V[radio16mA,radio20mA,radio208mA]";

    QTest::newRow("layoutWidget11: meter count") << "layoutWidget11" << "H(2:1)[label_13,lineshuliang]";

    const QString platform = QLatin1String("V[")
        + QStringList{
            platformRow(QStringLiteral("lineLower,hspacer40x20,lineUpper"), "BtnRdRange", "BtnWrRange", "3:1:3:1:3:1:3"),
            platformRow(QStringLiteral("lineFreq"), "btnReadFreq", "btnWrFreq", "3:1:3:1:3"),
            platformRow(QStringLiteral("lineSF2"), "btnReadSF", "btnWrSF", "3:1:3:1:3"),
            platformRow(QStringLiteral("lineTrNum"), "btnRdNum", "btnWrNum", "3:1:3:0:3"),
            platformRow(QStringLiteral("lineID"), "btnRdID", "btnWrID", "3:1:3:1:3"),
            platformRow(QStringLiteral("lineFWV"), "btnRdFWV", "btnWrFWV", "3:1:3:1:3"),
            platformRow(QStringLiteral("lineSampleRate"), "btnRdSampleRate", "btnWrSampleRate", "3:1:3:1:3"),
            platformRow(QStringLiteral("lineAnalogOut"), "btnRdAnologOut", "btnWrAnologOut", "3:1:3:1:3"),
        }.join(QLatin1Char(','))
        + QLatin1String("]");
    QTest::newRow("layoutWidget_4: platform parameters") << "layoutWidget_4" << platform;

    QTest::newRow("layoutWidget13: MQTT mode") << "layoutWidget13" << "H[comboBox_Mode,pushButton_Yes]";
    QTest::newRow("layoutWidget12: MQTT identity")
        << "layoutWidget12"
        << QStringLiteral("V[%1,%2,%3,%4]").arg(mqttRow(1), mqttRow(2), mqttRow(3), mqttRow(4));
    QTest::newRow("layoutWidget14: MQTT topics")
        << "layoutWidget14" << QStringLiteral("V[%1,%2]").arg(mqttRow(5), mqttRow(6));
}

void TestForm::carrierLayouts()
{
    QFETCH(QString, carrier);
    QFETCH(QString, layout);

    QWidget *w = find(carrier);
    QVERIFY(w);
    QVERIFY(w->layout());
    QCOMPARE(describeLayout(w->layout(), true), layout);
}

void TestForm::comboItems_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");

    const QStringList parity{QStringLiteral("无校验"), QStringLiteral("奇校验"), QStringLiteral("偶校验")};
    // comchuankou is left out: the window fills it with the machine's ports at start-up.
    // The PC side lists 9600 first, the gateway side 2400: index 2 differs between them.
    QTest::newRow("combotelv: PC baud rate") << "combotelv" << QStringList{"9600", "2400", "4800", "19200"};
    QTest::newRow("comjiaoyanwei: PC parity") << "comjiaoyanwei" << parity;
    QTest::newRow("comshujuwei: PC data bits") << "comshujuwei" << QStringList{"8", "7"};
    QTest::newRow("comstop: PC stop bits") << "comstop" << QStringList{"1", "2"};
    QTest::newRow("comjiaoyanwei2: gateway parity") << "comjiaoyanwei2" << parity;
    QTest::newRow("combotelv2: gateway baud rate") << "combotelv2" << QStringList{"2400", "4800", "9600", "19200"};
    QTest::newRow("comboBoxJSQ: gateway mode")
        << "comboBoxJSQ" << QStringList{QStringLiteral("接收器"), QStringLiteral("中继器")};
    QTest::newRow("comdizhi: filled by the search") << "comdizhi" << QStringList();
    QTest::newRow("comDL: calibration point") << "comDL" << QStringList{"4mA", "20mA"};
    QTest::newRow("comboBox_Mode: cloud mode")
        << "comboBox_Mode" << QStringList{QStringLiteral("阿里云模式"), QStringLiteral("通用MQTT模式")};
}

void TestForm::comboItems()
{
    QFETCH(QString, name);
    QFETCH(QStringList, items);

    auto combo = find<QComboBox>(name);
    QVERIFY(combo);
    QCOMPARE(combo->count(), items.size());
    for (int i = 0; i < items.size(); ++i) {
        QCOMPARE(combo->itemText(i), items.at(i));
        QVERIFY(!combo->itemData(i).isValid());
    }
    QCOMPARE(combo->currentIndex(), items.isEmpty() ? -1 : 0);
    QCOMPARE(combo->currentText(), items.value(0));
    QVERIFY(!combo->isEditable());
}

void TestForm::lineEditTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");

    const char *const empty[] = {
        "linetongxin", "lineSF", "linegaidizhi", "linedizhi", "lineEdit",
        "lineDL", "lineBSdown", "lineBSup", "lineshijizhi", "lineCEshuru",
        "lineshuliang",
        "lineLower", "lineUpper", "lineFreq", "lineSF2", "lineTrNum", "lineID", "lineFWV",
        "lineSampleRate", "lineAnalogOut",
        "lineEdit_AT1", "lineEdit_AT2", "lineEdit_AT3", "lineEdit_AT4", "lineEdit_AT5", "lineEdit_AT6",
    };
    QTest::newRow("lineTDxiugai") << "lineTDxiugai" << "1";
    for (const char *name : empty)
        QTest::newRow(name) << QString::fromLatin1(name) << QString();
}

void TestForm::lineEditTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);

    auto edit = find<QLineEdit>(name);
    QVERIFY(edit);
    QCOMPARE(edit->text(), text);
    // Plain, editable fields: the secret too is shown in clear.
    QVERIFY(!edit->isReadOnly());
    QCOMPARE(edit->echoMode(), QLineEdit::Normal);
    QVERIFY(edit->isEnabled());
    // Every line edit of the form is in this table.
    QCOMPARE(win->findChildren<QLineEdit *>().size(), 27);
}

void TestForm::radioButtonsStartUnchecked_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"radio39mA", "radio4mA", "radio8mA", "radio12mA", "radio16mA", "radio20mA", "radio208mA"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestForm::radioButtonsStartUnchecked()
{
    QFETCH(QString, name);

    auto radio = find<QRadioButton>(name);
    QVERIFY(radio);
    QVERIFY(!radio->isChecked());
    QVERIFY(radio->isEnabled());
    QCOMPARE(win->findChildren<QRadioButton *>().size(), 7);
}

void TestForm::formTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");

    const struct
    {
        const char *name;
        const char *text;
    } rows[] = {
        {"Btoyuyan", "Language English"},
        {"Btodakai", "打开串口"},
        {"label", "串口"},
        {"label_2", "波特率"},
        {"label_3", "校验位"},
        {"label_4", "数据位"},
        {"label_5", "停止位"},
        {"groupBox_5", "通信参数"},
        {"label_10", "校验位"},
        {"BtoduquJ", "读取"},
        {"BtoxiugaiJ", "修改"},
        {"label_11", "波特率"},
        {"BtoduquB", "读取"},
        {"BtoxiugaiB", "修改"},
        {"label_28", "通信频率"},
        {"BtoduquHZ", "读取"},
        {"BtoxieruHZ", "修改"},
        {"label_29", "扩频因子"},
        {"BtoduquSF", "读取"},
        {"BtoxieruSF", "修改"},
        {"label_27", "网关模式"},
        {"BtoJSQRead", "读取"},
        {"pushButtonJSQchange", "修改"},
        {"groupBox_6", "地址设置"},
        {"label_7", "选择地址"},
        {"Btosousuo", "搜索地址"},
        {"label_8", "修改为"},
        {"Btoxiugai", "修改地址"},
        {"label_12", "广播地址"},
        {"Btoguangbo", "广播地址"},
        {"fashe", "发射器数量："},
        {"pushButton2", "读取"},
        {"pushButton", "修改"},

        {"groupBox_4", "电流通信"},
        {"BtoDL", "开启电流校准"},
        {"BtoTDduqu", "读取通道"},
        {"BtoTDxiugai", "修改通道"},
        {"groupBox", "组态设置"},
        {"label_14", "变送下限："},
        {"label_15", "变送上限："},
        {"BtoBSduqu", "读取"},
        {"BtoBSxiugai", "修改"},
        {"groupBox_2", "上下电流修正"},
        {"label_6", "校准值："},
        {"label_16", "实际值："},
        {"label_17", "mA"},
        {"BtoDLjiaozhun", "校准"},
        {"groupBox_3", "电流环输出测试"},
        {"label_18", "自定义输入"},
        {"label_9", "mA"},
        {"BtoZDceshi", "自定义测试"},
        {"radio39mA", "3.9mA"},
        {"radio4mA", "4mA"},
        {"radio8mA", "8mA"},
        {"radio12mA", "12mA"},
        {"radio16mA", "16mA"},
        {"radio20mA", "20mA"},
        {"radio208mA", "20.8mA"},
        {"Btoceshi", "测试"},
        {"Btotuichu", "退出测试"},

        {"label_13", "表数"},
        {"Btocaiji", "开始采集"},

        {"label_19", "提示：本页面为云平台远程控制的本地界面，采用RS485接口通信。"},
        {"label_20", "云平台应当通过串口服务器或者4G接口进行修改"},
        {"BtnRdRange", "读取量程"},
        {"BtnWrRange", "修改量程"},
        {"btnReadFreq", "读取通信频率"},
        {"btnWrFreq", "修改通信频率"},
        {"btnReadSF", "读取SF"},
        {"btnWrSF", "修改SF"},
        {"btnRdNum", "读取发射器数量"},
        {"btnWrNum", "修改发射器数量"},
        {"btnRdID", "读取网关ID"},
        {"btnWrID", "修改网关ID"},
        {"btnRdFWV", "读取固件版本"},
        {"btnWrFWV", "修改固件版本"},
        {"btnRdSampleRate", "读取采集周期"},
        {"btnWrSampleRate", "修改采集周期"},
        {"btnRdAnologOut", "读取模拟输出"},
        {"btnWrAnologOut", "修改模拟输出"},

        {"pushButton_Yes", "确认"},
        {"label_21", "地域信息："},
        {"pushButton_AT1", "写入"},
        {"label_22", "设备属性："},
        {"pushButton_AT2", "写入"},
        {"label_23", "设备密钥："},
        {"pushButton_AT3", "写入"},
        {"label_24", "设备名称："},
        {"pushButton_AT4", "写入"},
        {"label_25", "发布主题："},
        {"pushButton_AT5", "写入"},
        {"label_26", "订阅主题："},
        {"pushButton_AT6", "写入"},
        {"pushButton_connect", "连接云平台"},
        {"pushButton_OPaLI", "打开平台调试"},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << QString::fromLatin1(row.name) << QString::fromUtf8(row.text);
}

void TestForm::formTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);

    QWidget *w = find(name);
    QVERIFY(w);
    QCOMPARE(shownText(w), text);
    QVERIFY(w->isEnabled());
}

void TestForm::tableShape()
{
    auto table = find<QTableWidget>(QStringLiteral("tableWidget"));
    QVERIFY(table);
    QCOMPARE(table->columnCount(), 6);
    QCOMPARE(table->rowCount(), 7);
    for (int row = 0; row < table->rowCount(); ++row)
        for (int column = 0; column < table->columnCount(); ++column)
            QVERIFY2(table->item(row, column) == nullptr,
                     qPrintable(QStringLiteral("cell %1,%2 is not empty").arg(row).arg(column)));
}

void TestForm::tableHeaders_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("section");
    QTest::addColumn<QString>("text");

    const QString tag = QStringLiteral("位号");
    const QString temperature = QStringLiteral("温度（℃）");
    for (int column = 0; column < 6; ++column)
        QTest::addRow("column %d", column) << int(Qt::Horizontal) << column << (column % 2 ? temperature : tag);
    // Rows carry header items without text, so the header is blank rather than numbered.
    for (int row = 0; row < 7; ++row)
        QTest::addRow("row %d", row) << int(Qt::Vertical) << row << QString();
}

void TestForm::tableHeaders()
{
    QFETCH(int, orientation);
    QFETCH(int, section);
    QFETCH(QString, text);

    auto table = find<QTableWidget>(QStringLiteral("tableWidget"));
    QVERIFY(table);
    const auto o = Qt::Orientation(orientation);
    QTableWidgetItem *item = o == Qt::Horizontal ? table->horizontalHeaderItem(section)
                                                 : table->verticalHeaderItem(section);
    QVERIFY(item);
    QCOMPARE(item->text(), text);
    // What the header view paints.
    QCOMPARE(table->model()->headerData(section, o, Qt::DisplayRole).toString(), text);
    QHeaderView *header = o == Qt::Horizontal ? table->horizontalHeader() : table->verticalHeader();
    QVERIFY(!header->isSectionHidden(section));
}

void TestForm::windowIcon_data()
{
    QTest::addColumn<bool>("imageInCurrentDir");
    QTest::newRow("started beside the image") << true;
    QTest::newRow("started elsewhere") << false;
}

void TestForm::windowIcon()
{
    QFETCH(bool, imageInCurrentDir);

    // The image is opened by its bare name, so the working directory at start decides.
    const QString saved = QDir::currentPath();
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    const QString dir = imageInCurrentDir ? QStringLiteral(NVB_PROGRAM_DIR) : elsewhere.path();
    QCOMPARE(QFile::exists(dir + QStringLiteral("/天线.png")), imageInCurrentDir);
    QVERIFY(QDir::setCurrent(dir));
    QIcon icon;
    {
        Qwa window;
        icon = window.windowIcon();
    }
    QVERIFY(QDir::setCurrent(saved));
    // An icon whose file is missing is not null, it just has nothing to paint.
    QCOMPARE(icon.availableSizes().isEmpty(), !imageInCurrentDir);
    QCOMPARE(icon.pixmap(32).isNull(), !imageInCurrentDir);
}

QTEST_MAIN(TestForm)
#include "tst_form.moc"
