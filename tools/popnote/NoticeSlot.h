#pragma once

#include <string>

// A notice's place in the stack of notices on screen. Every notice is a process of its own, so
// the places are shared through files: slot N is held by whoever holds an exclusive flock on
// "popnote-slot-<N>". The kernel drops that lock when the holder ends, even by a crash, so a
// place is never lost to a notice that died.
class NoticeSlot {
public:
    // More notices than this at once would not fit on a screen anyway.
    static constexpr int kDefaultCount = 16;

    // Claims the lowest slot below `count` that nobody holds, making its file in `directory` if
    // needed. When every slot is held, or `directory` is unusable, the result holds no lock and
    // stands on the top slot (slot 0 when no slot file could be opened at all): a notice that
    // overlaps another beats one not shown.
    static NoticeSlot Claim(const std::string& directory, int count = kDefaultCount);

    // The folder private to this OS user where the slot files live: $XDG_RUNTIME_DIR/wardlet, or
    // /tmp/wardlet-<uid>, made 0700 when missing. "" when there is none we may trust.
    static std::string DefaultDirectory();

    NoticeSlot(NoticeSlot&& other) noexcept;
    NoticeSlot& operator=(NoticeSlot&& other) noexcept;
    NoticeSlot(const NoticeSlot&) = delete;
    NoticeSlot& operator=(const NoticeSlot&) = delete;
    // Gives the slot back.
    ~NoticeSlot();

    int Index() const { return index_; }
    bool Held() const { return lockFd_ >= 0; }

private:
    NoticeSlot(int index, int lockFd) : index_(index), lockFd_(lockFd) {}
    void Release();

    int index_;
    int lockFd_;  // -1 when nothing is locked
};
