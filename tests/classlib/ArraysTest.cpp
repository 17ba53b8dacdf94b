#include <gtest/gtest.h>

#include "classlib/afx.h"
#include "tests/classlib/CStringPrinter.h"

namespace {

template <typename Action>
bool RaisesInvalidArg(Action action) {
  try {
    action();
  } catch (CInvalidArgException* e) {
    e->Delete();
    return true;
  }
  return false;
}

TEST(CStringArray, AddSetAtGrowAndElementAt) {
  CStringArray items;
  EXPECT_EQ(items.GetSize(), 0);
  EXPECT_EQ(items.Add("a"), 0);
  EXPECT_EQ(items.Add("b"), 1);
  items.SetAtGrow(4, "e");
  ASSERT_EQ(items.GetSize(), 5);
  EXPECT_EQ(items[0], "a");
  EXPECT_EQ(items[1], "b");
  EXPECT_EQ(items[2], "");
  EXPECT_EQ(items[3], "");
  EXPECT_EQ(items[4], "e");
  items.SetAtGrow(1, "B");
  EXPECT_EQ(items.GetSize(), 5);
  EXPECT_EQ(items[1], "B");
  items.ElementAt(2) += "changed in place";
  EXPECT_EQ(items[2], "changed in place");
  items.SetAt(3, "d");
  EXPECT_EQ(items[3], "d");
  EXPECT_EQ(items.GetUpperBound(), 4);
  items.RemoveAll();
  EXPECT_EQ(items.GetSize(), 0);
}

// The text given may be one of the array's own elements, which growing moves.
TEST(CStringArray, ItsOwnElementsAsArguments) {
  CStringArray items;
  items.Add("first element, long enough to live on the heap");
  items.SetAtGrow(1000, items[0]);
  EXPECT_EQ(items[1000], items[0]);
  for (int i = 0; i < 100; ++i) items.Add(items[i]);
  EXPECT_EQ(items[1100], "");
  EXPECT_EQ(items[1001], items[0]);
  items.SetAt(0, items[0]);
  EXPECT_EQ(items[0], "first element, long enough to live on the heap");
}

TEST(CStringArray, IndexOutsideRaisesInvalidArg) {
  CStringArray items;
  items.Add("only");
  const CStringArray& view = items;
  EXPECT_TRUE(RaisesInvalidArg([&] { (void)view[1]; }));
  EXPECT_TRUE(RaisesInvalidArg([&] { (void)view[-1]; }));
  EXPECT_TRUE(RaisesInvalidArg([&] { items.SetAt(1, "x"); }));
  EXPECT_TRUE(RaisesInvalidArg([&] { items.ElementAt(5); }));
  EXPECT_TRUE(RaisesInvalidArg([&] { items.SetAtGrow(-1, "x"); }));
  EXPECT_FALSE(RaisesInvalidArg([&] { (void)view[0]; }));
  EXPECT_EQ(items.GetSize(), 1);
}

TEST(CPtrArray, HoldsPointersInOrder) {
  int values[3] = {1, 2, 3};
  CPtrArray pointers;
  for (int& value : values) pointers.Add(&value);
  pointers.SetAtGrow(5, &values[0]);
  ASSERT_EQ(pointers.GetSize(), 6);
  EXPECT_EQ(pointers[1], &values[1]);
  EXPECT_EQ(pointers[3], nullptr);
  EXPECT_EQ(pointers[5], &values[0]);
  pointers.RemoveAt(0);
  ASSERT_EQ(pointers.GetSize(), 5);
  EXPECT_EQ(pointers[0], &values[1]);
  EXPECT_EQ(pointers[4], &values[0]);
  EXPECT_TRUE(RaisesInvalidArg([&] { pointers.RemoveAt(5); }));
  EXPECT_TRUE(RaisesInvalidArg([&] { (void)pointers[5]; }));
}

}  // namespace
