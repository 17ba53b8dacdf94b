#pragma once
// The patch and the installation the transaction tests start from, and what an install makes of
// them.
#include <string>

#include "tests/install/TreeFiles.h"

// The patch, a usable one, and an installation that holds an older one beside files of another
// vendor.
inline const Tree kPatch{{"Qorvantel.Version", "[Install]\r\nVersion=\"V2\"\r\n"},
                         {"devices\\QuorVantel\\a.i79", "new a"},
                         {"devices\\QuorVantel\\b.i79", "new b"},
                         {"debugger\\QuorVantel\\x.ddf", "new x"},
                         {"flashloader\\QuorVantel\\f.flash", "new f"},
                         {"flashloader\\QuorVantel\\new.board", "new board"}};
inline const Tree kBefore{{"Qorvantel.Version", "V1"},
                          {"devices\\QuorVantel\\a.i79", "old a"},
                          {"devices\\QuorVantel\\obsolete.i79", "old"},
                          {"devices\\Other\\o.i79", "other"},
                          {"debugger\\QuorVantel\\x.ddf", "old x"},
                          {"flashloader\\QuorVantel\\f.flash", "old f"},
                          {"flashloader\\Other\\g.flash", "other g"}};

// What a finished install leaves: the patch over the installation, without the old vendor files
// when old patches are cleared.
inline Tree NewTreeOf(Tree tree, bool clearOldPatch) {
  if (clearOldPatch) {
    for (const std::string vendor :
         {"devices\\QuorVantel", "debugger\\QuorVantel", "flashloader\\QuorVantel"}) {
      for (auto entry = tree.begin(); entry != tree.end();) {
        entry = entry->first.rfind(vendor + "\\", 0) == 0 ? tree.erase(entry) : std::next(entry);
      }
    }
  }
  for (const auto& [path, content] : kPatch) {
    tree[path] = content;
    for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1)) {
      tree[path.substr(0, at)] = kFolder;
    }
  }
  return tree;
}
