# Sourced by the end-to-end checks.
#
# plant_installation ROOT PLUGIN_HOST DLL: a client installation as the
# migration's elevated copy expects it: the legacy and new executables in
# ROOT, plugin-host.exe in ROOT/Client with the DLL in its Plugins folder, and
# the client's current directory six folders below ROOT (printed).
plant_installation() {
  local root="$1" plugin_host="$2" dll="$3"
  local run_dir="$root/Client/Game/Data/Cache/Work/Run"
  mkdir -p "$root/Client/Plugins/qcp-be-qel-beta-opt-in" "$run_dir" "$root/Launcher"
  cp "$plugin_host" "$root/Client/plugin-host.exe"
  cp "$dll" "$root/Client/Plugins/qcp-be-qel-beta-opt-in/qcp-be-qel-beta-opt-in.dll"
  local exe
  for exe in Tessaryn.exe TessarynClient.exe Launcher/QelLauncher.exe; do printf 'MZ' >"$root/$exe"; done
  printf '%s\n' "$run_dir"
}

