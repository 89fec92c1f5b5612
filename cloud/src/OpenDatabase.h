#pragma once
// The database the options name: SQLite at a path, or PostgreSQL at a URL with its password
// from a file or the environment.
#include "Database.h"
#include "ServerOptions.h"

#include <memory>

namespace quillo::cloud {

std::unique_ptr<Database> openDatabase(const ServerOptions &options);

}  // namespace quillo::cloud
