// Notices reach the operator through the notice program, or a message box when it is missing.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QWidget>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "module/Notice.h"
#include "platform/ProgramLauncher.h"
#include "support/GuiTest.h"
#include "support/Processes.h"
#include "support/RuntimeDirTest.h"

namespace {

class NoticeTest : public GuiTest {};

TEST_F(NoticeTest, TextReachesTheProgramUnchangedAsOneArgument) {
    const std::string marker = Dir() + "/ran";
    const std::string texts[] = {
        "帐号/密码错误，登录失败！",
        "two  blanks and \"quotes\" 'too'",
        "a;touch " + marker + " | $(touch " + marker + ") `touch " + marker + "` > " + marker,
    };
    for (const std::string& text : texts) {
        ShowNotice(Gbk(text.c_str()));
        EXPECT_EQ(m_notices->Notices().back(), text);
    }
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_EQ(m_driver->ShownCount(), 0);
}

class NoticeWithoutProgramTest : public GuiTest {
protected:
    void SetUp() override {
        HidePopnote();
        GuiTest::SetUp();
    }
};

TEST_F(NoticeWithoutProgramTest, FallsBackToAMessageBoxShowingTheCommandLine) {
    QString text;
    m_driver->OnNextModal([&text](QWidget* box) {
        text = MessageText(box);
        PressKey(box, Qt::Key_Return);
    });
    ShowNotice(Gbk("帐号/密码错误，登录失败！"));
    EXPECT_EQ(m_driver->Captions(), std::vector<QString>{QStringLiteral("权限管理")});
    EXPECT_EQ(text, QStringLiteral("Popnote.exe 帐号/密码错误，登录失败！"));
    EXPECT_TRUE(m_notices->Invocations().empty());
}

// Where the notice program is looked for. The attack: a Popnote.exe planted in the host's working
// folder, and PATH holding an empty element (taken as "." by shells) or relative folders.
class NoticeProgramPathTest : public ScratchDirTest {
protected:
    void SetUp() override {
        ScratchDirTest::SetUp();
        for (const char* folder :
             {"/prefix/lib", "/prefix/bin", "/work/rel", "/on-path", "/ran", "/usr-bin", "/bin"}) {
            std::filesystem::create_directories(dir_ + folder);
        }
        // An installation of the library: lib/libwardlet.so, and bin/ beside lib/.
        std::filesystem::copy_file(WARDLET_LIBRARY_FILE, dir_ + "/prefix/lib/libwardlet.so");
        Plant("/work", "planted");
        Plant("/work/rel", "relative");
        Plant("/on-path", "on-path");
    }

    // A Popnote.exe in `folder` that leaves ran/`marker` behind when it runs.
    void Plant(const std::string& folder, const std::string& marker) const {
        const std::string program = dir_ + folder + "/Popnote.exe";
        std::ofstream(program) << "#!/bin/sh\n: > '" << dir_ << "/ran/" << marker << "'\n";
        ASSERT_EQ(chmod(program.c_str(), 0755), 0);
    }

    // Runs a host that loads the installed library and shows one notice, in the working folder,
    // with `path` as PATH and no display. Returns the markers of the programs that ran.
    std::set<std::string> RunHost(const std::string& path) const {
        std::filesystem::remove_all(dir_ + "/ran");
        std::filesystem::create_directory(dir_ + "/ran");
        // The notice program is started detached: as the subreaper of this process's
        // descendants, the test can wait for it before it looks.
        prctl(PR_SET_CHILD_SUBREAPER, 1);
        const pid_t host = fork();
        if (host == 0) {
            const int err = open((dir_ + "/host.err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (err < 0 || dup2(err, 2) < 0 || chdir((dir_ + "/work").c_str()) != 0) _exit(100);
            setenv("PATH", path.c_str(), 1);
            setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
                unsetenv(name);
            const std::string library = dir_ + "/prefix/lib/libwardlet.so";
            execl(WARDLET_NOTICE_HOST, "notice_host", library.c_str(), nullptr);
            _exit(101);
        }
        EXPECT_EQ(ExitCode(host), 0) << HostErrors();
        while (waitpid(-1, nullptr, 0) > 0 || errno == EINTR) {
        }
        std::set<std::string> ran;
        for (const auto& entry : std::filesystem::directory_iterator(dir_ + "/ran")) {
            ran.insert(entry.path().filename().string());
        }
        return ran;
    }

    std::string HostErrors() const {
        std::ifstream in(dir_ + "/host.err");
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

TEST_F(NoticeProgramPathTest, OnlyTheInstalledProgramOrAbsolutePathFoldersRun) {
    struct Case {
        const char* what;
        bool installed;  // a Popnote.exe in the bin/ beside the library's lib/
        std::string path;
        std::set<std::string> ran;
    };
    const std::string onPath = dir_ + "/on-path";
    // Absolute folders without a notice program, where a system's PATH would name /usr/bin (which
    // may hold an installed one).
    const std::string system = dir_ + "/usr-bin:" + dir_ + "/bin";
    const Case cases[] = {
        {"installed first", true, onPath + ":" + system, {"installed"}},
        {"installed, empty element", true, ":" + system, {"installed"}},
        {"empty element", false, ":" + system, {}},
        {"empty last element", false, system + ":", {}},
        {"dot", false, ".:" + system, {}},
        {"relative folder", false, "rel:" + system, {}},
        {"absolute folder", false, "/no-such-folder::rel:" + onPath, {"on-path"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(dir_ + "/prefix/bin/Popnote.exe");
        if (c.installed) Plant("/prefix/bin", "installed");
        EXPECT_EQ(RunHost(c.path), c.ran);
        if (c.ran.empty()) {
            // Nothing started: the library fell back to its box, which without a display is
            // written to standard error.
            EXPECT_NE(HostErrors().find("Popnote.exe "), std::string::npos) << HostErrors();
        }
    }
}

TEST_F(NoticeProgramPathTest, InstalledProgramIsTheBinBesideTheLibrarysLib) {
    const std::string prefix = dir_ + "/prefix";
    Plant("/prefix/bin", "installed");
    std::filesystem::create_directories(prefix + "/lib64");
    const std::string installed = prefix + "/bin/Popnote.exe";
    const std::pair<std::string, std::string> cases[] = {
        {prefix + "/lib/libwardlet.so", installed},
        {prefix + "/lib/x86_64-linux-gnu/libwardlet.so", installed},
        {prefix + "/lib64/libwardlet.so.0", installed},
        {prefix + "/bin/wardlet_tests", ""},  // a program that holds the library's code
        {prefix + "/share/libwardlet.so", ""},
        {"prefix/lib/libwardlet.so", ""},  // relative: no installation can be told from it
        {"", ""},
    };
    for (const auto& [library, expected] : cases) {
        EXPECT_EQ(FindProgramBesideLibrary(library, "Popnote.exe"), expected) << library;
    }
    EXPECT_EQ(FindProgramBesideLibrary(prefix + "/lib/libwardlet.so", "../bin/Popnote.exe"), "");
}

}  // namespace
