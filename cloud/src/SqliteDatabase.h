#pragma once
// SQLite: WAL mode lets readers run beside the one writer; write transactions of this process
// queue for each other on one lock instead of meeting in SQLite's busy handler, which sleeps a
// millisecond and more at each retry: under load that was most of a request's tail.
#include "Database.h"

#include <mutex>
#include <string>

namespace quillo::cloud {

class SqliteDatabase : public Database {
public:
    explicit SqliteDatabase(std::string path, int busyTimeoutMs = 5000);
    Dialect dialect() const override { return Dialect::sqlite; }
    std::string name() const override { return "sqlite"; }
    const std::string &path() const { return path_; }

protected:
    std::unique_ptr<Connection> open() override;

private:
    std::string path_;
    int busyTimeoutMs_;
    std::recursive_mutex writers_;
};

}  // namespace quillo::cloud
