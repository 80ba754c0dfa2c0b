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
#include "wardlet/wardlet.h"

namespace {

constexpr int kExitUsage = 2;
// Names the data folder (<XDG_DATA_HOME>/wardlet) whatever the executable is called.
constexpr char kApplicationName[] = "wardlet";
constexpr char kDefaultDataFile[] = "plant.dat";

// What the command line asks for. Each mode that needs the station runs from RunMode, after the
// application and the data source are set up.
enum class Mode { kHelp, kWindow };

struct Options {
    Mode mode = Mode::kWindow;
    std::optional<std::string> dataPath;  // the bytes as given: the library wants local 8-bit paths
};

void PrintUsage(std::FILE* out) {
    std::fputs(
        "Usage: wardlet-host [DATA-FILE]\n"
        "\n"
        "A monitoring station that uses libwardlet.so: log in and out, check the operator's right\n"
        "to each operation of the catalogue, and administer the store.\n"
        "\n"
        "DATA-FILE defaults to $XDG_DATA_HOME/wardlet/plant.dat "
        "(~/.local/share/wardlet/plant.dat);\n"
        "a missing file means the default store. The toolkit's own settings come from the\n"
        "environment (QT_QPA_PLATFORM, DISPLAY), not from the command line.\n"
        "\n"
        "  -h, --help   show this text and exit\n"
        "  --           what follows is the data file, even if it starts with '-'\n",
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

// <data folder>/plant.dat, the folder made if it is missing; nothing when it cannot be made.
std::optional<std::string> DefaultDataPath() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        std::fprintf(stderr, "wardlet-host: cannot create the data folder '%s'\n",
                     qPrintable(folder));
        return std::nullopt;
    }
    return QFile::encodeName(QDir(folder).filePath(kDefaultDataFile)).toStdString();
}

bool SetUpDataSource(const Options& options) {
    const std::optional<std::string> path = options.dataPath ? options.dataPath : DefaultDataPath();
    if (!path) return false;
    SetDataSource(path->c_str());
    return true;
}

int RunWindow(QApplication& app) {
    HostWindow window;
    window.show();
    return app.exec();
}

int RunMode(Mode mode, QApplication& app) {
    switch (mode) {
        case Mode::kWindow:
            return RunWindow(app);
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
    // The toolkit sees none of our arguments, so a data file is never taken for one of its options.
    int toolkitArgc = 1;
    QApplication app(toolkitArgc, argv);
    QApplication::setApplicationName(kApplicationName);
    if (!SetUpDataSource(*options)) return 1;
    return RunMode(options->mode, app);
}
