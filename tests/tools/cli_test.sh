#!/usr/bin/env bash
# End-to-end checks of the `wardlet` command-line host: answers, exit statuses and files, run
# against the demo store in a private temporary folder.
# Usage: cli_test.sh PATH-TO-wardlet
set -euo pipefail

cli=$(realpath "${1:?usage: cli_test.sh PATH-TO-wardlet}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir -m 700 run home
export XDG_RUNTIME_DIR=$work/run XDG_DATA_HOME=$work/xdg HOME=$work/home
export TZ=${TZ:-Asia/Shanghai}

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# check EXIT ARG...: runs the tool; its output stays in out.txt and err.txt.
check() {
    local want=$1 got=0
    shift
    "$cli" "$@" >out.txt 2>err.txt || got=$?
    if [[ $got != "$want" ]]; then
        fail "wardlet $* exited $got, expected $want"
        sed 's/^/    /' out.txt err.txt >&2
    fi
    if [[ $want -ge 2 ]] && ! grep -q '^wardlet: ' err.txt; then
        fail "wardlet $*: no 'wardlet: ' message on stderr"
    fi
}

expect_out() { grep -qF -- "$1" out.txt || fail "stdout lacks '$1': $(cat out.txt)"; }
expect_err() { grep -qF -- "$1" err.txt || fail "stderr lacks '$1': $(cat err.txt)"; }

# The terminal column of the first '|' on every matrix line: one value when the rows line up.
separator_columns() {
    grep '^  .*|' out.txt | while IFS= read -r line; do
        printf '%s' "${line%%|*}" | LC_ALL=C.UTF-8 wc -L
    done | sort -u
}

# A data file without records whose administrator is named "A" and the byte 0x$1 XORed with
# 0x6B, as stored texts are: one length byte, then the scrambled bytes. The password is "x".
store_with_admin_byte() {
    printf "\\x02\\x2a\\x$1\\x01\\x13"
    printf '\x01\x00\x00\x00%.0s' 1 2 3  # may edit groups, rights, users
    printf '\x00\x00%.0s' 1 2 3 4          # no users, groups or links
    printf '\x01\x00\x00\x00\x03\x00\x00\x00'
}

# The cells of one matrix row, blanks removed: "YYYY--|YYY".
matrix_row() { grep -F -- "$1 (" out.txt | sed 's/^.*) *//' | tr -d ' '; }

store=wardlet-demo/plant.dat
data=(--data "$store")

# --- demo -----------------------------------------------------------------------------------
check 0 demo
[[ -s $store ]] || fail "demo wrote no $store"
expect_out "Wrote the sample plant store to $store"
# Columns: 设备 策略 页面 系统 配置 登陆IE | 展开树 操作 事件. The window user's row depends on the
# hour, so it is not checked.
matrix_cases=(
    "张伟 ------|YYY"
    "王强 YYYY--|YYY"
    "赵敏 ------|---"
    "孙丽 YYYYYY|YYY"
    "Admin YYYYYY|YYY"
)
for case in "${matrix_cases[@]}"; do
    read -r user cells <<<"$case"
    [[ $(matrix_row "$user") == "$cells" ]] || fail "matrix row of $user: $(matrix_row "$user")"
done
[[ $(separator_columns | wc -l) == 1 ]] || fail "matrix columns do not line up: $(cat out.txt)"
expect_out "赵敏: period 2024-03-01 00:00:00 to 2024-08-31 23:59:59"
expect_out "outside the period, so every answer is refused"

echo keep >other.dat
check 2 --data other.dat demo
[[ $(cat other.dat) == keep ]] || fail "demo overwrote other.dat without --force"
check 0 --force --data other.dat demo
check 0 --data wardlet-demo/second.dat demo
check 0 demo

# --- islegal --------------------------------------------------------------------------------
islegal_cases=(
    "0 张伟 zw-7341 0x01010100"  # granted directly
    "0 张伟 zw-7341 01010301"    # below a granted code, written without 0x
    "1 张伟 zw-7341 0x01010000"  # above a granted code
    "1 张伟 wrong 0x01010100"
    "0 王强 wq-2619 0x01040202"
    "1 王强 wq-2619 0x01050000"
    "1 赵敏 zm-9157 0x01010000"  # the period ended in 2024
    "0 孙丽 sl-3378 0x01050300"
    "0 Admin 4827 0x01050300"
    "1 无名 x 0x01010100"
    "2 张伟 zw-7341 0x01990000"  # not in the catalogue
    "2 张伟 zw-7341 0x0101020G"
    "2 张伟 zw-7341 0x101010201"
    "2 张伟 zw-7341 0x"
    "2 😀 x 0x01010100"          # not expressible in code page 936
)
for case in "${islegal_cases[@]}"; do
    read -r want user password code <<<"$case"
    check "$want" "${data[@]}" islegal "$user" "$password" "$code"
    if [[ $want == 0 ]]; then expect_out allowed; fi
    if [[ $want == 1 ]]; then expect_out refused; fi
done

# --- exists, timesect, userinfo -------------------------------------------------------------
check 0 "${data[@]}" exists 王强 wq-2619
expect_out valid
check 1 "${data[@]}" exists 王强 wq-2618
expect_out invalid

timesect_cases=(
    "张伟|permanent"
    "外包-陈|daily window 08:00:00-17:00:00"
    "赵敏|period 2024-03-01 00:00:00 to 2024-08-31 23:59:59"
    "Admin|permanent"
)
for case in "${timesect_cases[@]}"; do
    check 0 "${data[@]}" timesect "${case%%|*}"
    [[ $(cat out.txt) == "${case#*|}" ]] || fail "timesect ${case%%|*}: $(cat out.txt)"
done
check 1 "${data[@]}" timesect 无名

check 0 "${data[@]}" userinfo 李娜
[[ $(cat out.txt) == ln-5086 ]] || fail "userinfo 李娜: $(cat out.txt)"
check 1 "${data[@]}" userinfo
expect_err "nobody is logged in"

# --- passwd ---------------------------------------------------------------------------------
check 0 "${data[@]}" passwd 李娜 ln-5086 ln-0417
expect_out "password changed"
check 1 "${data[@]}" islegal 李娜 ln-5086 0x01010100
check 0 "${data[@]}" islegal 李娜 ln-0417 0x01010100
cp "$store" before.dat
check 1 "${data[@]}" passwd 李娜 ln-5086 ln-9999
cmp -s "$store" before.dat || fail "a refused passwd changed the data file"
# Operands after the command are never options, so a password may start with '-'.
check 0 "${data[@]}" passwd 王强 wq-2619 --data
check 0 "${data[@]}" islegal 王强 --data 0x01010000

# --- dump and catalogue ---------------------------------------------------------------------
check 0 "${data[@]}" dump
expect_out "0x01010300  设备 / 操作"
expect_out "daily window 08:00:00-17:00:00"
for password in zw-7341 ln-0417 wb-4402 zm-9157 sl-3378 4827 --data; do
    if grep -qF -- "$password" out.txt; then fail "dump shows the password $password"; fi
done

check 0 "${data[@]}" catalogue
[[ $(wc -l <out.txt) == 33 ]] || fail "catalogue has $(wc -l <out.txt) lines, expected 33"
grep -q '^0x01000000  所有' out.txt || fail "catalogue root line"
grep -q '^      0x01010201  ' out.txt || fail "catalogue level 4 indentation"

# --- receive --------------------------------------------------------------------------------
# A store without records has no object tags in its body, so its transfer form is the list
# count, the class tag of CSaveProp and the data file's bytes.
check 0 --data sender.dat passwd Admin 4827 s3cret
{
    printf '\x01\x00\xff\xff\x01\x00\x09\x00CSaveProp'
    cat sender.dat
} >transfer.bin
cp "$store" station.dat
check 0 --data station.dat receive transfer.bin
cmp -s station.dat sender.dat || fail "the received store is not the data file"
check 0 --data station.dat islegal Admin s3cret 0x01010100
check 1 --data station.dat exists 张伟 zw-7341

cp "$store" station.dat
head -c 40 transfer.bin >damaged.bin
check 1 --data station.dat receive damaged.bin
cmp -s station.dat "$store" || fail "a damaged transfer changed the data file"
check 2 --data station.dat receive no-such-transfer.bin
# A new station takes in its first store: the data file and its folder are made.
check 0 --data new-station/rights.dat receive transfer.bin
cmp -s new-station/rights.dat sender.dat || fail "the first received store is not the data file"

# --- texts that must not reach the terminal as they are -------------------------------------
escape_cases=(
    '70 A\x1B'  # ESC: valid code page 936, but a terminal control
    '94 A\xFF'  # not code page 936 at all
)
for case in "${escape_cases[@]}"; do
    read -r byte shown <<<"$case"
    store_with_admin_byte "$byte" >names.dat
    check 0 --data names.dat dump
    expect_out "administrator $shown"
done

# --- shell ----------------------------------------------------------------------------------
# shell_session ARG...: runs `wardlet ARG... shell` on this function's standard input, a pipe,
# with no display and no notice program on PATH: every dialog is cancelled at once and notices go
# to stderr. Output stays in out.txt and err.txt.
shell_session() {
    local got=0
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM PATH="$work/no-programs" \
        "$cli" "$@" shell >out.txt 2>err.txt || got=$?
    [[ $got == 0 ]] || fail "wardlet $* shell exited $got: $(cat err.txt)"
}
expect_shell_out() { [[ $(cat out.txt) == "$1" ]] || fail "shell printed: $(cat out.txt)"; }

# Without a prompt on a pipe, stdout holds the answers alone; nothing runs after quit.
shell_session "${data[@]}" <<'END'
status
whoami
login
status
passed 0x01010100 --no-dialog
passed 0x01010100
islegal Admin 4827 0x01000000
islegal 张伟 wrong 0x01010100
logout
status
quit
whoami
END
expect_shell_out "(no login or logout yet)
nobody is logged in
login cancelled
(the last login was cancelled)
refused (3)
cancelled (1)
allowed
refused
注销操作：当前无人登录！
注销操作：当前无人登录！"

# Each bad line costs one message; blanks, tabs and CR LF endings are no errors, and the last
# line counts without its newline.
{
    printf 'frobnicate now\nwhoami extra\npassed\npassed 0x01010100 --quiet\n'
    printf 'passed 0x0101010G\nislegal 😀 x 0x01010100\n\x1b[2J\n\xff\xfe\n'
    head -c 5000 /dev/zero | tr '\0' a
    printf '\n \t \r\n\twhoami \r\nwhoami'
} | shell_session "${data[@]}"
expect_shell_out "nobody is logged in
nobody is logged in"
[[ $(grep -c '^wardlet: ' err.txt) == 9 ]] || fail "shell messages: $(cat err.txt)"
expect_err "unknown command 'frobnicate' (help lists the commands)"
expect_err "usage: whoami"
expect_err "usage: passed CODE [--no-dialog]"
expect_err "'0x0101010G' is not a right code"
expect_err "code page 936 lacks"
expect_err 'control character \x1B'
expect_err "not valid UTF-8"
expect_err "longer than 4096 bytes"

# A missing data file leaves the library its default administrator, and stays missing.
printf 'help\nislegal Admin 4827 0x01000000\nexit\nwhoami\n' | shell_session --data missing.dat
expect_out "passed CODE [--no-dialog]"
[[ $(tail -n 1 out.txt) == allowed ]] || fail "shell on a missing data file: $(cat out.txt)"
[[ ! -e missing.dat ]] || fail "the shell created missing.dat"
check 2 shell extra

# --- data file errors -----------------------------------------------------------------------
for command in "islegal a b 0x01000000" "exists a b" "timesect a" "userinfo a" dump catalogue; do
    read -ra words <<<"$command"
    check 3 --data missing.dat "${words[@]}"
    expect_err "missing.dat"
done
check 3 --data "$work" dump
expect_err "directory"
check 3 dump
expect_err "$XDG_DATA_HOME/wardlet/rights.dat"
check 0 passwd Admin 4827 n3w
expect_err "created $XDG_DATA_HOME/wardlet/rights.dat"
check 0 exists Admin n3w
XDG_DATA_HOME='' check 3 dump
expect_err "$HOME/.local/share/wardlet/rights.dat"

# --- usage errors ---------------------------------------------------------------------------
usage_cases=(
    ""
    "frobnicate"
    "islegal 张伟 zw-7341"
    "dump extra"
    "userinfo a b"
    "--data"
    "--data= dump"
    "--bogus dump"
    "--force dump"
    "demo --force"
)
for case in "${usage_cases[@]}"; do
    read -ra words <<<"$case"
    check 2 "${words[@]}"
done
check 0 --help
expect_out "usage: wardlet"

if ((failures > 0)); then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "all checks passed"
