#pragma once

// What the tool reaches outside itself by absolute path: the port helper and its polkit action,
// pkexec, pkcheck, and the socket each write to a reader is logged to. The installed programs link
// the paths of the installation; the copies of the programs that the tests run link those of the
// test build's stand-ins. Nothing else in the program knows them.
struct ProgramPaths {
    const char* portioHelper;
    const char* portioAction;
    const char* pkexec;
    const char* pkcheck;
    const char* syslogSocket;
};

const ProgramPaths& programPaths();
