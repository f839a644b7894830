# Sourced by the scripts that run Windows programs: a throwaway 32-bit Wine
# prefix with HOME in a temp folder, so nothing reaches the real home folder.

export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
# winemenubuilder would drop .desktop files beside every new shortcut.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"

# wine_prefix_start DIR LOG: creates a fresh prefix in DIR and keeps one
# wineserver alive for the run. Background Wine processes inherit the output of
# whatever starts them, so all of it goes to LOG, never to the caller's pipes.
wine_prefix_start() {
  local dir="$1" log="$2"
  rm -rf "$dir"
  mkdir -p "$dir/home"
  export WINEPREFIX="$dir/prefix"
  export HOME="$dir/home"
  {
    wineboot --init
    # Waits for the first server to exit; it would never return once a
    # persistent server runs, so -p comes only after it.
    wineserver -w
  } </dev/null >>"$log" 2>&1
  # A new prefix links Desktop, Documents and the others to $HOME: make them
  # real folders inside the prefix.
  local user_dir
  for user_dir in "$WINEPREFIX"/drive_c/users/*; do
    [ -d "$user_dir" ] || continue
    local link
    for link in "$user_dir"/*; do
      if [ -L "$link" ]; then rm -f "$link"; mkdir -p "$link"; fi
    done
  done
  wineserver -p </dev/null >>"$log" 2>&1
  # Start Wine's background services once, detached from the caller's pipes.
  wine cmd.exe /c exit </dev/null >>"$log" 2>&1 || true
}

# wine_prefix_user: the name of the prefix's user folder under drive_c/users.
wine_prefix_user() {
  (cd "$WINEPREFIX/drive_c/users" && ls | grep -vx Public | head -n1)
}

wine_prefix_stop() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  wineserver -k </dev/null >/dev/null 2>&1 || true
  wineserver -w </dev/null >/dev/null 2>&1 || true
}
