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

# check EXIT ARG...: runs the tool with standard input from $input (passwords, one a line; empty
# by default); its output stays in out.txt and err.txt.
input=
check() {
    local want=$1 got=0
    shift
    printf '%s' "$input" | "$cli" "$@" >out.txt 2>err.txt || got=$?
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
    input="$password"$'\n' check "$want" "${data[@]}" islegal "$user" "$code"
    if [[ $want == 0 ]]; then expect_out allowed; fi
    if [[ $want == 1 ]]; then expect_out refused; fi
done

# --- exists, timesect, userinfo -------------------------------------------------------------
input=$'wq-2619\n' check 0 "${data[@]}" exists 王强
expect_out valid
input=$'wq-2618\n' check 1 "${data[@]}" exists 王强
expect_out invalid
# The password without its line end, and with CR LF, is the same password.
input='wq-2619' check 0 "${data[@]}" exists 王强
input=$'wq-2619\r\n' check 0 "${data[@]}" exists 王强
check 2 "${data[@]}" exists 王强
expect_err "standard input ended before the password of 王强"

# --- passwords given as arguments are refused, before anything is read or changed -----------
cp "$store" before.dat
argument_cases=(
    "islegal 张伟 zw-7341 0x01010100"
    "exists 王强 wq-2619"
    "passwd 李娜 ln-5086 ln-0417"
)
for case in "${argument_cases[@]}"; do
    read -ra words <<<"$case"
    check 2 "${data[@]}" "${words[@]}"
    expect_err "takes no password as an argument"
    expect_err "standard input"
done
cmp -s "$store" before.dat || fail "a refused password argument changed the data file"

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
input=$'ln-5086\nln-0417\n' check 0 "${data[@]}" passwd 李娜
expect_out "password changed"
input=$'ln-5086\n' check 1 "${data[@]}" islegal 李娜 0x01010100
input=$'ln-0417\n' check 0 "${data[@]}" islegal 李娜 0x01010100
cp "$store" before.dat
input=$'ln-5086\nln-9999\n' check 1 "${data[@]}" passwd 李娜
cmp -s "$store" before.dat || fail "a refused passwd changed the data file"
input=$'ln-0417\n' check 2 "${data[@]}" passwd 李娜
expect_err "standard input ended before the new password"
cmp -s "$store" before.dat || fail "a passwd without its new password changed the data file"
# A password read from a line may start with '-' or hold blanks.
input=$'wq-2619\n--data x\n' check 0 "${data[@]}" passwd 王强
input=$'--data x\n' check 0 "${data[@]}" islegal 王强 0x01010000

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
input=$'4827\ns3cret\n' check 0 --data sender.dat passwd Admin
{
    printf '\x01\x00\xff\xff\x01\x00\x09\x00CSaveProp'
    cat sender.dat
} >transfer.bin
cp "$store" station.dat
check 0 --data station.dat receive transfer.bin
cmp -s station.dat sender.dat || fail "the received store is not the data file"
input=$'s3cret\n' check 0 --data station.dat islegal Admin 0x01010100
input=$'zw-7341\n' check 1 --data station.dat exists 张伟

cp "$store" station.dat
head -c 40 transfer.bin >damaged.bin
check 1 --data station.dat receive damaged.bin
cmp -s station.dat "$store" || fail "a damaged transfer changed the data file"
check 2 --data station.dat receive no-such-transfer.bin
# A new station takes in its first store: the data file and its folder are made.
check 0 --data new-station/rights.dat receive transfer.bin
cmp -s new-station/rights.dat sender.dat || fail "the first received store is not the data file"

# --- export ---------------------------------------------------------------------------------
check 0 "${data[@]}" export exported.bin
[[ $(stat -c %a exported.bin) == 600 ]] || fail "export is not mode 0600"
check 0 --data offline.dat receive exported.bin
cmp -s offline.dat "$store" || fail "an exported store received elsewhere is not the data file"
chmod 644 exported.bin
check 0 "${data[@]}" export exported.bin
[[ $(stat -c %a exported.bin) == 600 ]] || fail "export left an existing file readable by others"
check 2 "${data[@]}" export "$store"
cmp -s offline.dat "$store" || fail "export over the data file changed it"
head -c 30 "$store" >cut.dat
check 3 --data cut.dat export cut.bin
[[ ! -e cut.bin ]] || fail "export of a damaged store wrote a file"

# --- administration -------------------------------------------------------------------------
cp "$store" admin.dat
adm=(--data admin.dat)
# admin_case EXIT STDIN ARG...: the change, then the data file must be unchanged unless EXIT is 0.
admin_case() {
    local want=$1 stdin
    printf -v stdin "$2"
    shift 2
    cp admin.dat admin-before.dat
    input="$stdin" check "$want" "${adm[@]}" "$@"
    if [[ $want != 0 ]] && ! cmp -s admin.dat admin-before.dat; then
        fail "refused 'wardlet $*' changed the data file"
    fi
}
admin_case 0 '4827\nxr-1\n' user add '  新人  ' --remark 夜班 --group 操作员 --group 工程师 --daily 22:00:00-23:30:00
expect_out "user 新人 added as number 6"
check 0 "${adm[@]}" user list --json
grep -q '"name": "新人"' out.txt || fail "user list --json lacks the new user: $(cat out.txt)"
grep -q '"from": "22:00:00"' out.txt || fail "the new user's daily window: $(cat out.txt)"
input=$'xr-1\n' check 0 "${adm[@]}" exists 新人
check 0 "${adm[@]}" timesect 新人 --json
grep -q '"kind": "daily"' out.txt || fail "timesect --json: $(cat out.txt)"
refusal_cases=(
    "1|wrong|user add 某人"                                    # wrong administrator password
    "1|4827|user add 某人 --admin 张伟"                         # not the administrator
    "1|4827\nx\n|user add 新人"                                 # the name is taken
    "1|4827\nx\n|user add '   '"                                # blank after trimming
    "1|4827\nx\n|user add $(printf 'a%.0s' {1..65})"             # 65 bytes
    "1|4827\n$(printf 'p%.0s' {1..65})\n|user add 某人"          # a 65-byte password
    "1|4827\nx\n|user add 某人 --daily 17:00:00-08:00:00"        # ends before it begins
    "1|4827\nx\n|user add 某人 --period '2025-02-01 00:00:00' '2025-01-01 00:00:00'"
    "2|4827\nx\n|user add 某人 --period '2025-02-30 00:00:00' '2025-03-01 00:00:00'"
    "2|4827\nx\n|user add 某人 --daily 25:00:00-26:00:00"
    "1|4827\nx\n|user add 某人 --group 无此组"
    "2|4827\nx\n|user add 😀"
    "1|4827|user set 无名 --remark x"
    "1|4827|user del 无名"
    "1|4827|group add 操作员"
    "1|4827|group add ' '"
    "2|4827|group grant 操作员 0x01990000"
    "2|4827|group grant 操作员 0x0101010G"
    "1|4827|group revoke 管理组 0x01010100"
    "1|4827|group del 无此组"
    "2||user add 某人"                                          # input ends before the password
)
for case in "${refusal_cases[@]}"; do
    IFS='|' read -r want stdin command <<<"$case"
    eval "words=($command)"
    admin_case "$want" "$stdin" "${words[@]}"
done
admin_case 0 '4827\n' user set 新人 --rename 新人甲 --remark 白班 --permanent --no-groups
admin_case 0 '4827\nxr-2\n' user set 新人甲 --password --group 管理组 --period '2025-01-01 08:00:00' 2035-01-01T08:00:00
input=$'xr-2\n' check 0 "${adm[@]}" islegal 新人甲 0x01050300
check 0 "${adm[@]}" user list
expect_out "period 2025-01-01 08:00:00 to 2035-01-01 08:00:00"
echo 4827 >admin-password
chmod 600 admin-password
admin_case 0 "" group add 巡检 --desc 巡视检查 --admin-password-file admin-password
expect_out "group 巡检 added as number 3"
admin_case 0 '4827\n' group grant 巡检 0x01010100 01040200
admin_case 0 '4827\n' user set 新人甲 --group 巡检
input=$'xr-2\n' check 0 "${adm[@]}" islegal 新人甲 0x01010100
admin_case 0 '4827\n' group revoke 巡检 0x01010100
input=$'xr-2\n' check 1 "${adm[@]}" islegal 新人甲 0x01010100
admin_case 0 '4827\n' group set 巡检 --rename 巡检组 --desc 夜间
check 0 "${adm[@]}" group list --json
grep -q '"name": "巡检组"' out.txt || fail "group set: $(cat out.txt)"
grep -q '"0x01040200"' out.txt || fail "group list --json rights: $(cat out.txt)"
admin_case 0 '4827\n' group del 巡检组
check 0 "${adm[@]}" user list
grep -q '新人甲 *- ' out.txt || fail "deleting a group left its memberships: $(cat out.txt)"
admin_case 0 '4827\n' user del 新人甲
input=$'xr-2\n' check 1 "${adm[@]}" exists 新人甲
# The lowest free number is taken again.
admin_case 0 '4827\nq\n' user add 又一人
expect_out "number 6"
# The store's own flags close the pages' editing, and the command line's too: administrator "A",
# password "x", no editing of groups, rights or users, no records.
{
    printf '\x01\x2a\x01\x13'
    printf '\x00\x00\x00\x00%.0s' 1 2 3
    printf '\x00\x00%.0s' 1 2 3 4
    printf '\x01\x00\x00\x00\x03\x00\x00\x00'
} >locked.dat
cp locked.dat locked-before.dat
input=$'x\n' check 1 --data locked.dat group add 组
expect_err "does not allow editing groups"
input=$'x\ny\n' check 1 --data locked.dat user add 某人
expect_err "does not allow editing users"
cmp -s locked.dat locked-before.dat || fail "a change the store's flags forbid was saved"
check 0 --data locked.dat dump --json
grep -q '"edit_users": false' out.txt || fail "dump --json settings: $(cat out.txt)"
check 0 --data admin.dat catalogue --json
[[ $(grep -c '"code"' out.txt) == 33 ]] || fail "catalogue --json entries: $(grep -c '"code"' out.txt)"

# --- audit ----------------------------------------------------------------------------------
check 0 "${adm[@]}" audit verify
expect_out "is whole"
check 0 "${adm[@]}" audit --json
grep -q '"event": "cli-change"' out.txt || fail "audit --json: $(head -c 400 out.txt)"
grep -q '"users_added": "新人"' out.txt || fail "audit of user add: $(grep users_added out.txt)"
grep -q '"outcome": "refused"' out.txt || fail "a wrong administrator pair is not audited"
for password in xr-1 xr-2; do
    if grep -qF -- "$password" admin.dat.audit; then fail "the audit trail holds the password $password"; fi
done
check 0 "${adm[@]}" audit --since 2000-01-01
[[ -s out.txt ]] || fail "audit --since 2000-01-01 shows nothing"
check 0 "${adm[@]}" audit --since '2037-12-31 00:00:00'
[[ ! -s out.txt ]] || fail "audit --since the future shows: $(cat out.txt)"
check 2 "${adm[@]}" audit --since yesterday
lines=$(wc -l <admin.dat.audit)
cp admin.dat.audit trail.keep
# tamper_case HOW LINE: breaks the trail a way and expects verify to name LINE.
tamper_case() {
    cp trail.keep admin.dat.audit
    case $1 in
        edit) sed -i "$2s/\"pid\":[0-9]*/\"pid\":1/" admin.dat.audit ;;
        delete) sed -i "$2d" admin.dat.audit ;;
        cut) head -c -5 trail.keep >admin.dat.audit ;;
        drop) head -n "$2" trail.keep >admin.dat.audit ;;
    esac
    check 1 "${adm[@]}" audit verify
    expect_err "$3"
}
tamper_case edit 3 "broken at record 4 (line 4)"
tamper_case delete 3 "broken at record 3 (line 3)"
tamper_case cut 0 "broken at record $lines (line $lines)"
tamper_case drop 4 "the records after it were cut off"
tamper_case edit "$lines" "it was edited"
cp trail.keep admin.dat.audit
check 0 "${adm[@]}" audit verify
# Four processes at once, each appending records of refused changes, leave one whole chain.
for writer in 1 2 3 4; do
    (for _ in 1 2 3 4 5 6 7 8; do
        printf 'wrong\n' | "$cli" "${adm[@]}" user del 无名 >/dev/null 2>&1 || true
    done) &
done
wait
check 0 "${adm[@]}" audit verify
expect_out "$((lines + 32)) record(s)"
check 0 --data nowhere.dat audit
expect_err "no audit trail"
check 1 --data nowhere.dat audit verify

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
islegal Admin 0x01000000
4827
islegal 张伟 0x01010100
wrong
islegal 张伟 zw-7341 0x01010100
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
    printf 'passed 0x0101010G\nislegal 😀 0x01010100\n\x1b[2J\n\xff\xfe\n'
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
printf 'help\nislegal Admin 0x01000000\n4827\nexit\nwhoami\n' | shell_session --data missing.dat
expect_out "passed CODE [--no-dialog]"
expect_out "islegal USER CODE"
[[ $(tail -n 1 out.txt) == allowed ]] || fail "shell on a missing data file: $(cat out.txt)"
[[ ! -e missing.dat ]] || fail "the shell created missing.dat"
check 2 shell extra

# --- data file errors -----------------------------------------------------------------------
for command in "islegal a 0x01000000" "exists a" "timesect a" "userinfo a" dump catalogue \
    "user list" "group list" "export x.bin"; do
    read -ra words <<<"$command"
    check 3 --data missing.dat "${words[@]}"
    expect_err "missing.dat"
done
check 3 --data "$work" dump
expect_err "directory"
check 3 dump
expect_err "$XDG_DATA_HOME/wardlet/rights.dat"
input=$'4827\nn3w\n' check 0 passwd Admin
expect_err "created $XDG_DATA_HOME/wardlet/rights.dat"
input=$'n3w\n' check 0 exists Admin
XDG_DATA_HOME='' check 3 dump
expect_err "$HOME/.local/share/wardlet/rights.dat"

# --- usage errors ---------------------------------------------------------------------------
usage_cases=(
    ""
    "frobnicate"
    "islegal 张伟"
    "dump extra"
    "user"
    "user frob"
    "user add"
    "user add a b"
    "group grant 操作员"
    "user set a --permanent --daily 08:00:00-09:00:00"
    "user set a --group g --no-groups"
    "user add a --period 2024-01-01"
    "dump --admin x"
    "audit verify extra"
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
