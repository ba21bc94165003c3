#!/usr/bin/env bash
# Completes command lines with the bash completion made from the program's help, as bash would on a
# Tab, and checks what is offered.
#   check_completion.sh COMPLETION_FILE PROGRAM WORK_DIR
set -euo pipefail
completion=$1
program=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
export QT_QPA_PLATFORM=offscreen XDG_DATA_HOME=$work/data

# A store with a set whose name has blanks, which must come back quoted.
store=$work/lab.sqlite
"$program" --db "$store" export DefaultFragmentAnalysisParameters -o "$work/one.json" 2>/dev/null
sed 's/"DefaultFragmentAnalysisParameters"/"Lab set 2"/' "$work/one.json" >"$work/renamed.json"
"$program" --db "$store" import "$work/renamed.json" >/dev/null

# shellcheck source=/dev/null
source "$completion"

# Completes the words (the last one is being typed) and prints what is offered, one per line.
offered() {
  COMP_WORDS=("$program" "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _veltrane 2>/dev/null
  printf '%s\n' "${COMPREPLY[@]}"
}

failures=0
# words typed (| between words, the last is being completed, _ for a blank) ; offered ; not offered
while IFS=';' read -r typed expected unexpected; do
  [[ $typed == \#* ]] && continue
  IFS='|' read -r -a words <<<"$typed"
  [[ -z $typed || $typed == *'|' ]] && words+=("")
  for i in "${!words[@]}"; do
    words[i]=${words[i]//_/ }
    words[i]=${words[i]//STORE/$store}
  done
  got=$(offered "${words[@]}")
  for word in $expected; do
    grep -qxF -- "${word//_/\\ }" <<<"$got" ||
      { echo "FAIL: \"$typed\" does not offer $word; offered: $(tr '\n' ' ' <<<"$got")"; failures=$((failures + 1)); }
  done
  for word in $unexpected; do
    ! grep -qxF -- "$word" <<<"$got" ||
      { echo "FAIL: \"$typed\" offers $word"; failures=$((failures + 1)); }
  done
done <<'EOF'
;list show export import screenshot typelib;(none) FILE.json
sc;screenshot;show list
screenshot|;SelectAnalysisParameters EditAnalysisParameters SaveAnalyisParameterAs SNPLocusTagEditor;list
screenshot|EditAnalysisParameters|shot;;EditAnalysisParameters
--;--db --help --palette;--replace --output
import|--;--replace --keep-attributes --db --help --palette;--output --set --tab
screenshot|--;--set --new --tab --scale --palette --replace;--output --keep-attributes
export|-;-o --output --db --replace;--set
--palette|;desktop light dark;list
--db|STORE|show|;DefaultFragmentAnalysisParameters Lab_set_2;list
--db|STORE|show|La;Lab_set_2;DefaultFragmentAnalysisParameters
--db|STORE|show|Lab_set_2|;;DefaultFragmentAnalysisParameters
--db|STORE|export|DefaultFragmentAnalysisParameters|;DefaultFragmentAnalysisParameters Lab_set_2;
--db|STORE|--set|;DefaultFragmentAnalysisParameters;
--db|MISSING|show|;;DefaultFragmentAnalysisParameters
his;history;hide
--db|STORE|unlock|;DefaultFragmentAnalysisParameters Lab_set_2;list
--db|STORE|diff|Lab_set_2|;DefaultFragmentAnalysisParameters;list
diff|--;--revision --against --all --json --db;--reason --as
lock|--;--reason --db;--json --revision
EOF

# Completing never creates a store: neither the one named nor the default one.
[[ ! -e MISSING && ! -e $work/data/veltrane ]] || { echo "FAIL: completing created a store"; failures=$((failures + 1)); }
exit $((failures > 0))
