#include "core/Containr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

// A numbered item that counts the live instances, so tests can see what
// the container freed.
class TNum : public TStreamable {
  TESSEL_STREAMABLE_CLASS()
public:
  static int Live;
  TNum() { ++Live; }
  explicit TNum(int32_t v) : Value(v) { ++Live; }
  ~TNum() override { --Live; }
  void Load(TFilter& filter) override {
    TStreamable::Load(filter);
    Value = ReadI32LE(filter);
  }
  void Store(TFilter& filter) const override {
    TStreamable::Store(filter);
    WriteI32LE(filter, Value);
  }
  int32_t Value = 0;
};
int TNum::Live = 0;

// A collection keyed by the items' numbers.
class TNumList : public TCollection {
  TESSEL_STREAMABLE_CLASS()
public:
  // Items are compared through KeyOf, which here gives the number's address.
  int Compare(TContainerKey a, TContainerKey b) const override {
    int32_t x = *static_cast<const int32_t*>(a), y = *static_cast<const int32_t*>(b);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  TContainerKey KeyOf(const TStreamable* item) const override {
    return &static_cast<const TNum*>(item)->Value;
  }
  std::string GetString(TStreamable* item) const override {
    return std::to_string(static_cast<TNum*>(item)->Value);
  }
  // The list keys its own destruction too: the collection's destructor
  // would otherwise compare with the identity order.
  ~TNumList() override { DestroyItems(); }

  std::vector<int> Values() const {
    std::vector<int> v;
    for (int i = 0; i < Count(); ++i) v.push_back(static_cast<TNum*>(Get(i))->Value);
    return v;
  }
  TNum* At(int i) const { return static_cast<TNum*>(Get(i)); }
};

TESSEL_STREAMABLE_IMPL(TNum, TStreamable);
TESSEL_STREAMABLE_IMPL(TNumList, TCollection);

const bool Registered = (RegisterStreamable(TNum::StreamableClass), RegisterStreamable(TNumList::StreamableClass), true);

std::string ContainerErrorText(const std::function<void()>& f) {
  try {
    f();
  } catch (const EContainerError& e) {
    return e.what();
  }
  ADD_FAILURE() << "no EContainerError raised";
  return {};
}

class ContainerTest : public ::testing::Test {
protected:
  void SetUp() override { TNum::Live = 0; }
  void TearDown() override { EXPECT_EQ(TNum::Live, 0) << "items leaked or freed twice"; }

  // A list that owns its items, holding `values` in the given order.
  static void Fill(TNumList& list, std::initializer_list<int> values) {
    for (int v : values) list.Add(new TNum(v));
  }
};

}  // namespace

// ---- adding and duplicates -------------------------------------------------------------

TEST_F(ContainerTest, AddAppendsAndDropsDuplicatesByDefault) {
  TNumList list;
  list.SetOwnsItems(true);
  EXPECT_EQ(list.Add(new TNum(5)), 0);
  EXPECT_EQ(list.Add(new TNum(3)), 1);
  TNum dup(5);
  EXPECT_EQ(list.Add(&dup), -1);  // dropped; the caller keeps it
  EXPECT_EQ(list.Values(), (std::vector<int>{5, 3}));
}

TEST_F(ContainerTest, DuplicatePoliciesAcceptFreeAndRaiseOrRaise) {
  TNumList list;
  list.SetOwnsItems(true);
  list.SetDuplicates(dupAccept);
  Fill(list, {1, 1});
  EXPECT_EQ(list.Count(), 2);

  TNumList strict;
  strict.SetOwnsItems(true);
  strict.SetDuplicates(dupFreeError);
  Fill(strict, {7});
  EXPECT_EQ(ContainerErrorText([&] { strict.Add(new TNum(7)); }), "Container error: 0");
  EXPECT_EQ(TNum::Live, 3);  // the rejected item was freed

  strict.SetDuplicates(dupError);
  TNum kept(7);
  EXPECT_EQ(ContainerErrorText([&] { strict.Insert(0, &kept); }), "Container error: 0");
  EXPECT_EQ(strict.Count(), 1);
  EXPECT_EQ(TNum::Live, 4);  // not freed this time
}

TEST_F(ContainerTest, InsertPlacesAtTheIndexUnlessSorted) {
  TNumList list;
  list.SetOwnsItems(true);
  Fill(list, {1, 2, 3});
  EXPECT_EQ(list.Insert(1, new TNum(9)), 1);
  EXPECT_EQ(list.Values(), (std::vector<int>{1, 9, 2, 3}));
  TNum stray(10);  // a failed insert leaves the item with the caller
  EXPECT_THROW(list.Insert(5, &stray), EContainerError);
  EXPECT_THROW(list.Insert(-1, &stray), EContainerError);
  EXPECT_EQ(list.Count(), 4);

  list.SetSortable(true);
  list.SetSorted(true);
  EXPECT_EQ(list.Insert(0, new TNum(5)), 3);
  EXPECT_EQ(list.Values(), (std::vector<int>{1, 2, 3, 5, 9}));
}

TEST_F(ContainerTest, SortedListWithDuplicatesKeepsEqualKeysTogetherNewestFirst) {
  TNumList list;
  list.SetOwnsItems(true);
  list.SetSortable(true);
  list.SetSorted(true);
  list.SetDuplicates(dupAccept);
  Fill(list, {4, 2, 8, 2, 6});
  TNum* older = list.At(0);
  auto* newest = new TNum(2);
  EXPECT_EQ(list.Add(newest), 0);
  EXPECT_EQ(list.Values(), (std::vector<int>{2, 2, 2, 4, 6, 8}));
  EXPECT_EQ(list.At(0), newest);
  EXPECT_EQ(list.At(1), older);
  int index = -1;
  TNum probe(2);
  EXPECT_TRUE(list.Find(&probe, index));
  EXPECT_EQ(index, 0);  // the first of the equal keys
  TNum absent(5);
  EXPECT_FALSE(list.Find(&absent, index));
  EXPECT_EQ(index, 4);
  EXPECT_EQ(list.IndexOf(&absent), -1);
}

TEST_F(ContainerTest, LeavingAcceptedDuplicatesKeepsTheFirstOfEachRun) {
  TNumList sorted;
  sorted.SetOwnsItems(true);
  sorted.SetDuplicates(dupAccept);
  sorted.SetSortable(true);
  sorted.SetSorted(true);
  Fill(sorted, {1, 2, 3});
  TNum* first2 = sorted.At(1);
  sorted.Insert(0, new TNum(2));  // lands before first2
  sorted.Insert(0, new TNum(2));
  TNum* front2 = sorted.At(1);
  ASSERT_EQ(sorted.Values(), (std::vector<int>{1, 2, 2, 2, 3}));
  sorted.SetDuplicates(dupIgnore);
  EXPECT_EQ(sorted.Values(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(sorted.At(1), front2);
  EXPECT_NE(front2, first2);
  EXPECT_EQ(TNum::Live, 3);

  TNumList plain;
  plain.SetOwnsItems(true);
  plain.SetDuplicates(dupAccept);
  Fill(plain, {3, 1, 3, 2, 1, 3});
  TNum* first3 = plain.At(0);
  plain.SetDuplicates(dupError);
  EXPECT_EQ(plain.Values(), (std::vector<int>{3, 1, 2}));
  EXPECT_EQ(plain.At(0), first3);
}

// ---- removing and freeing ---------------------------------------------------------------

TEST_F(ContainerTest, DeleteNeverFreesFreeAtFreesOnlyWhenOwning) {
  TNumList list;
  Fill(list, {1, 2, 3});
  TNum* two = list.At(1);
  list.DeleteAt(1);
  EXPECT_EQ(TNum::Live, 3);
  list.SetOwnsItems(true);
  list.FreeAt(0);
  EXPECT_EQ(TNum::Live, 2);
  list.Remove(list.At(0));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(TNum::Live, 1);
  delete two;
}

TEST_F(ContainerTest, ReleasingOnDestructionFreesOwnedItemsOnly) {
  std::vector<TNum*> mine = {new TNum(1), new TNum(2)};
  {
    TNumList borrowed;
    for (auto* p : mine) borrowed.Add(p);
  }
  EXPECT_EQ(TNum::Live, 2);
  {
    TNumList owner;
    owner.SetOwnsItems(true);
    for (auto* p : mine) owner.Add(p);
  }
  EXPECT_EQ(TNum::Live, 0);
}

namespace {
// An item whose destruction takes its partners out of the same container,
// freeing them as that container owns them.
class TLinked : public TStreamable {
public:
  TLinked(TCollection& home, int& live) : Home(home), Live(live) { ++Live; }
  ~TLinked() override {
    --Live;
    for (TLinked* p : Partners) Home.Remove(p);
  }
  TCollection& Home;
  int& Live;
  std::vector<TLinked*> Partners;
};
}  // namespace

TEST_F(ContainerTest, FreeAllCopesWithItemsThatRemoveOthers) {
  int live = 0;
  TCollection c;
  c.SetOwnsItems(true);
  std::vector<TLinked*> items;
  for (int i = 0; i < 6; ++i) {
    items.push_back(new TLinked(c, live));
    c.Add(items.back());
  }
  // The last item takes three earlier ones with it; one of those takes another.
  items[5]->Partners = {items[0], items[2], items[4]};
  items[2]->Partners = {items[1]};
  int changes = 0;
  c.OnChange = [&](TContainer&) { ++changes; };
  c.FreeAll();
  EXPECT_EQ(c.Count(), 0);
  EXPECT_EQ(live, 0);
  EXPECT_EQ(changes, 1);
}

// ---- notification ---------------------------------------------------------------------

TEST_F(ContainerTest, ChangesNotifyOnceOutsideAndOncePerOutermostUpdate) {
  TNumList list;
  list.SetOwnsItems(true);
  int changes = 0;
  list.OnChange = [&](TContainer& sender) {
    EXPECT_EQ(&sender, &list);
    ++changes;
  };
  Fill(list, {1, 2});
  EXPECT_EQ(changes, 2);

  list.BeginUpdate();
  list.BeginUpdate();
  Fill(list, {3, 4});
  list.Exchange(0, 3);
  list.EndUpdate();
  EXPECT_EQ(changes, 2);
  list.EndUpdate();
  EXPECT_EQ(changes, 3);

  // An unmatched EndUpdate must not silence later changes.
  list.EndUpdate();
  EXPECT_EQ(list.UpdateCount(), 0);
  list.FreeAt(0);
  EXPECT_EQ(changes, 4);

  list.FreeAll();  // one notice for the whole of it
  EXPECT_EQ(changes, 5);
}

TEST_F(ContainerTest, FailedOperationsStillEndTheirUpdate) {
  TNumList list;
  list.SetOwnsItems(true);
  Fill(list, {1, 2, 3});
  list.SetDuplicates(dupError);
  int changes = 0;
  list.OnChange = [&](TContainer&) { ++changes; };
  TNum* two = list.At(1);
  TNum three(3);
  EXPECT_THROW(list.Replace(1, &three), EContainerError);
  EXPECT_EQ(list.UpdateCount(), 0);
  EXPECT_EQ(changes, 1);  // the removal did happen and was reported
  EXPECT_EQ(list.Values(), (std::vector<int>{1, 3}));
  delete two;  // Replace hands the old item back to the caller
  list.Add(new TNum(4));
  EXPECT_EQ(changes, 2);
}

TEST_F(ContainerTest, OptionChangesHaveTheirOwnEvent) {
  TNumList list;
  int options = 0, changes = 0;
  list.OnOptionsChange = [&](TContainer&) { ++options; };
  list.OnChange = [&](TContainer&) { ++changes; };
  list.SetSorted(true);  // not sortable: nothing changes
  EXPECT_FALSE(list.Sorted());
  EXPECT_EQ(options, 0);
  list.SetSortable(true);
  list.SetSorted(true);
  EXPECT_EQ(options, 1);
  list.SetDuplicates(dupAccept);
  EXPECT_EQ(options, 2);
  list.SetSortable(false);
  EXPECT_FALSE(list.Sorted());
  EXPECT_EQ(options, 3);
  list.BeginUpdate();
  list.SetDuplicates(dupIgnore);
  EXPECT_EQ(options, 3);
  list.EndUpdate();
  EXPECT_EQ(changes, 1);
}

// ---- order --------------------------------------------------------------------------------

TEST_F(ContainerTest, SortOrdersByKeyOnlyWhenSortable) {
  TNumList list;
  list.SetOwnsItems(true);
  list.SetDuplicates(dupAccept);
  Fill(list, {5, 3, 9, 1, 3});
  list.Sort();
  EXPECT_EQ(list.Values(), (std::vector<int>{5, 3, 9, 1, 3}));
  list.SetSortable(true);
  int changes = 0;
  list.OnChange = [&](TContainer&) { ++changes; };
  list.Sort();
  EXPECT_EQ(list.Values(), (std::vector<int>{1, 3, 3, 5, 9}));
  EXPECT_EQ(changes, 1);
}

TEST_F(ContainerTest, SortHandlesLargeOrderedEqualAndRandomLists) {
  std::mt19937 rng(11);
  for (int kind = 0; kind < 4; ++kind) {
    TNumList list;
    list.SetOwnsItems(true);
    list.SetDuplicates(dupAccept);
    list.SetSortable(true);
    const int n = 20000;
    for (int i = 0; i < n; ++i) {
      int v = kind == 0 ? i : kind == 1 ? n - i : kind == 2 ? 7 : static_cast<int>(rng() % 1000);
      list.Add(new TNum(v));
    }
    list.Sort();
    auto values = list.Values();
    ASSERT_EQ(values.size(), static_cast<size_t>(n));
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end())) << "kind " << kind;
  }
}

TEST_F(ContainerTest, SortWithTheIdentityCompareFinishes) {
  TCollection c;
  c.SetOwnsItems(true);
  c.SetSortable(true);
  for (int i = 0; i < 50; ++i) c.Add(new TNum(i));
  c.Sort();
  EXPECT_EQ(c.Count(), 50);
}

TEST_F(ContainerTest, SettingSortedSortsAndKeepsAddsInOrder) {
  TNumList list;
  list.SetOwnsItems(true);
  Fill(list, {4, 1, 3});
  list.SetSortable(true);
  list.SetSorted(true);
  EXPECT_EQ(list.Values(), (std::vector<int>{1, 3, 4}));
  EXPECT_EQ(list.Add(new TNum(2)), 1);
  EXPECT_EQ(list.Add(new TNum(0)), 0);
  EXPECT_EQ(list.Values(), (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST_F(ContainerTest, MoveExchangeAndBounds) {
  TNumList list;
  list.SetOwnsItems(true);
  Fill(list, {0, 1, 2, 3});
  list.Move(0, 3);
  EXPECT_EQ(list.Values(), (std::vector<int>{1, 2, 3, 0}));
  list.Move(2, 2);
  list.Exchange(0, 3);
  EXPECT_EQ(list.Values(), (std::vector<int>{0, 2, 3, 1}));
  EXPECT_THROW(list.Get(4), EContainerError);
  EXPECT_THROW(list.Get(-1), EContainerError);
  EXPECT_THROW(list.Exchange(0, 4), EContainerError);
  EXPECT_THROW(list.FreeAt(7), EContainerError);
  EXPECT_EQ(list.Values(), (std::vector<int>{0, 2, 3, 1}));
}

TEST_F(ContainerTest, KeyAllowedRespectsTheDuplicatePolicy) {
  TNumList list;
  list.SetOwnsItems(true);
  Fill(list, {1, 2});
  int32_t one = 1, two = 2, three = 3;
  EXPECT_TRUE(list.KeyAllowed(&one, &one));
  EXPECT_TRUE(list.KeyAllowed(&one, &three));
  EXPECT_FALSE(list.KeyAllowed(&one, &two));
  list.SetDuplicates(dupAccept);
  EXPECT_TRUE(list.KeyAllowed(&one, &two));
}

TEST_F(ContainerTest, GetStringIsLeftToDescendants) {
  TCollection c;
  TNum n(1);
  c.Add(&n);
  EXPECT_THROW(c.GetString(&n), EAbstractError);
  TNumList list;
  EXPECT_EQ(list.GetString(&n), "1");
}

// ---- assigning ---------------------------------------------------------------------------

TEST_F(ContainerTest, AssignSharesTheSourceItems) {
  TNumList source;
  source.SetOwnsItems(true);
  Fill(source, {3, 1, 2});

  TNumList copy;  // unsorted, not owning: the plain copy of the references
  copy.AssignFrom(source);
  EXPECT_EQ(copy.Items(), source.Items());

  TNumList sorted;  // sorted: each item is added in key order
  sorted.SetSortable(true);
  sorted.SetSorted(true);
  sorted.AssignFrom(source);
  EXPECT_EQ(sorted.Values(), (std::vector<int>{1, 2, 3}));

  TNumList unique;  // rejects what an accepting source holds twice
  source.SetDuplicates(dupAccept);
  source.Add(new TNum(3));
  unique.AssignFrom(source);
  EXPECT_EQ(unique.Values(), (std::vector<int>{3, 1, 2}));
}

TEST_F(ContainerTest, AssignFreesWhatAnOwningListHeldAndIgnoresItself) {
  TNumList source;
  source.SetOwnsItems(true);
  Fill(source, {1, 2});
  {
    TNumList owner;
    owner.SetOwnsItems(true);
    Fill(owner, {7, 8, 9});
    EXPECT_EQ(TNum::Live, 5);
    owner.AssignFrom(source);
    EXPECT_EQ(TNum::Live, 2);  // 7, 8 and 9 were freed, not lost
    EXPECT_EQ(owner.Values(), (std::vector<int>{1, 2}));
    owner.SetOwnsItems(false);  // the items are the source's
  }
  source.AssignFrom(source);
  EXPECT_EQ(source.Values(), (std::vector<int>{1, 2}));
  source.SetSortable(true);
  source.SetSorted(true);  // the general path
  source.AssignFrom(source);
  EXPECT_EQ(source.Values(), (std::vector<int>{1, 2}));
  EXPECT_EQ(TNum::Live, 2);
}

// ---- storing and loading ------------------------------------------------------------------

namespace {
std::vector<uint8_t> Stored(const TStreamable& obj) {
  TMemoryStream m;
  {
    TBufferedFilter f(&m, 64);
    f.WriteObject(obj);
  }
  return m.Bytes();
}

std::unique_ptr<TStreamable> Loaded(const std::vector<uint8_t>& bytes) {
  TMemoryStream m(bytes);
  TBufferedFilter f(&m, 64);
  return f.ReadObject();
}
}  // namespace

TEST_F(ContainerTest, StoreWritesOptionsCountAndItemsAndLoadReadsThemBack) {
  TNumList list;
  list.SetOwnsItems(true);
  list.SetSortable(true);
  list.SetDuplicates(dupAccept);
  Fill(list, {2, -1, 2});
  auto bytes = Stored(list);
  // "TNumList", 4 option bytes, count, then per item "TNum" and the value.
  ASSERT_EQ(bytes.size(), 9u + 4 + 4 + 3 * (5 + 4));
  EXPECT_EQ(bytes[0], 8);
  EXPECT_EQ((std::vector<uint8_t>(bytes.begin() + 9, bytes.begin() + 17)),
            (std::vector<uint8_t>{1, 1, 1, 0, 3, 0, 0, 0}));
  EXPECT_EQ(bytes[17], 4);

  auto obj = Loaded(bytes);
  auto* back = dynamic_cast<TNumList*>(obj.get());
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->Sortable());
  EXPECT_FALSE(back->Sorted());
  EXPECT_TRUE(back->OwnsItems());
  EXPECT_EQ(back->Duplicates(), dupAccept);
  EXPECT_EQ(back->Values(), (std::vector<int>{2, -1, 2}));
  EXPECT_EQ(back->UpdateCount(), 0);
  EXPECT_EQ(TNum::Live, 6);
}

TEST_F(ContainerTest, LoadingDropsAndFreesDuplicatesTheOptionsReject) {
  TNumList list;
  list.SetOwnsItems(true);
  list.SetDuplicates(dupAccept);
  Fill(list, {5, 5, 6});
  auto bytes = Stored(list);
  bytes[9 + 1] = dupIgnore;  // as if stored by a list that rejects duplicates
  auto obj = Loaded(bytes);
  EXPECT_EQ(static_cast<TNumList*>(obj.get())->Values(), (std::vector<int>{5, 6}));
  EXPECT_EQ(TNum::Live, 5);

  bytes[9 + 1] = dupFreeError;
  EXPECT_THROW(Loaded(bytes), EContainerError);
  bytes[9 + 1] = dupError;
  EXPECT_THROW(Loaded(bytes), EContainerError);
  EXPECT_EQ(TNum::Live, 5);
}

TEST_F(ContainerTest, DamagedStreamsRaiseWithoutLeakingItems) {
  for (bool owning : {true, false}) {
    TNumList list;
    list.SetOwnsItems(owning);
    Fill(list, {1, 2, 3});
    auto bytes = Stored(list);
    if (!owning)
      for (int i = 0; i < list.Count(); ++i) delete list.At(i);
    if (!owning) list.ClearList();

    for (size_t cut = 0; cut < bytes.size(); ++cut) {
      std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(cut));
      EXPECT_THROW(Loaded(part), EStreamError) << "cut at " << cut;
    }
    auto badCount = bytes;
    badCount[13] = 0xFF;  // count -1 in its little-endian bytes
    badCount[14] = 0xFF;
    badCount[15] = 0xFF;
    badCount[16] = 0xFF;
    EXPECT_THROW(Loaded(badCount), EStreamError);
    auto hugeCount = bytes;
    hugeCount[16] = 0x7F;
    EXPECT_THROW(Loaded(hugeCount), EReadError);
    auto badItem = bytes;
    badItem[18] = 'X';  // "TNum" becomes "XNum"
    EXPECT_THROW(Loaded(badItem), EStreamableException);
  }
}

TEST_F(ContainerTest, NestingIsFollowedOnlySoDeep) {
  auto nested = [](int depth) {
    TMemoryStream m;
    for (int i = 0; i < depth; ++i) {
      WriteShortString(m, "TCollection");
      for (uint8_t option : {0, 0, 1, 0}) WriteU8(m, option);  // owning
      WriteI32LE(m, i + 1 < depth ? 1 : 0);
    }
    return m.Bytes();
  };
  auto obj = Loaded(nested(200));
  int depth = 0;
  for (auto* c = dynamic_cast<TCollection*>(obj.get()); c;
       c = c->Count() ? dynamic_cast<TCollection*>(c->Get(0)) : nullptr)
    ++depth;
  EXPECT_EQ(depth, 200);
  EXPECT_THROW(Loaded(nested(100000)), EStreamableException);
}

TEST_F(ContainerTest, FailedLoadFreesWhatNestedNonOwningContainersHeld) {
  TMemoryStream m;
  {
    TFilter f(&m);
    WriteShortString(f, "TCollection");
    for (uint8_t option : {0, 0, 0, 0}) WriteU8(f, option);  // not owning
    WriteI32LE(f, 2);  // but only one item follows
    TNumList inner;  // not owning either
    TNum a(1), b(2);
    inner.Add(&a);
    inner.Add(&b);
    f.WriteObject(inner);
  }
  EXPECT_THROW(Loaded(m.Bytes()), EReadError);
  EXPECT_EQ(TNum::Live, 0);
}
