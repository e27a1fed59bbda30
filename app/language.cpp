#include "qwa.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

// The data files were always looked for in the working directory, so that
// stays first; the program's own directory keeps the tool usable when it is
// started from anywhere else. Neither having it gives back the bare name, so
// the caller's load fails the way it always did.
QString Qwa::findBesideProgram(const QString &fileName) const
{
    if (QFileInfo(fileName).isFile())
        return fileName;
    const QString besideProgram = QDir(QCoreApplication::applicationDirPath()).filePath(fileName);
    if (QFileInfo(besideProgram).isFile())
        return besideProgram;
    return fileName;
}

// The button's text is the language state. It is read once, so the branch
// that has just changed it cannot also run the other branch.
void Qwa::on_Btoyuyan_clicked()
{
    const auto switchTo = [this](const QString &file, const QString &buttonText, const QString &emitterText) {
        // Installed once: installing it again would add it to the list again.
        qApp->removeTranslator(&translator);
        // A file that cannot be read still empties the translator, so the
        // form falls back to its Chinese source texts; nothing is reported.
        [[maybe_unused]] const bool loaded = translator.load(findBesideProgram(file));
        qApp->installTranslator(&translator);
        // The form's texts include what the user typed in the channel, and the
        // idle texts of buttons that may now show a running state.
        const QString channel = ui.lineTDxiugai->text();
        ui.retranslateUi(this);
        ui.lineTDxiugai->setText(channel);
        if (portOpen)
            showPortState();
        if (searchTimer->isActive())
            showSearchState();
        if (acquireTimer->isActive())
            showAcquisitionState();
        if (platformDebugging)
            showDebuggingState();
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
