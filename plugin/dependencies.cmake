# The migration feature: the value-or-error results and messages of the
# logging subsystem, the positional formatter of the binding subsystem, and the
# Windows shell and COM libraries of the shell link and path utilities:
# CoCreateInstance (ole32), PathCanonicalizeA (shlwapi),
# SHGetFolderPathA and SHChangeNotify (shell32), the shell's interface
# identifiers (uuid).
target_link_libraries(qcp_plugin PUBLIC qcp_logging qcp_binding ole32 uuid shlwapi shell32)
