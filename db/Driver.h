#pragma once
// The interface every engine driver offers: a connection that prepares statements written
// in the program's dialect (SqlText.h), runs stored procedures and scripts.
//
// Ownership: statements belong to their connection and must be destroyed before it.
// Every failure raises DbError carrying the engine's message.
#include <memory>
#include <string>
#include <vector>

#include "db/SqlText.h"
#include "db/Value.h"

namespace vx::db {

// A whole result: column names and rows of values (results here are small).
struct ResultSet {
  std::vector<std::string> columns;
  std::vector<std::vector<Value>> rows;
};

enum class ParamDirection { Input, InputOutput };

struct ProcParamDecl {
  std::string name;
  DataType type = DataType::Unknown;
  ParamDirection direction = ParamDirection::Input;
};

class Statement {
 public:
  virtual ~Statement() = default;
  // Runs the statement with one value per parameter, in the order parameterNames() of its
  // text lists them. Returns the rows (none for a statement without result).
  virtual ResultSet execute(const std::vector<Value>& args) = 0;
};

class ProcedureCall {
 public:
  virtual ~ProcedureCall() = default;
  // Runs the procedure with one value per declared parameter; afterwards the in-out
  // entries of `args` hold what the procedure returned. Returns the rows it answered with.
  virtual ResultSet execute(std::vector<Value>& args) = 0;
};

// What a connection is opened with: the alias's settings merged with the database
// object's parameters (the latter win), names as written (matched without regard to case).
struct ConnectParams {
  std::vector<std::pair<std::string, std::string>> values;
  std::string value(const std::string& name) const;  // "" when absent
};

// A statement its caller is about to run, in the program's dialect, with one value per
// parameter in the order its text names them.
struct PlannedStatement {
  std::string sql;
  std::vector<Value> args;
};

class Connection {
 public:
  virtual ~Connection() = default;
  virtual Dialect dialect() const = 0;
  // Prepares one statement of the program's dialect.
  virtual std::unique_ptr<Statement> prepare(const std::string& sql) = 0;
  // Prepares a call of a stored procedure with parameters in declaration order.
  virtual std::unique_ptr<ProcedureCall> prepareProcedure(
      const std::string& name, const std::vector<ProcParamDecl>& params) = 0;
  // Runs several statements without parameters (schema and data files).
  virtual void executeScript(const std::string& sql) = 0;
  // The name the connection is logged on with.
  virtual std::string userName() const = 0;

  // Announces the statements about to run, in the order they will run, so that a driver
  // whose engine answers over a network can send them together and keep the answers. A
  // statement then run with the same text and arguments as the next kept answer gets that
  // answer (or its error) without asking again; any other statement or call first drops
  // every kept answer, so an answer is never older than the last thing the connection did.
  // Only statements that change nothing may be announced. By default nothing is sent ahead.
  virtual void prefetch(const std::vector<PlannedStatement>& planned) { (void)planned; }

  // Prepares and runs one statement.
  ResultSet run(const std::string& sql, const std::vector<Value>& args = {}) {
    return prepare(sql)->execute(args);
  }
};

}  // namespace vx::db
