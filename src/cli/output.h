#pragma once
// Buffered UTF-8 output of the command-line tool, and the JSON and CSV forms it writes.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <QString>

namespace trevalo::cli {

// Bytes that come from files or the user (EXIF texts, say), to be written as a QString is.
struct UserText {
  std::string_view utf8;
};

// Collects text and writes it to a stream in large blocks.
//
// A QString (or UserText) is a text from outside: a file name, a comment, a problem that
// names a file. Its control characters are written as escapes (\t, \r, \n, and \xHH for
// the others, ESC as \x1b, C1 controls included), so that no name can move the cursor,
// recolour the terminal or fake a line of output. Everything else (the program's own words,
// numbers, line breaks, JSON and CSV already escaped for their form) is written as given.
class Output {
 public:
  explicit Output(std::FILE* stream) : stream_(stream) {}
  ~Output() { Flush(); }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  Output& operator<<(std::string_view text);
  Output& operator<<(const char* text) { return *this << std::string_view(text); }
  Output& operator<<(const std::string& text) { return *this << std::string_view(text); }
  // Control characters are written as escapes ("\\t", "\\x1b"), and bytes of file names that
  // are not UTF-8 as "\\xHH": nothing from outside reaches a terminal raw.
  Output& operator<<(const QString& text);
  Output& operator<<(UserText text);
  Output& operator<<(char c);
  Output& operator<<(std::int64_t value);
  void Flush();

 private:
  std::FILE* stream_;
  std::string buffer_;
};

// Streams one JSON document: objects and arrays are opened and closed explicitly, commas
// and indentation are placed here.
class JsonWriter {
 public:
  explicit JsonWriter(Output& out) : out_(out) {}

  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  void Key(std::string_view key);
  void String(std::string_view utf8);
  // Bytes of file names that are not UTF-8 are written as "\udcHH" (their surrogate
  // escapes, which Python reads back to the same bytes with os.fsencode).
  void String(const QString& text);
  void Number(double value);
  void Integer(std::int64_t value);
  void Bool(bool value);
  // Ends the document with a line break.
  void Finish();

  // Key and value in one call.
  template <typename T>
  void Field(std::string_view key, const T& value);

 private:
  void BeforeValue();
  void Indent();
  void Open(char bracket);
  void Close(char bracket);
  void WriteString(std::string_view text);
  void WriteStringContent(std::string_view text);

  Output& out_;
  std::vector<bool> firstInScope_;
  bool afterKey_ = false;
};

// Shortest text that reads back as the same double.
std::string RealText(double value);

template <typename T>
void JsonWriter::Field(std::string_view key, const T& value) {
  Key(key);
  if constexpr (std::is_same_v<T, bool>) {
    Bool(value);
  } else if constexpr (std::is_floating_point_v<T>) {
    Number(value);
  } else if constexpr (std::is_integral_v<T>) {
    Integer(static_cast<std::int64_t>(value));
  } else {
    String(value);
  }
}

}  // namespace trevalo::cli
