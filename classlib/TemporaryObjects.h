#pragma once
#include <map>

// Temporary wrappers: the objects FromHandle-style calls return for handles that no permanent
// object owns. One wrapper per handle and thread, kept until the thread ends; a wrapper never
// owns its handle, so dropping it leaves the window or GDI object alone.
namespace classlib_detail {

// T is the wrapper class; member is its handle field, declared in T or in its base Owner.
template <class T, class Owner, class Handle, Handle Owner::*member>
T* TemporaryWrapper(Handle handle) {
  struct Wrappers {
    std::map<Handle, T*> items;
    ~Wrappers() {
      for (auto& item : items) {
        item.second->*member = nullptr;
        delete item.second;
      }
    }
  };
  thread_local Wrappers wrappers;
  T*& slot = wrappers.items[handle];
  if (slot == nullptr) {
    slot = new T;
    slot->*member = handle;
  }
  return slot;
}

}  // namespace classlib_detail
