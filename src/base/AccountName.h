#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

// The login name of user `uid` in the password database; nothing when it has no entry there.
std::optional<std::string> accountName(uid_t uid);
