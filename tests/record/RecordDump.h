#pragma once
#include <string>
#include <vector>

#include "record/RecordDocument.h"

// A document written out one line per section and key, each element in brackets, so that a
// table can give the expected document as text:
//   [Install]
//   Version=["V2.0"]
//   List=[a][][b]
// CR and LF inside an element show as \r and \n.
inline std::string DumpElement(const char* element) {
  std::string shown;
  for (const char* c = element; *c != '\0'; ++c) {
    if (*c == '\r') {
      shown += "\\r";
    } else if (*c == '\n') {
      shown += "\\n";
    } else {
      shown += *c;
    }
  }
  return shown;
}

inline std::string Dump(const CRecordDocument& document) {
  std::string out;
  std::vector<char> text(kRecordTextSize);
  for (int s = 0; s < document.GetSectionCount(); ++s) {
    if (!document.GetSectionName(s, text.data(), text.size())) return out + "<unreadable name>";
    out += "[" + std::string(text.data()) + "]\n";
    const CRecordSection* section = document.GetSection(s);
    for (int k = 0; k < section->GetKeyCount(); ++k) {
      out += static_cast<LPCTSTR>(section->GetKeyName(k));
      out += "=";
      const CRecordValue* value = section->GetValue(k);
      for (int e = 0; e < value->GetElementCount(); ++e) {
        if (!value->GetElement(e, text.data(), text.size())) return out + "<unreadable element>";
        out += "[" + DumpElement(text.data()) + "]";
      }
      out += "\n";
    }
  }
  return out;
}

// A visitor for ReadRecordFile that notes each call and the document it saw, and returns result.
struct Visit {
  int calls = 0;
  std::string dump;
  int result = 1;
};

inline int DumpVisitor(CRecordDocument* document, void* context) {
  Visit* visit = static_cast<Visit*>(context);
  ++visit->calls;
  visit->dump = Dump(*document);
  return visit->result;
}
