// Filled in by the numeric routines.
