#!/bin/sh
# `cmake --install` as a user meets it, into a scratch root (DESTDIR): the
# plug-in goes to the first folder of the VST_PATH of the moment (read again at
# every install, not at configure), else to ~/.vst; cantilo goes to a folder a
# new login shell finds on its PATH; install-folders.txt says where both went.
set -eu
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root
home=$scratch/home
mkdir -p "$home"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

install_with() { # VST_PATH value ("" for unset)
  if [ -n "$1" ]; then
    env HOME="$home" VST_PATH="$1" DESTDIR="$root" cmake --install "$build" >/dev/null
  else
    env -u VST_PATH HOME="$home" DESTDIR="$root" cmake --install "$build" >/dev/null
  fi
}

expect_plugin() { # folder
  [ -f "$root$1/CantiloVST.so" ] || fail "no plug-in in $1"
  grep -qx "plugin=$root$1/CantiloVST.so" "$build/install-folders.txt" ||
    fail "install-folders.txt does not name $1: $(cat "$build/install-folders.txt")"
}

install_with "$scratch/first:$scratch/second"
expect_plugin "$scratch/first"
[ ! -e "$root$scratch/second/CantiloVST.so" ] || fail "installed into the second folder of VST_PATH"
install_with "$scratch/later"
expect_plugin "$scratch/later"
install_with ""
expect_plugin "$home/.vst"

program=$(sed -n 's/^program=//p' "$build/install-folders.txt")
folder=$(dirname "${program#"$root"}")
[ -x "$program" ] || fail "cantilo not installed at $program"
"$program" --version | grep -q "GPL-3.0-or-later" || fail "the installed cantilo does not run"
if [ "$(id -u)" -eq 0 ]; then
  # Root's login shell starts from the system's PATH, which holds /usr/local/bin.
  login_path=$(env -i HOME="$home" sh -lc 'echo "$PATH"')
  case ":$login_path:" in
    *":$folder:"*) ;;
    *) fail "cantilo went to $folder, not on a new shell's PATH ($login_path)" ;;
  esac
else
  case "$folder" in
    /usr/local/bin | "$home/.local/bin") ;;
    *) fail "cantilo went to $folder" ;;
  esac
fi

[ "$failures" -eq 0 ] && echo "install folders: all checks passed"
exit "$failures"
