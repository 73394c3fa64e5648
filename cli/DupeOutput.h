#pragma once
// What kestrel-dupe prints on standard output: entries as "DATE_STR DIR" lines or as JSON
// objects, or the count. Server texts are shown as plain text, control characters escaped.
#include <cstdio>
#include <string>

class DupeOutput {
 public:
  DupeOutput(std::FILE* out, bool json) : m_out(out), m_json(json) {}

  void Entry(const std::string& id, const std::string& date, const std::string& dateStr,
             const std::string& dir);
  // count and total are decimal texts; total is only printed as JSON.
  void Count(const std::string& count, const std::string& total);
  // False once a write failed; errno then tells why.
  bool Flush();

  // A server's text as one line that carries nothing a terminal acts on, escaped as the session
  // log escapes it: the one place that decides how.
  static std::string Shown(const std::string& text);
  // Writes "kestrel-dupe: <line>" on err, Shown, so that it stays one line.
  static void ErrorLine(std::FILE* err, const std::string& line);
  // text, Shown, as a JSON string (quotes included); bytes that are no UTF-8 appear as \xNN.
  static std::string JsonString(const std::string& text);

 private:
  void Write(const std::string& line);

  std::FILE* m_out;
  bool m_json;
};
