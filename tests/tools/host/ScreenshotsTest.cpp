// Runs `wardlet-host --screenshots` as an operator would, on stores that `wardlet` writes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <optional>

namespace {

constexpr const char* kPictures[] = {"login.png",         "sheet-groups.png", "sheet-users.png",
                                     "sheet-other.png",   "user-dialog.png",  "group-dialog.png",
                                     "sheet-keyboard.png"};
// Far beyond what a run takes: only a run that hangs comes near it.
constexpr int kRunLimitMs = 60000;

struct Outcome {
    int exitCode;  // -1 when the program crashed or had to be killed
    std::string errors;
};

// Runs `program` with `input` on its standard input.
Outcome RunIn(const QString& folder, const char* program, const QStringList& arguments,
              const QByteArray& input = {}) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QString::fromUtf8(program), arguments);
    process.write(input);
    process.closeWriteChannel();
    const bool finished = process.waitForFinished(kRunLimitMs);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    const bool normal = finished && process.exitStatus() == QProcess::NormalExit;
    return {normal ? process.exitCode() : -1, process.readAllStandardError().toStdString()};
}

std::optional<QByteArray> ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

// A fresh folder in which both programs run.
struct Workspace {
    QString Path(const QString& name) const { return folder.filePath(name); }
    Outcome Cli(const QStringList& arguments, const QByteArray& input = {}) const {
        return RunIn(folder.path(), WARDLET_CLI, arguments, input);
    }
    Outcome Host(const QStringList& arguments) const {
        return RunIn(folder.path(), WARDLET_HOST, arguments);
    }

    QTemporaryDir folder;
};

TEST(Screenshots, DemoStoreGivesEveryPictureAndStaysUnchanged) {
    const Workspace work;
    ASSERT_EQ(work.Cli({"demo"}).exitCode, 0);
    const std::optional<QByteArray> before = ReadFile(work.Path("wardlet-demo/plant.dat"));
    ASSERT_TRUE(before);

    const Outcome outcome = work.Host({"--screenshots", "shots"});  // the demo's store by default

    ASSERT_EQ(outcome.exitCode, 0) << outcome.errors;
    for (const char* name : kPictures) {
        const QImage picture(work.Path("shots/") + name);
        EXPECT_GT(picture.width(), 100) << name;
    }
    // A page is nearly three times as tall as the credential dialog: a sheet that holds its pages
    // is more than twice as tall.
    const int loginHeight = QImage(work.Path("shots/login.png")).height();
    for (const char* name :
         {"sheet-groups.png", "sheet-users.png", "sheet-other.png", "sheet-keyboard.png"}) {
        EXPECT_GT(QImage(work.Path("shots/") + name).height(), 2 * loginHeight) << name;
    }
    EXPECT_EQ(ReadFile(work.Path("wardlet-demo/plant.dat")), before);
}

// Each failure ends the program with the reason, every window closed, and the store untouched.
TEST(Screenshots, FailuresEndWithTheirReason) {
    // Writes the default store: the administrator and no users.
    // The old and the new password come on standard input.
    const QStringList emptyStore = {"--data", "empty.dat", "passwd", "Admin"};
    const struct {
        const char* what;
        QStringList prepare;  // a `wardlet` command run first, if any
        QStringList arguments;
        int exitCode;
        const char* reason;
    } cases[] = {
        // clang-format off
        {"no data file",            {},         {"--screenshots", "shots", "missing.dat"}, 1,
         "cannot read the data file"},
        // The sheet is open when the empty Users page stops the script.
        {"a store without users",   emptyStore, {"--screenshots", "shots", "empty.dat"},   1,
         "is empty"},
        {"a folder that is a file", emptyStore, {"--screenshots", "empty.dat", "empty.dat"}, 1,
         "cannot create the folder"},
        {"no folder",               {},         {"--screenshots"},                         2,
         "needs a folder"},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Workspace work;
        if (!c.prepare.isEmpty()) {
            ASSERT_EQ(work.Cli(c.prepare, "4827\n4827\n").exitCode, 0);
        }
        const std::optional<QByteArray> before = ReadFile(work.Path("empty.dat"));

        const Outcome outcome = work.Host(c.arguments);

        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.errors;
        EXPECT_NE(outcome.errors.find(c.reason), std::string::npos) << outcome.errors;
        EXPECT_EQ(ReadFile(work.Path("empty.dat")), before);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);  // for QProcess
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
