#include "base/SpawnRecords.h"

SpawnRecords::SpawnRecords() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
}

SpawnRecords::~SpawnRecords() {
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
}
