// The component library: the security component with its dialogs and the setup
// editor. Everything is in the folder libraries linked into it; this file gives the
// library its version string.
extern "C" const char* JovCSSecurityVersion() { return "1.0"; }
