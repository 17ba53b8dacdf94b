#pragma once
#include <new>
#include <stdexcept>
#include <vector>

#include "classlib/CException.h"
#include "classlib/CString.h"
#include "classlib/Platform.h"

namespace classlib_detail {

// The growable array behind CStringArray and CPtrArray. An index outside the array raises
// CInvalidArgException, as the class library's checked builds do; running out of memory raises
// CMemoryException.
template <typename T, typename ArgT>
class GrowableArray {
 public:
  INT_PTR GetSize() const { return static_cast<INT_PTR>(m_items.size()); }
  INT_PTR GetUpperBound() const { return GetSize() - 1; }

  void RemoveAll() { m_items.clear(); }

  void SetAt(INT_PTR index, ArgT item) { m_items[Checked(index)] = item; }
  T& ElementAt(INT_PTR index) { return m_items[Checked(index)]; }
  const T& operator[](INT_PTR index) const { return m_items[Checked(index)]; }
  T& operator[](INT_PTR index) { return ElementAt(index); }

  // Sets the item at index, first growing the array with empty items so that index exists.
  void SetAtGrow(INT_PTR index, ArgT item) {
    if (index < 0) AfxThrowInvalidArgException();
    T copy(item);  // item may point into an element that growing moves
    if (index >= GetSize()) Grow([&] { m_items.resize(static_cast<size_t>(index) + 1); });
    m_items[static_cast<size_t>(index)] = static_cast<T&&>(copy);
  }

  INT_PTR Add(ArgT item) {
    Grow([&] { m_items.push_back(item); });
    return GetUpperBound();
  }

  void RemoveAt(INT_PTR index) {
    m_items.erase(m_items.begin() + static_cast<INT_PTR>(Checked(index)));
  }

 private:
  size_t Checked(INT_PTR index) const {
    if (index < 0 || index >= GetSize()) AfxThrowInvalidArgException();
    return static_cast<size_t>(index);
  }

  template <typename Growth>
  void Grow(Growth growth) {
    try {
      growth();
    } catch (const std::bad_alloc&) {
      AfxThrowMemoryException();
    } catch (const std::length_error&) {
      AfxThrowMemoryException();
    }
  }

  std::vector<T> m_items;
};

}  // namespace classlib_detail

class CStringArray : public classlib_detail::GrowableArray<CString, LPCTSTR> {};

// Holds pointers only: whoever fills it owns and deletes what they point to.
class CPtrArray : public classlib_detail::GrowableArray<void*, void*> {};
