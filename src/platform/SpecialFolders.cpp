#include "SpecialFolders.h"

#include "Paths.h"
#include "QtPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

namespace platform {
namespace {

// Where a name leads on this platform. README.md ("Script API notes") lists the same table.
enum class Place {
    None,            // virtual or without an equivalent: ""
    Desktop,         // the XDG desktop folder
    Documents,       // the XDG documents folder
    Templates,       // the XDG templates folder
    Fonts,           // the user's font folder
    UserConfig,      // $XDG_CONFIG_HOME
    UserCache,       // $XDG_CACHE_HOME
    UserApps,        // the user's application entries (the menu)
    UserAutostart,   // $XDG_CONFIG_HOME/autostart
    SystemApps,      // the first existing applications folder of $XDG_DATA_DIRS
    SystemAutostart, // the first existing autostart folder of $XDG_CONFIG_DIRS
};

struct Entry {
    std::string_view name;
    Place place;
};

constexpr Entry kFolders[] = {
    {"ALTSTARTUP", Place::None},
    {"APPDATA ", Place::UserConfig},
    {"BITBUCKET", Place::None},
    {"COMMON_ALTSTARTUP", Place::None},
    {"COMMON_DESKTOPDIRECTORY", Place::None},
    {"COMMON_FAVORITES", Place::None},
    {"COMMON_PROGRAMS", Place::SystemApps},
    {"COMMON_STARTMENU", Place::SystemApps},
    {"COMMON_STARTUP", Place::SystemAutostart},
    {"CONTROLS", Place::None},
    {"COOKIES", Place::None},
    {"DESKTOP", Place::Desktop},
    {"DESKTOPDIRECTORY", Place::Desktop},
    {"DRIVES", Place::None},
    {"FAVORITES", Place::None},
    {"FONTS", Place::Fonts},
    {"HISTORY", Place::None},
    {"INTERNET", Place::None},
    {"INTERNET_CACHE", Place::UserCache},
    {"NETHOOD", Place::None},
    {"NETWORK", Place::None},
    {"PERSONAL", Place::Documents},
    {"PRINTERS", Place::None},
    {"PRINTHOOD", Place::None},
    {"PROGRAMS", Place::UserApps},
    {"RECENT", Place::None},
    {"SENDTO", Place::None},
    {"STARTMENU", Place::UserApps},
    {"STARTUP", Place::UserAutostart},
    {"TEMPLATES", Place::Templates},
};

QString writable(QStandardPaths::StandardLocation location)
{
    return QStandardPaths::writableLocation(location);
}

// The first existing `sub` folder among the system-wide locations (those after the user's own).
QString systemFolder(QStandardPaths::StandardLocation location, const QString& sub)
{
    const QStringList all = QStandardPaths::standardLocations(location);
    for (qsizetype i = 1; i < all.size(); ++i) {
        const QString candidate = sub.isEmpty() ? all[i] : all[i] + QLatin1Char('/') + sub;
        if (QFileInfo(candidate).isDir())
            return candidate;
    }
    return {};
}

QString folderOf(Place place)
{
    switch (place) {
    case Place::None: return {};
    case Place::Desktop: return writable(QStandardPaths::DesktopLocation);
    case Place::Documents: return writable(QStandardPaths::DocumentsLocation);
    case Place::Templates: return writable(QStandardPaths::TemplatesLocation);
    case Place::Fonts: return writable(QStandardPaths::FontsLocation);
    case Place::UserConfig: return writable(QStandardPaths::GenericConfigLocation);
    case Place::UserCache: return writable(QStandardPaths::GenericCacheLocation);
    case Place::UserApps: return writable(QStandardPaths::ApplicationsLocation);
    case Place::UserAutostart: return writable(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart");
    case Place::SystemApps: return systemFolder(QStandardPaths::GenericDataLocation, QStringLiteral("applications"));
    case Place::SystemAutostart: return systemFolder(QStandardPaths::GenericConfigLocation, QStringLiteral("autostart"));
    }
    return {};
}

}  // namespace

std::optional<std::string> specialFolder(std::string_view name)
{
    for (const Entry& e : kFolders) {
        if (e.name != name)
            continue;
        const QString folder = folderOf(e.place);
        // A folder that is not there cannot be found.
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            return std::string();
        return scriptPathOfQtPath(QDir::cleanPath(folder));
    }
    return std::nullopt;
}

}  // namespace platform
