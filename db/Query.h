#pragma once
// Queries and stored procedures: statements on a database object found by database name.
//
// A query's text is a list of lines joined with line breaks. Its `:Name` parameters (outside
// literals) are found in the text; set them by name before opening. A query is prepared
// once and stays prepared until its text changes, it is destroyed, or its database closes.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/Database.h"
#include "db/Driver.h"
#include "db/StatementCount.h"
#include "db/Value.h"

namespace vx::db {

class Session;

class Param {
 public:
  Param(std::string name, DataType type, ParamDirection dir = ParamDirection::Input)
      : name_(std::move(name)), type_(type), direction_(dir) {}

  const std::string& name() const { return name_; }
  DataType dataType() const { return type_; }
  void setDataType(DataType t) { type_ = t; }
  ParamDirection direction() const { return direction_; }

  // Setting a value also sets the data type when it was unknown.
  void setInteger(int64_t v) { set(Value::integer(v), DataType::Integer); }
  void setString(std::string v) { set(Value::text(std::move(v)), DataType::String); }
  void setDateTime(const DateTime& v) { set(Value::dateTime(v), DataType::DateTime); }
  void setNull() { set(Value::null(), type_); }
  void setValue(Value v) {
    const DataType t = v.type();
    set(std::move(v), t);
  }
  // Reads as fields do: null as 0 or "".
  int64_t asInteger() const { return value_.asInteger(); }
  std::string asString() const { return value_.asString(); }
  DateTime asDateTime() const { return value_.asDateTime(); }
  bool isNull() const { return value_.isNull(); }
  bool isBound() const { return bound_; }
  const Value& value() const { return value_; }

 private:
  void set(Value v, DataType t) {
    value_ = std::move(v);
    if (type_ == DataType::Unknown) type_ = t;
    bound_ = true;
  }
  std::string name_;
  DataType type_;
  ParamDirection direction_;
  Value value_;
  bool bound_ = false;
};

// One field of the current row. A null reads as 0, "" or the zero date-time; so does every
// field when the query is positioned after its last row.
class Field {
 public:
  Field(std::string name, Value v) : name_(std::move(name)), value_(std::move(v)) {}
  const std::string& name() const { return name_; }
  bool isNull() const { return value_.isNull(); }
  int64_t asInteger() const { return value_.asInteger(); }
  double asFloat() const { return value_.asFloat(); }
  std::string asString() const { return value_.asString(); }
  DateTime asDateTime() const { return value_.asDateTime(); }
  const Value& value() const { return value_; }

 private:
  std::string name_;
  Value value_;
};

// Shared by Query and StoredProc: the database lookup and the parameter list.
class DataSetBase : public DataSet {
 public:
  explicit DataSetBase(Session& session) : session_(session) {}
  ~DataSetBase() override;
  DataSetBase(const DataSetBase&) = delete;
  DataSetBase& operator=(const DataSetBase&) = delete;

  std::string databaseName;

  std::vector<Param>& params() { return params_; }
  // The parameter of that name (case-insensitive); raises DbError
  // "Parameter '<name>' not found".
  Param& paramByName(const std::string& name);

 protected:
  // The open database object of `databaseName`, opened now if it is closed.
  Database& database();
  void releaseConnection() override;
  virtual void dropPrepared() = 0;

  Session& session_;
  Database* attached_ = nullptr;
  std::vector<Param> params_;
};

class Query : public DataSetBase {
 public:
  explicit Query(Session& session);
  ~Query() override;

  // The statement, one entry per line. Setting it closes and unprepares the query and
  // makes a new parameter list from the text (values of parameters of the same name stay).
  void setSql(std::vector<std::string> lines);
  void setSql(const std::string& text) { setSql(std::vector<std::string>{text}); }
  const std::vector<std::string>& sql() const { return sql_; }
  std::string text() const;

  // Prepares once. Raises DbError with the engine's message.
  void prepare();
  bool prepared() const { return statement_ != nullptr; }
  void unprepare();

  // Runs the statement and positions on the first row. Raises DbError for a parameter
  // without a value ("No value for parameter '<name>'") and for engine errors.
  void open();
  // Runs a statement without result (inserts).
  void execSql();
  void close();
  bool active() const { return active_; }

  bool eof() const { return !active_ || row_ >= result_.rows.size(); }
  void next();
  void first() { row_ = 0; }
  size_t recordCount() const { return result_.rows.size(); }

  size_t fieldCount() const { return result_.columns.size(); }
  // Fields of the current row by name (case-insensitive; raises DbError
  // "Field '<name>' not found") or by position (raises DbError when out of range).
  Field fieldByName(const std::string& name) const;
  Field field(size_t index) const;

 private:
  void dropPrepared() override;
  std::vector<Value> arguments() const;
  void requireActive() const;

  std::vector<std::string> sql_;
  std::unique_ptr<Statement> statement_;
  ResultSet result_;
  size_t row_ = 0;
  bool active_ = false;
};

class StoredProc : public DataSetBase {
 public:
  explicit StoredProc(Session& session);
  ~StoredProc() override;

  // Setting the name unprepares the procedure.
  void setProcName(std::string name);
  const std::string& procName() const { return procName_; }
  // Declares the next parameter, in the order the procedure declares them.
  Param& addParam(const std::string& name, DataType type,
                  ParamDirection direction = ParamDirection::Input);

  void prepare();
  bool prepared() const { return call_ != nullptr; }
  void unprepare();
  // Runs the procedure; afterwards the in-out parameters hold what it returned. A parameter
  // without a value goes in as null.
  void execProc();
  // Whether the last execProc's answer gave the in-out parameter `name` a value that is not
  // null. A procedure that answers no row, fewer values, or null leaves it unanswered: the
  // parameter then holds what went in (or null).
  bool answered(const std::string& name) const;

 private:
  void dropPrepared() override;

  std::string procName_;
  std::unique_ptr<ProcedureCall> call_;
  ResultSet answer_;
};

}  // namespace vx::db
