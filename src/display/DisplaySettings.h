#pragma once

#include "WeatherRules.h"

#include <QString>

namespace quintaro::display {

// The display's own settings file, shared by every display a user opens:
// quintaro/quintaro-weather.ini in the user's configuration folder
// (~/.config/quintaro/quintaro-weather.ini). Quintaro's own Quintaro.ini is
// left alone.
QString displaySettingsPath();

// What the display remembers between runs.
struct DisplayChoices
{
    weather::Units units = weather::Units::Metric;
    Span span = Span::Hours24;
};

// A file that is missing or holds words not known here gives the defaults
// for what it lacks.
DisplayChoices loadDisplayChoices(const QString &path);
void saveDisplayChoices(const QString &path, const DisplayChoices &choices);

} // namespace quintaro::display
