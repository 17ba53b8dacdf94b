#pragma once
#include <string>
#include <vector>

struct PatchInfo;

// The version of the shape of every JSON document qx48patch writes: it grows when a field is
// taken away or changes its meaning, not when one is added.
constexpr int kJsonSchemaVersion = 1;

// text, in the program's ANSI code page, as a JSON string literal in UTF-8, quotes included:
// quote, backslash and control characters escaped, other characters converted.
std::string JsonString(const std::string& text);

// The start of a command's document, up to its own fields: {"schema":1,"tool":"1.1",
// "command":"status","patch":{"version","date","usable"} (no closing brace).
std::string JsonDocumentStart(const char* command, const PatchInfo& patch);

// A JSON array of the texts.
std::string JsonList(const std::vector<std::string>& items);
// The registry records whose folders are gone, which the command skipped:
// "goneRecords":[folder,...], and the comma after it.
std::string JsonGoneRecords(const std::vector<std::string>& gone);

// The whole document and a line end on standard output.
void PrintJsonDocument(const std::string& json);
