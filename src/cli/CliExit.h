#pragma once

// The exit codes every command shares.
namespace CliExit {
enum : int {
    Ok = 0,           // the job ran to its end; findings and refusals are results
    Failed = 1,       // the job could not do its work; the last error line says why
    Usage = 2,        // the command line was wrong; its usage line follows
    ProgramDir = 3,   // the program directory is missing, unreadable, not one, or locked
    Interrupted = 130 // SIGINT or SIGTERM: finished work kept, the rest not started
};
}
