#pragma once
// A database object: one connection to the library database under an alias, found by
// queries through its database name ("VXDB", "VXLoginDb").
//
// Params are lines "NAME=value"; names match without regard to case. "USER NAME" and
// "PASSWORD" log on; other lines add to or replace the alias's settings.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/Driver.h"

namespace vx::db {

class Session;

// The value of the line NAME=value in `lines` ("" when there is none).
std::string paramValue(const std::vector<std::string>& lines, const std::string& name);
// Sets the line of that name, adding it at the end when there is none.
void setParamValue(std::vector<std::string>& lines, const std::string& name,
                   const std::string& value);

enum class TransIsolation { DirtyRead, ReadCommitted, RepeatableRead };

// Queries and stored procedures on a database: closed and unprepared when it closes.
class DataSet {
 public:
  virtual ~DataSet() = default;
  virtual void releaseConnection() = 0;
};

class Database {
 public:
  // Called before connecting when loginPrompt is on: `loginParams` holds "USER NAME" (from
  // Params) and "PASSWORD"; the handler may fill them. Throwing aborts the open.
  using LoginHandler = std::function<void(Database& db, std::vector<std::string>& loginParams)>;

  explicit Database(Session& session);
  // Closes, without the beforeDisconnect() of a derived class (which is gone by then): a
  // derived class that needs it closes in its own destructor.
  virtual ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  Session& session() const { return session_; }

  std::string databaseName;
  std::string aliasName;
  std::vector<std::string> params;
  bool loginPrompt = false;
  TransIsolation transIsolation = TransIsolation::DirtyRead;
  LoginHandler onLogin;

  // Connects with the alias and Params. Raises DbError with the engine's message; also for
  // an unknown alias, an empty database name, or a database name another open object uses.
  // Opening an open object does nothing.
  void open();
  // Closes the queries and procedures on it, then disconnects. Closing a closed one does
  // nothing.
  void close();
  bool connected() const { return connection_ != nullptr; }

  // The open connection; raises DbError when closed.
  Connection& connection();

  // Runs a script of statements (schema and data files) on the open connection.
  void executeScript(const std::string& sql);

  // Announces reading statements about to run on the open connection (Connection::prefetch);
  // does nothing when closed.
  void prefetch(const std::vector<PlannedStatement>& planned);

 protected:
  // Hooks for connections with duties of their own: called by open() before it connects,
  // and by close() while the connection is still open. An exception aborts the open or
  // the close.
  virtual void beforeConnect() {}
  virtual void beforeDisconnect() {}

 private:
  friend class DataSetBase;
  void attach(DataSet* d);
  void detach(DataSet* d);

  Session& session_;
  std::unique_ptr<Connection> connection_;
  std::vector<DataSet*> dataSets_;
};

}  // namespace vx::db
