#include "cli/JsonText.h"

#include <windows.h>

#include <cstdio>

#include "BuildInfo.h"
#include "install/PatchCheck.h"
#include "install/Utf8Text.h"

std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (char c : ToUtf8(text)) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20) {
      char escape[8];
      snprintf(escape, sizeof escape, "\\u%04x", byte);
      json += escape;
    } else {
      json += c;
    }
  }
  return json + "\"";
}

std::string JsonDocumentStart(const char* command, const PatchInfo& patch) {
  const bool usable = patch.state == PatchState::kUsable;
  return std::string("{\"schema\":") + std::to_string(kJsonSchemaVersion) +
         ",\"tool\":" + JsonString(QX48_VERSION_TEXT) + ",\"command\":" + JsonString(command) +
         ",\"patch\":{\"version\":" + JsonString(usable ? patch.stamp.label : "") +
         ",\"date\":" + JsonString(usable ? patch.stamp.date : "") +
         ",\"usable\":" + (usable ? "true" : "false") + "}";
}

std::string JsonList(const std::vector<std::string>& items) {
  std::string list = "[";
  for (const std::string& item : items) list += (list.size() > 1 ? "," : "") + JsonString(item);
  return list + "]";
}

std::string JsonGoneRecords(const std::vector<std::string>& gone) {
  return "\"goneRecords\":" + JsonList(gone) + ",";
}

void PrintJsonDocument(const std::string& json) {
  // Written whole: a JSON document is never cut the way a console line is.
  fputs(json.c_str(), stdout);
  fputs("\n", stdout);
  fflush(stdout);
}
