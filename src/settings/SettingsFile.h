#pragma once

#include "AtomicFile.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quintaro {

// The settings file's name, relative to the process's current directory: the
// directory the program was started from.
inline constexpr char kSettingsFileName[] = "Quintaro.ini";

// The Brezomat program a new settings file names: a name to look for, not a
// path.
inline constexpr char kDefaultBrezomatPath[] = "Orbetti.exe";

// The values of "Quintaro.ini", in file order. Positions and sizes are the
// main window's outer geometry in twips. The first seven make a complete
// record; those after them came later, and readers of the first seven
// ignore them.
struct Settings
{
    std::string host;
    std::string path;
    // 32-bit numbers: a window on a large screen lies beyond what 16 bits
    // of twips reach (about 2 180 pixels).
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool autoConnect = false;
    // Later values: each is optional, and one that is missing or cannot be
    // read takes its default.
    bool reconnect = false;
    // Station details in the US units the reports carry, not metric ones:
    // written as the text "US" or "metric".
    bool usUnits = false;
};

inline constexpr int kSettingsValueCount = 7;

struct SettingsReadResult
{
    // Values as far as they were read; those not read are empty, 0 or off.
    Settings values;
    // How many values, counted from the first, were read and accepted.
    int valuesRead = 0;
    bool complete() const { return valuesRead == kSettingsValueCount; }
};

// Reads the record. Reading stops at the first of the seven values that is
// missing or cannot be taken for its type; after the seventh, the later
// values are read as far as they are there, and anything after them is
// ignored.
SettingsReadResult readSettings(std::string_view bytes);

// One record of every value: quoted texts, bare numbers, bare #TRUE# /
// #FALSE#, CR LF.
// The format has no escape for a double quote, so quotes inside a text are
// left out rather than breaking every value after it.
std::string writeSettings(const Settings &settings);

// The record a missing or damaged settings file is replaced with. Its last
// value is the quoted text "#FALSE#", which the reader takes as off.
std::string defaultSettingsRecord();

// Start-up's reading of the settings file at `path`. A file that is missing
// or cannot be read is created with the default record, which is then read
// back; a file that cannot be read in full is replaced with the default
// record, and its values count as far as they were read.
struct LoadedSettings
{
    SettingsReadResult read;
    // The default record was written (or, when writing failed, the reason).
    bool defaultsWritten = false;
    std::string writeError;
};
LoadedSettings loadSettingsFile(const std::string &path);

// Replaces the file with the default record: for a value that the window
// rejects after the file was read.
FileWriteResult writeDefaultSettingsFile(const std::string &path);

// A free-format value as a 32-bit signed decimal number: an optional sign and
// digits, nothing else; false when it is not such a number or out of range.
bool parseInt32(std::string_view text, std::int32_t &value);

// "#TRUE#" / "#FALSE#", in any letter case.
bool parseBooleanLiteral(std::string_view text, bool &value);

} // namespace quintaro
