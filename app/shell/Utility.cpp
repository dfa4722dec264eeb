// The version is compiled in from the build configuration; the date is read at run time from
// the executable file itself, so a rebuilt program shows when it was linked.
#include "Utility.h"

#include "Log.h"

#include <QFileInfo>
#include <QLocale>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#ifndef CORVENA_VERSION
#error "CORVENA_VERSION must be defined by the build"
#endif

std::string getBuildVersion() {
    return CORVENA_VERSION;
}

std::string formatBuildDate(const QDateTime& date) {
    // The locale fixes the month names, whatever language the user's session speaks.
    return QLocale(QLocale::English).toString(date.toLocalTime(), "MMMM d, yyyy").toStdString();
}

std::string executablePath() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return {};
    return std::string(path, static_cast<size_t>(length));
}

std::optional<QDateTime> modificationDate(const std::string& path) {
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0)
        return std::nullopt;
    const qint64 milliseconds =
        qint64(info.st_mtim.tv_sec) * 1000 + qint64(info.st_mtim.tv_nsec / 1000000);
    return QDateTime::fromMSecsSinceEpoch(milliseconds);
}

std::string getBuildDate() {
    const std::string path = executablePath();
    const std::optional<QDateTime> date = modificationDate(path);
    if (!date) {
        toolkit::Log::line("Corvena: cannot read the modification date of the program file " +
                           (path.empty() ? std::string("(unknown path)") : path));
        return "an unknown date";
    }
    return formatBuildDate(*date);
}
