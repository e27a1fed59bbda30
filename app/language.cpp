#include "qwa.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>

namespace {

// Texts the window leaves in a field or a cell, not on a button with a state
// of its own; after a switch they show in the new language.
const char *const kLeftTexts[] = {QT_TRANSLATE_NOOP("Qwa", "开启成功"), QT_TRANSLATE_NOOP("Qwa", "开启失败")};
const char *const kSilentMeter = QT_TRANSLATE_NOOP("Qwa", "超时");

QString qtTranslationsPath()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#else
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#endif
}

} // namespace

// The data files were always looked for in the working directory, so that
// stays first; the program's own directory keeps the tool usable when it is
// started from anywhere else; last comes the data folder of an installed tool,
// found from the program's directory (<bindir>/../share/nvb8140t-tool), so an
// installed tree can move. None having it gives back the bare name, so the
// caller's load fails the way it always did.
QString Qwa::findDataFile(const QString &fileName) const
{
    if (QFileInfo(fileName).isFile())
        return fileName;
    const QDir programDir(QCoreApplication::applicationDirPath());
    for (const QString &candidate : {programDir.filePath(fileName),
                                     programDir.filePath(QStringLiteral(NVB_DATA_DIR_FROM_PROGRAM "/") + fileName)}) {
        if (QFileInfo(candidate).isFile())
            return QDir::cleanPath(candidate);
    }
    return fileName;
}

// Looked for like the tool's own files, then where the system keeps Qt's.
// English needs none: Qt's own texts are English.
void Qwa::loadQtTranslation(bool chinese)
{
    qApp->removeTranslator(&qtTranslator);
    if (!chinese)
        return;
    const QString file = QStringLiteral("qtbase_zh_CN.qm");
    QString path = findDataFile(file);
    if (!QFileInfo(path).isFile())
        path = QDir(qtTranslationsPath()).filePath(file);
    if (qtTranslator.load(path))
        qApp->installTranslator(&qtTranslator);
}

// The button's text is the language state. It is read once, so the branch
// that has just changed it cannot also run the other branch.
void Qwa::on_Btoyuyan_clicked()
{
    const auto switchTo = [this](const QString &file, const QString &buttonText, const QString &emitterText) {
        // What shows now in the old language, to show again in the new one.
        const char *leftText = nullptr;
        for (const char *text : kLeftTexts) {
            if (ui.lineDL->text() == tr(text))
                leftText = text;
        }
        QList<QTableWidgetItem *> silentMeters;
        for (int row = 0; row < ui.tableWidget->rowCount(); ++row) {
            for (int column = 0; column < ui.tableWidget->columnCount(); ++column) {
                QTableWidgetItem *item = ui.tableWidget->item(row, column);
                if (item && item->text() == tr(kSilentMeter))
                    silentMeters << item;
            }
        }
        // Installed once: installing it again would add it to the list again.
        qApp->removeTranslator(&translator);
        // A file that cannot be read still empties the translator, so the
        // form falls back to its Chinese source texts; nothing is reported,
        // and Qt's own texts stay Chinese with them.
        const bool loaded = translator.load(findDataFile(file));
        qApp->installTranslator(&translator);
        loadQtTranslation(!loaded || file == QLatin1String("Translation_zh.qm"));
        // The form's texts include what the user typed in the channel, and the
        // idle texts of buttons that may now show a running state.
        const QString channel = ui.lineTDxiugai->text();
        ui.retranslateUi(this);
        ui.lineTDxiugai->setText(channel);
        showPortState();
        showSearchState();
        showDetectState();
        showAcquisitionState();
        showDebuggingState();
        showRecordingState();
        if (leftText)
            ui.lineDL->setText(tr(leftText));
        for (QTableWidgetItem *item : qAsConst(silentMeters))
            item->setText(tr(kSilentMeter));
        retranslateTrafficWatch();
        ui.Btoyuyan->setText(buttonText);
        ui.fashe->setText(emitterText);
    };
    const QString shown = ui.Btoyuyan->text();
    if (shown == QStringLiteral("Language English"))
        switchTo(QStringLiteral("Translation_en.qm"), QStringLiteral("切换为中文"), QStringLiteral("Number of emitter:"));
    else if (shown == QStringLiteral("切换为中文"))
        switchTo(QStringLiteral("Translation_zh.qm"), QStringLiteral("Language English"), QStringLiteral("发射器数量:"));
}
