// Build information for the About window: the version the build was configured with and the
// date the program's executable file was last written.
#pragma once

#include <QDateTime>

#include <optional>
#include <string>

// The version of this build, "1.0.0"; it comes from the build configuration, where the project
// declares it.
std::string getBuildVersion();

// The modification date of the running executable as "MMMM d, yyyy" in English, in the
// system's time zone, e.g. "December 7, 2026". When the date cannot be read, "an unknown date"
// and a line in the log: the About window still opens.
std::string getBuildDate();

// The formatting alone: full English month name, day without leading zero, four-digit year.
std::string formatBuildDate(const QDateTime& date);

// The running program's own file (/proc/self/exe), or empty when it cannot be told.
std::string executablePath();

// The modification time of `path`, or nothing when it cannot be read.
std::optional<QDateTime> modificationDate(const std::string& path);
