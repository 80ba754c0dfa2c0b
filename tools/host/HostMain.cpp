// wardlet-host: a supervisory monitoring station in miniature. It links libwardlet.so as a real
// host does and lends it its widget application, so the library's dialogs and its logout timer run
// in this program's event loop.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "HostWindow.h"
#include "Screenshots.h"
#include "wardlet/wardlet.h"

namespace {

constexpr int kExitUsage = 2;
// Names the data folder (<XDG_DATA_HOME>/wardlet) whatever the executable is called.
constexpr char kApplicationName[] = "wardlet";
constexpr char kDefaultDataFile[] = "rights.dat";  // the command-line host's default too
// Where `wardlet demo` writes its sample store: the usual subject of the screenshots.
constexpr char kDemoDataFile[] = "wardlet-demo/plant.dat";

// What the command line asks for. Each mode that needs the station runs from RunMode, after the
// application and the data source are set up.
enum class Mode { kHelp, kWindow, kScreenshots };

struct Options {
    Mode mode = Mode::kWindow;
    std::optional<std::string> dataPath;  // the bytes as given: the library wants local 8-bit paths
    std::string screenshotFolder;         // kScreenshots
};

void PrintUsage(std::FILE* out) {
    std::fputs(
        "Usage: wardlet-host [DATA-FILE]\n"
        "       wardlet-host --screenshots DIR [DATA-FILE]\n"
        "\n"
        "A monitoring station that uses libwardlet.so: log in and out, check the operator's right\n"
        "to each operation of the catalogue, and administer the store.\n"
        "\n"
        "DATA-FILE defaults to $XDG_DATA_HOME/wardlet/rights.dat "
        "(~/.local/share/wardlet/rights.dat);\n"
        "a missing file means the default store. The toolkit's own settings come from the\n"
        "environment (QT_QPA_PLATFORM, DISPLAY), not from the command line.\n"
        "\n"
        "  -h, --help           show this text and exit\n"
        "  --screenshots DIR    open the administration (Config) and save pictures of its\n"
        "                       windows into DIR, made if missing: login.png, sheet-groups.png,\n"
        "                       sheet-users.png, sheet-other.png, user-dialog.png and\n"
        "                       group-dialog.png; then cancel them all and exit. DATA-FILE\n"
        "                       must exist and defaults to ./wardlet-demo/plant.dat, the store\n"
        "                       'wardlet demo' writes; it is left unchanged (checked). The\n"
        "                       administrator's password is read from it. Without a display\n"
        "                       the windows are drawn offscreen. Exits 1 with the reason on\n"
        "                       any failure.\n"
        "  --                   what follows is the data file, even if it starts with '-'\n",
        out);
}

// The options, or nothing with the reason in `*error`.
std::optional<Options> ParseArguments(int argc, char** argv, std::string* error) {
    Options options;
    bool optionsEnded = false;
    for (int index = 1; index < argc; ++index) {
        const std::string_view argument = argv[index];
        const bool looksLikeOption = !optionsEnded && argument.size() > 1 && argument[0] == '-';
        if (looksLikeOption && argument == "--") {
            optionsEnded = true;
        } else if (looksLikeOption && (argument == "--help" || argument == "-h")) {
            options.mode = Mode::kHelp;
        } else if (looksLikeOption && argument == "--screenshots") {
            if (index + 1 == argc) {
                *error = "option '--screenshots' needs a folder";
                return std::nullopt;
            }
            options.screenshotFolder = argv[++index];
            if (options.mode != Mode::kHelp) options.mode = Mode::kScreenshots;
        } else if (looksLikeOption) {
            *error = "unknown option '" + std::string(argument) + "'";
            return std::nullopt;
        } else if (options.dataPath) {
            *error = "more than one data file given";
            return std::nullopt;
        } else {
            options.dataPath = std::string(argument);
        }
    }
    return options;
}

// <data folder>/rights.dat, the folder made if it is missing; nothing when it cannot be made.
std::optional<std::string> DefaultDataPath() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        std::fprintf(stderr, "wardlet-host: cannot create the data folder '%s'\n",
                     qPrintable(folder));
        return std::nullopt;
    }
    return QFile::encodeName(QDir(folder).filePath(kDefaultDataFile)).toStdString();
}

// The data file given, or the mode's default; nothing when the default folder cannot be made.
std::optional<std::string> DataPath(const Options& options) {
    if (options.dataPath) return options.dataPath;
    if (options.mode == Mode::kScreenshots) return kDemoDataFile;
    return DefaultDataPath();
}

bool SetUpDataSource(const Options& options) {
    const std::optional<std::string> path = DataPath(options);
    if (!path) return false;
    SetDataSource(path->c_str());
    return true;
}

int RunWindow(QApplication& app) {
    HostWindow window;
    window.show();
    return app.exec();
}

int RunScreenshots(const std::string& folder) {
    std::string error;
    if (TakeScreenshots(QFile::decodeName(folder.c_str()), &error)) return 0;
    std::fprintf(stderr, "wardlet-host: screenshots failed: %s\n", error.c_str());
    return 1;
}

// With no display at all, screenshots are drawn offscreen rather than not at all.
void ChooseOffscreenWithoutDisplay() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

int RunMode(const Options& options, QApplication& app) {
    switch (options.mode) {
        case Mode::kWindow:
            return RunWindow(app);
        case Mode::kScreenshots:
            return RunScreenshots(options.screenshotFolder);
        case Mode::kHelp:
            break;  // answered before the application starts
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const std::optional<Options> options = ParseArguments(argc, argv, &error);
    if (!options) {
        std::fprintf(stderr, "wardlet-host: %s\nTry 'wardlet-host --help'.\n", error.c_str());
        return kExitUsage;
    }
    if (options->mode == Mode::kHelp) {
        PrintUsage(stdout);
        return 0;
    }
    if (options->mode == Mode::kScreenshots) ChooseOffscreenWithoutDisplay();
    // The toolkit sees none of our arguments, so a data file is never taken for one of its options.
    int toolkitArgc = 1;
    QApplication app(toolkitArgc, argv);
    QApplication::setApplicationName(kApplicationName);
    if (!SetUpDataSource(*options)) return 1;
    return RunMode(*options, app);
}
