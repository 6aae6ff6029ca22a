// (subsystem routines)
