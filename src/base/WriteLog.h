#pragma once

#include <string>
#include <vector>

// One write to a reader, as the system log records it. Only names and words: never card data.
struct ReaderWrite {
    std::string command; // "program", "apply", "reset", "station", "window program", ...
    std::string port;    // "COM3", a device path, or "keyboard"
    std::string device;  // the device node the port leads to, where known
    std::string outcome; // a single word: "ok", "changed", "failed", ...
    // The names of the settings that changed; where they are not known, `what` says what was
    // written ("all" settings, the "factory" values).
    std::vector<std::string> changed;
    std::string what;
};

// Every write to a reader leaves one line in the system log, so that the journal tells which
// reader was changed, when, by whom and how. The line is a syslog datagram (facility user,
// severity notice, tagged with the program's name and process id) sent to the system's log
// socket, /dev/log, without waiting; test builds name a socket of their own when they are
// configured, as they name the programs they run. A log that cannot be reached loses the line
// and nothing else.
class WriteLog {
public:
    static void record(const ReaderWrite& write);
    // The line's text: "command=program port=COM3 ... user=alice(1000) sudo_user=bob ...".
    static std::string message(const ReaderWrite& write);

private:
    // "uid=0 user=root", and sudo_user= or login_uid= where they tell of someone else.
    static std::string who();
};
