// The main window's form as the user first sees it: which widget sits where,
// inside what, with which items and texts, before any slot has run.

#include <QtTest>

#include <memory>

#include "qwa.h"

namespace {

// "parent Class name...": every named widget of the form (pages aside) and its two named layouts.
const char *const kTree[] = {
    "QwaClass QTabWidget tabWidget", "QwaClass QProgressBar progressBar", "QwaClass QPushButton Btoyuyan",
    // serial port page
    "tab QPushButton Btodakai", "tab QWidget layoutWidget", "tab QGroupBox groupBox_5 groupBox_6",
    "layoutWidget QVBoxLayout verticalLayout", "layoutWidget QLabel label label_2 label_3 label_4 label_5",
    "layoutWidget QComboBox comchuankou combotelv comjiaoyanwei comshujuwei comstop",
    "groupBox_5 QWidget widget", "widget QGridLayout gridLayout",
    "widget QLabel label_10 label_11 label_28 label_29 label_27",
    "widget QComboBox comjiaoyanwei2 combotelv2 comboBoxJSQ", "widget QLineEdit linetongxin lineSF",
    "widget QPushButton BtoduquJ BtoxiugaiJ BtoduquB BtoxiugaiB BtoduquHZ BtoxieruHZ BtoduquSF BtoxieruSF "
    "BtoJSQRead pushButtonJSQchange",
    "groupBox_6 QWidget layoutWidget1 layoutWidget2", "layoutWidget1 QLabel label_7 label_8 label_12",
    "layoutWidget1 QComboBox comdizhi", "layoutWidget1 QLineEdit linegaidizhi linedizhi",
    "layoutWidget1 QPushButton Btosousuo Btoxiugai Btoguangbo", "layoutWidget2 QLabel fashe",
    "layoutWidget2 QLineEdit lineEdit", "layoutWidget2 QPushButton pushButton2 pushButton",
    // current calibration page
    "tab_3 QGroupBox groupBox_4 groupBox groupBox_2 groupBox_3",
    "groupBox_4 QWidget layoutWidget9 layoutWidget10", "groupBox_4 QLineEdit lineTDxiugai",
    "layoutWidget9 QPushButton BtoDL", "layoutWidget9 QLineEdit lineDL",
    "layoutWidget10 QPushButton BtoTDduqu BtoTDxiugai",
    "groupBox QWidget layoutWidget3 layoutWidget4", "groupBox QPushButton BtoBSduqu BtoBSxiugai",
    "layoutWidget3 QLabel label_14", "layoutWidget3 QLineEdit lineBSdown",
    "layoutWidget4 QLabel label_15", "layoutWidget4 QLineEdit lineBSup",
    "groupBox_2 QWidget layoutWidget5", "groupBox_2 QPushButton BtoDLjiaozhun",
    "layoutWidget5 QLabel label_6 label_16 label_17", "layoutWidget5 QComboBox comDL",
    "layoutWidget5 QLineEdit lineshijizhi",
    "groupBox_3 QWidget layoutWidget8 layoutWidget6 layoutWidget7",
    "groupBox_3 QPushButton BtoZDceshi Btoceshi Btotuichu",
    "layoutWidget8 QLabel label_18 label_9", "layoutWidget8 QLineEdit lineCEshuru",
    "layoutWidget6 QRadioButton radio39mA radio4mA radio8mA radio12mA",
    "layoutWidget7 QRadioButton radio16mA radio20mA radio208mA",
    // bus acquisition page
    "tab_2 QTableWidget tableWidget", "tab_2 QWidget layoutWidget11", "tab_2 QPushButton Btocaiji",
    "layoutWidget11 QLabel label_13", "layoutWidget11 QLineEdit lineshuliang",
    // platform interface page
    "tab_4 QLabel label_19 label_20", "tab_4 QWidget layoutWidget_4",
    "layoutWidget_4 QLineEdit lineLower lineUpper lineFreq lineSF2 lineTrNum lineID lineFWV lineSampleRate "
    "lineAnalogOut",
    "layoutWidget_4 QPushButton BtnRdRange BtnWrRange btnReadFreq btnWrFreq btnReadSF btnWrSF btnRdNum btnWrNum "
    "btnRdID btnWrID btnRdFWV btnWrFWV btnRdSampleRate btnWrSampleRate btnRdAnologOut btnWrAnologOut",
    // MQTT page
    "tab_5 QWidget layoutWidget13 layoutWidget12 layoutWidget14",
    "tab_5 QPushButton pushButton_connect pushButton_OPaLI",
    "layoutWidget13 QComboBox comboBox_Mode", "layoutWidget13 QPushButton pushButton_Yes",
    "layoutWidget12 QLabel label_21 label_22 label_23 label_24",
    "layoutWidget12 QLineEdit lineEdit_AT1 lineEdit_AT2 lineEdit_AT3 lineEdit_AT4",
    "layoutWidget12 QPushButton pushButton_AT1 pushButton_AT2 pushButton_AT3 pushButton_AT4",
    "layoutWidget14 QLabel label_25 label_26", "layoutWidget14 QLineEdit lineEdit_AT5 lineEdit_AT6",
    "layoutWidget14 QPushButton pushButton_AT5 pushButton_AT6",
};

struct Placement
{
    QString className;
    QString parent;
};

QMap<QString, Placement> expectedTree()
{
    QMap<QString, Placement> tree;
    for (const char *line : kTree) {
        const QStringList words = QString::fromLatin1(line).split(QLatin1Char(' '));
        for (const QString &name : words.mid(2))
            tree.insert(name, {words.at(1), words.at(0)});
    }
    return tree;
}

} // namespace

class TestForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { win.reset(); }

    void window();
    void objectTree();
    void geometry_data();
    void geometry();
    void pages();
    void comboItems_data();
    void comboItems();
    void initialState();
    void tableHeaders();

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

void TestForm::window()
{
    QCOMPARE(win->objectName(), QStringLiteral("QwaClass"));
    QCOMPARE(win->size(), QSize(629, 483));
    QCOMPARE(win->windowTitle(), QStringLiteral("NVB8140T - 网关调试工具"));
    // Absolute placement only: no layout on the window itself.
    QVERIFY(win->layout() == nullptr);
}

void TestForm::objectTree()
{
    const QMap<QString, Placement> tree = expectedTree();
    QCOMPARE(tree.size(), 155); // no name listed twice
    // Widgets that hold form widgets: the window, the pages, the group boxes and carriers.
    QSet<const QWidget *> holders{win.get()};
    for (const char *page : {"tab", "tab_3", "tab_2", "tab_4", "tab_5"})
        holders.insert(find(QString::fromLatin1(page)));

    for (auto it = tree.cbegin(); it != tree.cend(); ++it) {
        const QByteArray name = it.key().toLatin1();
        const QList<QObject *> matches = win->findChildren<QObject *>(it.key());
        QVERIFY2(matches.size() == 1, name.constData());
        QObject *object = matches.first();
        QVERIFY2(object->metaObject()->className() == it->className, name.constData());
        QVERIFY2(object->parent() && object->parent()->objectName() == it->parent, name.constData());
        // Only the carriers arrange their children; every other widget is placed absolutely.
        if (auto w = qobject_cast<QWidget *>(object)) {
            QVERIFY2((w->layout() != nullptr) == (it->className == QLatin1String("QWidget")), name.constData());
            if (it->className == QLatin1String("QWidget") || it->className == QLatin1String("QGroupBox"))
                holders.insert(w);
        }
    }
    QVERIFY(!holders.contains(nullptr));

    int held = 0;
    for (QWidget *w : win->findChildren<QWidget *>()) {
        if (!holders.contains(w->parentWidget()))
            continue;
        ++held;
        QVERIFY2(tree.contains(w->objectName()),
                 qPrintable(QStringLiteral("unexpected %1 \"%2\" in %3")
                                .arg(QLatin1String(w->metaObject()->className()), w->objectName(),
                                     w->parentWidget()->objectName())));
    }
    // The listed names minus the two layouts are exactly the widgets held.
    QCOMPARE(held, tree.size() - 2);
}

void TestForm::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");

    // The window's own children, the group boxes and what sits directly in them.
    const struct
    {
        const char *name;
        QRect rect;
    } rows[] = {
        // 631 wide in a 629 wide window: it runs 2 px past the right edge.
        {"Btoyuyan", {0, 0, 124, 21}}, {"tabWidget", {0, 20, 631, 421}}, {"progressBar", {80, 450, 531, 23}},
        {"groupBox_5", {10, 180, 591, 211}}, {"widget", {100, 30, 361, 141}},
        {"groupBox_6", {0, 10, 431, 171}}, {"layoutWidget1", {30, 30, 381, 81}},
        {"layoutWidget2", {60, 130, 321, 29}},
        {"groupBox_4", {0, 0, 311, 171}}, {"layoutWidget9", {70, 30, 171, 53}},
        {"layoutWidget10", {160, 100, 77, 54}}, {"lineTDxiugai", {90, 120, 61, 20}},
        {"groupBox", {310, 0, 311, 171}}, {"layoutWidget3", {60, 40, 201, 22}},
        {"layoutWidget4", {60, 90, 201, 22}}, {"BtoBSduqu", {80, 130, 75, 23}},
        {"BtoBSxiugai", {170, 130, 75, 23}},
        {"groupBox_2", {0, 170, 311, 201}}, {"layoutWidget5", {50, 30, 209, 71}},
        {"BtoDLjiaozhun", {100, 120, 91, 41}},
        {"groupBox_3", {310, 170, 311, 201}}, {"layoutWidget8", {10, 40, 141, 22}},
        {"BtoZDceshi", {170, 40, 131, 23}}, {"layoutWidget6", {20, 90, 70, 84}},
        {"layoutWidget7", {100, 90, 75, 62}}, {"Btoceshi", {200, 100, 71, 31}},
        {"Btotuichu", {170, 160, 131, 23}},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << QString::fromLatin1(row.name) << row.rect;
}

void TestForm::geometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);

    QWidget *w = find(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), rect);
    // Nothing follows the window's size.
    win->resize(900, 700);
    QTRY_COMPARE(win->size(), QSize(900, 700));
    QCoreApplication::processEvents();
    QCOMPARE(w->geometry(), rect);
}

void TestForm::pages()
{
    auto tabs = find<QTabWidget>(QStringLiteral("tabWidget"));
    QVERIFY(tabs);
    QStringList names, titles;
    for (int i = 0; i < tabs->count(); ++i) {
        names << tabs->widget(i)->objectName();
        titles << tabs->tabText(i);
        QCOMPARE(tabs->widget(i)->isVisible(), i == 0);
    }
    QCOMPARE(names, (QStringList{"tab", "tab_3", "tab_2", "tab_4", "tab_5"}));
    QCOMPARE(titles, (QStringList{"串口设置", "电流校准", "总线采集", "平台接口", "MQTT配置"}));
    QCOMPARE(tabs->currentIndex(), 0);
}

void TestForm::comboItems_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");

    const QStringList parity{"无校验", "奇校验", "偶校验"};
    // comchuankou is left out: the window fills it with the machine's ports at start-up.
    // The PC side lists 9600 first, the gateway side 2400: index 2 differs between them.
    QTest::newRow("combotelv") << "combotelv" << QStringList{"9600", "2400", "4800", "19200"};
    QTest::newRow("combotelv2") << "combotelv2" << QStringList{"2400", "4800", "9600", "19200"};
    QTest::newRow("comjiaoyanwei") << "comjiaoyanwei" << parity;
    QTest::newRow("comjiaoyanwei2") << "comjiaoyanwei2" << parity;
    QTest::newRow("comshujuwei") << "comshujuwei" << QStringList{"8", "7"};
    QTest::newRow("comstop") << "comstop" << QStringList{"1", "2"};
    QTest::newRow("comboBoxJSQ") << "comboBoxJSQ" << QStringList{"接收器", "中继器"};
    QTest::newRow("comdizhi: filled by the search") << "comdizhi" << QStringList();
    QTest::newRow("comDL") << "comDL" << QStringList{"4mA", "20mA"};
    QTest::newRow("comboBox_Mode") << "comboBox_Mode" << QStringList{"阿里云模式", "通用MQTT模式"};
}

void TestForm::comboItems()
{
    QFETCH(QString, name);
    QFETCH(QStringList, items);

    auto combo = find<QComboBox>(name);
    QVERIFY(combo);
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i)
        shown << combo->itemText(i);
    QCOMPARE(shown, items);
    QCOMPARE(combo->currentText(), items.value(0));
    QVERIFY(!combo->isEditable());
}

void TestForm::initialState()
{
    const QList<QLineEdit *> edits = win->findChildren<QLineEdit *>();
    QCOMPARE(edits.size(), 27);
    for (QLineEdit *edit : edits) {
        const QString name = edit->objectName();
        QVERIFY2(edit->text() == (name == QLatin1String("lineTDxiugai") ? QStringLiteral("1") : QString()),
                 qPrintable(name));
        // Plain, editable fields: the secret too is shown in clear.
        QVERIFY2(!edit->isReadOnly() && edit->echoMode() == QLineEdit::Normal, qPrintable(name));
    }
    const QList<QRadioButton *> radios = win->findChildren<QRadioButton *>();
    QCOMPARE(radios.size(), 7);
    for (QRadioButton *radio : radios)
        QVERIFY2(!radio->isChecked(), qPrintable(radio->objectName()));
}

void TestForm::tableHeaders()
{
    auto table = find<QTableWidget>(QStringLiteral("tableWidget"));
    QVERIFY(table);
    QCOMPARE(table->columnCount(), 6);
    QCOMPARE(table->rowCount(), 7);
    for (int column = 0; column < 6; ++column)
        QCOMPARE(table->model()->headerData(column, Qt::Horizontal).toString(),
                 column % 2 ? QStringLiteral("温度（℃）") : QStringLiteral("位号"));
    // Rows carry header items without text, so the header is blank rather than numbered.
    for (int row = 0; row < 7; ++row) {
        QVERIFY(table->verticalHeaderItem(row));
        QCOMPARE(table->model()->headerData(row, Qt::Vertical).toString(), QString());
    }
}

QTEST_MAIN(TestForm)
#include "tst_form.moc"
