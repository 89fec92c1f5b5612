#include "OpenDatabase.h"

#include "Log.h"
#include "PostgresDatabase.h"
#include "SqliteDatabase.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <sys/stat.h>

namespace quillo::cloud {

namespace {

std::string databasePassword(const ServerOptions &options)
{
    std::string password;
    if (!options.databasePasswordFile.empty()) {
        std::ifstream file(options.databasePasswordFile, std::ios::binary);
        if (!file) throw std::runtime_error("the database password file cannot be read");
        password.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        struct stat st {};
        if (::stat(options.databasePasswordFile.c_str(), &st) == 0 && (st.st_mode & 077))
            log::warn("database_password_file_open_to_others", {{"mode", st.st_mode & 0777}});
        while (!password.empty() && std::isspace(static_cast<unsigned char>(password.back()))) password.pop_back();
    } else if (const char *env = std::getenv("QUILLO_DATABASE_PASSWORD")) {
        password = env;
    }
    return password;  // empty: libpq looks in PGPASSWORD and ~/.pgpass itself
}

}  // namespace

std::unique_ptr<Database> openDatabase(const ServerOptions &options)
{
    if (options.databaseUrl.empty()) return std::make_unique<SqliteDatabase>(options.dbPath);
    PostgresSettings settings;
    settings.url = options.databaseUrl;
    settings.password = databasePassword(options);
    settings.schema = options.databaseSchema;
    // One connection per worker thread, and a few for the janitor and start-up.
    settings.maxConnections = static_cast<size_t>(options.threads) + 4;
    return std::make_unique<PostgresDatabase>(std::move(settings));
}

}  // namespace quillo::cloud
