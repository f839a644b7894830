# The migration feature: the host bridge its plugin object derives from,
# the value-or-error results, messages and logger of the
# logging subsystem, the positional formatter of the binding subsystem, the
# directory walk of the platform subsystem, and the
# Windows shell and COM libraries of the shell link and path utilities:
# CoCreateInstance (ole32), PathCanonicalizeA (shlwapi),
# SHGetFolderPathW and SHChangeNotify (shell32), the shell's interface
# identifiers (uuid), and the owner of the elevated pass's log file
# (GetSecurityInfo, IsWellKnownSid: advapi32).
target_link_libraries(qcp_plugin PUBLIC qcp_host qcp_platform qcp_errors qcp_binding ole32 uuid shlwapi shell32 advapi32)

# The elevated entry is referenced only by the DLL's .def file; this keeps its
# object in the DLL when the linker pulls members from the static library.
target_link_options(qcp_plugin INTERFACE "LINKER:--undefined=_MigrateEntryPoint@16")
