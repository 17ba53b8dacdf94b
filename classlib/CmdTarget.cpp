#include "classlib/MessageMap.h"

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY noEntries[] = {{0, 0, 0, nullptr}};
  static const AFX_MSGMAP rootMap = {nullptr, noEntries};
  return &rootMap;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
  return GetThisMessageMap();
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT message, UINT code, UINT id) const {
  for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
       map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->pfn != nullptr; ++entry) {
      if (entry->nMessage == message && entry->nCode == code && entry->nID == id) return entry;
    }
  }
  return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* /*pExtra*/, void* /*pHandlerInfo*/) {
  const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(WM_COMMAND, static_cast<UINT>(nCode), nID);
  if (entry == nullptr) return FALSE;
  LRESULT ignored = 0;
  return entry->pfn(this, MAKEWPARAM(nID, nCode), 0, &ignored);
}
