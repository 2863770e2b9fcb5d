#!/usr/bin/env bash
# tests/e2e/test_bad_input.sh — texts that are not a time, typed or pasted into the entry box of the release exe under
# Wine, then "OK": each gets the "Format de l'heure incorrect !" message box, the text the program read has the
# length that went in, and the program stays alive with its clock running. Ends with a valid pasted time, which the
# program takes.
source "$(dirname "$0")/lib.sh"

MSG_TITLE_RE="^$TXT_FORMAT_TITLE\$"
MSG_CALL_RE=$(e2e_box_re "$(e2e_text_re "$TXT_FORMAT")" 00000040 "$TXT_FORMAT_TITLE")

e2e_require_exe
# clip.exe FILE: the file's text on the Windows clipboard; Ctrl+V in the entry box then pastes it
e2e_helpers CLIP=clip
HELPERS=$E2E_WORK/helpers
mkdir -p "$HELPERS"

e2e_setup
e2e_relay_include "user32.MessageBoxW;user32.GetWindowTextLengthW;shell32.Shell_NotifyIconA;user32.SetWindowTextW" || e2e_fail "set the relay filter"
e2e_start_app_traced
wid=$(e2e_wait_window) || { e2e_fail "the window appears"; e2e_finish; }
e2e_pass "the window appears"

mapped() { timeout 10 xwininfo -id "$wid" 2>/dev/null | grep -q 'Map State: IsViewable'; }
unmapped() { ! mapped; }
press_key() { timeout 10 xdotool windowfocus --sync "$1" >/dev/null 2>&1; timeout 10 xdotool key "$2"; }
clear_entry() { e2e_clear_entry "$wid"; }
type_text() { timeout 120 xdotool type --delay 30 -- "$1"; }
# paste_file FILE — the file's text onto the clipboard, then Ctrl+V into the focused entry box.
paste_file() {
    (cd "$HELPERS" && WINEDEBUG=-all timeout "$(e2e_limit 30)" wine "$CLIP" "$1" >/dev/null 2>&1) ||
        { e2e_fail "clip.exe put $(basename "$1") on the clipboard"; return 1; }
    e2e_focus "$wid"
    timeout 10 xdotool key ctrl+v
}
# The length of the entry box's text as the program read it for its last check before the message box.
length_read() {
    local n; n=$(grep -a -n -E "$MSG_CALL_RE" "$E2E_RELAY_LOG" | tail -n1 | cut -d: -f1)
    head -n "${n:-0}" "$E2E_RELAY_LOG" | grep -a -E 'Ret  user32\.GetWindowTextLengthW\(\) retval=' | tail -n1 |
        sed -E 's/.*retval=([0-9a-f]+).*/\1/' | { read -r h; [ -n "$h" ] && echo $((16#$h)); }
}

boxes=0
# refused LABEL UTF16_LENGTH — "OK", then the message box, its length read, closing it, the program alive.
refused() {
    local label=$1 len=$2 box
    e2e_click "$wid" $OK_XY
    boxes=$((boxes + 1))
    box=$(e2e_wait_window "$MSG_TITLE_RE" 10) || { e2e_fail "$label: the message box appears"; return; }
    e2e_relay_wait "$MSG_CALL_RE" 5
    e2e_assert_eq "$boxes" "$(e2e_relay_count "$MSG_CALL_RE")" "$label: message box, exact prompt, title and style"
    e2e_assert_eq "$len" "$(length_read)" "$label: the program read $len characters"
    press_key "$box" Return
    e2e_wait_no_window "$MSG_TITLE_RE" 10 || e2e_fail "$label: Enter closes the box"
    e2e_check "$label: program alive, window shown" eval 'e2e_app_running && mapped'
    e2e_check "$label: the clock keeps running" e2e_clock_runs "$wid"
}
# typed LABEL TEXT / pasted LABEL TEXT_FILE UTF16_LENGTH
typed() { clear_entry; type_text "$2"; refused "$1" "${#2}"; }
pasted() { clear_entry; paste_file "$2" && refused "$1" "$3"; }
put() { printf '%b' "$2" >"$HELPERS/$1.txt"; }

typed "24:00:00" "24:00:00"
typed "-5:00:00" "-5:00:00"
typed "8:30:00" "8:30:00"
typed "20-30-00" "20-30-00"
typed "20:30:60" "20:30:60"
typed "12:5a:00" "12:5a:00"
typed "blanks" "        "
typed "trailing blank" "20:30:00 "
clear_entry
refused "empty" 0
# The example text the box leaves behind, "OK" at once: refused in its turn.
refused "the example text" "${#TXT_EXAMPLE}"

head -c 10000 /dev/zero | tr '\0' '7' >"$HELPERS/long.txt"
pasted "10,000 characters" "$HELPERS/long.txt" 10000
put control '12:00:0\001'
pasted "a control character in place of a digit" "$HELPERS/control.txt" 8
put tab '\t12:00:00'
pasted "a leading tab" "$HELPERS/tab.txt" 9
put accented 'é2:30:00'
pasted "an accented letter" "$HELPERS/accented.txt" 8
put fullwidth '１２：３０：００'
pasted "full-width digits and colons" "$HELPERS/fullwidth.txt" 8
put arabic '٢٠:٣٠:٠٠'
pasted "Arabic-Indic digits" "$HELPERS/arabic.txt" 8
put cjk '二十時三十分'
pasted "Chinese text" "$HELPERS/cjk.txt" 6
put emoji '😀:30:00'
pasted "a character outside the BMP (8 UTF-16 units)" "$HELPERS/emoji.txt" 8

# A valid time pasted the same way is taken: the paste path delivers what it is given.
adds_before=$(e2e_relay_count 'Call shell32\.Shell_NotifyIconA\(00000000,')
put valid "$(e2e_time_in 600)"
clear_entry
paste_file "$HELPERS/valid.txt"
e2e_click "$wid" $OK_XY
e2e_check "a valid pasted time: the window goes to the notification area" e2e_wait_until 10 unmapped
e2e_assert_eq $((adds_before + 1)) "$(e2e_relay_count 'Call shell32\.Shell_NotifyIconA\(00000000,')" "a valid pasted time: the icon is added"
e2e_assert_eq "$boxes" "$(e2e_relay_count "$MSG_CALL_RE")" "a valid pasted time: no message box"

e2e_finish
