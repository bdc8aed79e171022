#include "DisplaySettings.h"

#include <QSettings>
#include <QStandardPaths>

namespace quintaro::display {

namespace {

const QString kUnitsKey = QStringLiteral("units");
const QString kSpanKey = QStringLiteral("span");

} // namespace

QString displaySettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/quintaro/quintaro-weather.ini");
}

DisplayChoices loadDisplayChoices(const QString &path)
{
    const QSettings settings(path, QSettings::IniFormat);
    DisplayChoices choices;
    if (settings.value(kUnitsKey).toString() == QLatin1String("us"))
        choices.units = weather::Units::US;
    if (const auto span = spanFromKey(settings.value(kSpanKey).toString().toStdString()))
        choices.span = *span;
    return choices;
}

void saveDisplayChoices(const QString &path, const DisplayChoices &choices)
{
    QSettings settings(path, QSettings::IniFormat);
    settings.setValue(kUnitsKey, choices.units == weather::Units::US ? QStringLiteral("us")
                                                                     : QStringLiteral("metric"));
    settings.setValue(kSpanKey, QString::fromStdString(spanKey(choices.span)));
    settings.sync();
}

} // namespace quintaro::display
