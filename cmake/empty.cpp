// Keeps the core library valid while a folder is still empty.
