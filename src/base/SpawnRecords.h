#pragma once

#include <spawn.h>

// The file actions and attributes of one posix_spawn, initialised on construction and freed on
// every path out of the code that fills them.
struct SpawnRecords {
    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attributes{};

    SpawnRecords();
    SpawnRecords(const SpawnRecords&) = delete;
    SpawnRecords& operator=(const SpawnRecords&) = delete;
    ~SpawnRecords();
};
