// Records the notices the library shows: puts a recording Popnote.exe first on PATH (or hides
// every Popnote.exe), and reads back what each started notice program was given.
#pragma once

#include <string>
#include <vector>

class NoticeRecorder {
public:
    // `logPath`: where the recording program appends; `reachable`: whether Popnote.exe is found.
    NoticeRecorder(std::string logPath, bool reachable);
    ~NoticeRecorder();

    // Waits until every notice program started so far has ended, then returns each one's
    // arguments (CP936 bytes), in the order they were recorded. Notice programs run side by side:
    // the order is the order of starting only for notices read back one at a time.
    std::vector<std::vector<std::string>> Invocations();
    // The single argument of each notice, as UTF-8.
    std::vector<std::string> Notices();

private:
    std::string m_logPath;
    std::string m_savedPath;
};
