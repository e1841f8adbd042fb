#include "tools/vxsql/CommandLine.h"

#include "db/Database.h"

#include <charconv>
#include <cstdint>
#include <string_view>

using namespace vx::db;

namespace vx::tools::vxsql {

namespace {

std::pair<std::string, std::optional<std::string>> splitAssignment(const std::string& text) {
  const auto eq = text.find('=');
  if (eq == std::string::npos) return {text, std::nullopt};
  return {text.substr(0, eq), text.substr(eq + 1)};
}

DataType typeNamed(const std::string& name) {
  if (sameName(name, "integer")) return DataType::Integer;
  if (sameName(name, "string")) return DataType::String;
  if (sameName(name, "datetime")) return DataType::DateTime;
  throw UsageError("unknown type \"" + name + "\" (integer, string or datetime)");
}

std::optional<int64_t> parseInteger(std::string_view s) {
  int64_t v = 0;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
  return v;
}

// Text that reads back exactly as written from the integer: "0", "42", "-7", not "007" or
// "+7". Barcodes with leading zeros stay strings.
bool isPlainInteger(std::string_view s) {
  if (!parseInteger(s)) return false;
  const std::string_view digits = s.front() == '-' ? s.substr(1) : s;
  return !digits.empty() && (digits == "0" || digits.front() != '0') && s != "-0";
}

}  // namespace

Value valueOf(const ParamArg& p) {
  const std::string& text = *p.value;
  switch (p.type) {
    case DataType::Integer:
      if (auto v = parseInteger(text)) return Value::integer(*v);
      throw UsageError("the value of " + p.name + " is not an integer: \"" + text + "\"");
    case DataType::DateTime:
      if (auto v = DateTime::parse(text)) return Value::dateTime(*v);
      throw UsageError("the value of " + p.name + " is not a date-time: \"" + text + "\"");
    case DataType::String: return Value::text(text);
    default: return isPlainInteger(text) ? Value::integer(*parseInteger(text)) : Value::text(text);
  }
}

Options parse(const std::vector<std::string>& args) {
  Options o;
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, DataType>> types;
  bool optionsEnded = false;
  Arguments a(args);
  while (a.next()) {
    const std::string& arg = a.current();
    if (optionsEnded || !a.looksLikeOption()) {
      positional.push_back(arg);
      continue;
    }
    if (a.is({"--"})) {
      optionsEnded = true;
      continue;
    }
    if (auto userArg = a.value("-U")) {
      o.user = userArg;
    } else if (auto passwordArg = a.value("-P")) {
      o.password = passwordArg;
    } else if (auto passwordFileArg = a.value("--password-file")) {
      o.passwordFile = passwordFileArg;
    } else if (auto procArg = a.value("--proc")) {
      if (o.proc) throw UsageError("--proc is given twice");
      o.proc = procArg;
      if (o.proc->empty()) throw UsageError("--proc needs a procedure name");
    } else if (a.is({"-p", "--inout"})) {
      const bool input = a.is({"-p"});
      const std::string option = arg;
      auto [name, v] = splitAssignment(*a.value(option));
      if (name.empty()) throw UsageError(option + " needs Name=value");
      if (input && !v) throw UsageError("-p " + name + " needs a value: -p " + name + "=value");
      for (const auto& p : o.params)
        if (sameName(p.name, name)) throw UsageError("the parameter " + name + " is given twice");
      o.params.push_back({name, v, input ? ParamDirection::Input : ParamDirection::InputOutput, DataType::Unknown});
    } else if (auto typeArg = a.value("--type")) {
      auto [name, t] = splitAssignment(*typeArg);
      if (name.empty() || !t) throw UsageError("--type needs Name=integer|string|datetime");
      types.emplace_back(name, typeNamed(*t));
    } else if (a.is({"-h", "--help"})) {
      throw UsageError("");
    } else if (a.is({"--version"})) {
      o.version = true;
    } else {
      a.unknownOption();
    }
  }
  if (o.version) return o;
  if (positional.empty()) throw UsageError("no ALIAS given");
  o.alias = positional[0];
  if (positional.size() > 2)
    throw UsageError("unexpected argument \"" + positional[2] +
                     "\" (quote the statement as one argument)");
  if (positional.size() == 2) o.sql = positional[1];
  if (o.sql && o.proc) throw UsageError("give either a statement or --proc, not both");
  if (!o.sql && !o.proc) throw UsageError("no statement given (and no --proc)");
  if (o.sql)
    for (const auto& p : o.params)
      if (p.direction == ParamDirection::InputOutput)
        throw UsageError("--inout belongs to --proc; a statement takes -p");
  for (const auto& [name, type] : types) {
    bool found = false;
    for (auto& p : o.params)
      if (sameName(p.name, name)) {
        p.type = type;
        found = true;
      }
    if (!found) throw UsageError("--type " + name + ": no -p or --inout gives " + name);
  }
  return o;
}

}  // namespace vx::tools::vxsql
