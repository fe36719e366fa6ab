#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "dx/DXClass.h"
#include "framework/SysUtils.h"
#include "platform/kernel/Library.h"
#include "platform/kernel/LibraryTesting.h"

using namespace dx;

namespace {

// ---------------------------------------------------------------------------------------------
// Name-hashed collection

THashCollectionItem* AddNamed(THashCollection& c, const std::string& name) {
  auto* item = static_cast<THashCollectionItem*>(c.Add());
  item->SetName(name);
  return item;
}

struct HashCollection : ::testing::Test {
  THashCollection c{THashCollectionItem::StaticClass()};
};

TEST(NameHash, LengthAndTwoCharactersInLowerCaseAsAnsiBytes) {
  EXPECT_EQ(THashCollectionItem::NameHash("background"), 112);
  EXPECT_EQ(THashCollectionItem::NameHash("img1"), 16);
  EXPECT_EQ(THashCollectionItem::NameHash("IMG1"), 16);
  EXPECT_EQ(THashCollectionItem::NameHash("a"), 16);
  EXPECT_EQ(THashCollectionItem::NameHash(""), 0);
  // Cyrillic letters are one byte each: "фон" is 3 * 16 + 'о' (0xEE) + 'ф' (0xF4) = 530.
  EXPECT_EQ(THashCollectionItem::NameHash("фон"), 530 % 256);
  EXPECT_EQ(THashCollectionItem::NameHash("ФОН"), 530 % 256);
  // Mixed scripts: 3 * 16 + 'a' (97) + 'ж' (0xE6) = 375; a lone letter is just its length.
  EXPECT_EQ(THashCollectionItem::NameHash("Жab"), 375 % 256);
  EXPECT_EQ(THashCollectionItem::NameHash("жAB"), 375 % 256);
  EXPECT_EQ(THashCollectionItem::NameHash("Ж"), 16);
}

TEST_F(HashCollection, FindsNamesWithoutRegardToCase) {
  AddNamed(c, "background");
  AddNamed(c, "img1");
  AddNamed(c, "Фон");
  EXPECT_EQ(c.IndexOfName("IMG1"), 1);
  EXPECT_EQ(c.IndexOfName("img1"), 1);
  EXPECT_EQ(c.IndexOfName("BackGround"), 0);
  EXPECT_EQ(c.IndexOfName("фОН"), 2);
  EXPECT_EQ(c.IndexOfName("Фо"), -1);
  AddNamed(c, "Жab");
  EXPECT_EQ(c.IndexOfName("жAB"), 3);
  EXPECT_EQ(c.IndexOfName("img2"), -1);
  EXPECT_EQ(c.IndexOfName("a"), -1);  // same bucket as "img1", different name
  EXPECT_EQ(c.IndexOfName(""), -1);
}

TEST_F(HashCollection, NewItemsAreFoundByTheEmptyName) {
  c.Add();
  EXPECT_EQ(c.IndexOfName(""), 0);
  EXPECT_EQ(static_cast<THashCollectionItem*>(c.Items(0))->DisplayName(), "THashCollectionItem");
  AddNamed(c, "fon1");
  EXPECT_EQ(c.Items(1)->DisplayName(), "fon1");
}

TEST_F(HashCollection, TheItemNamedLastWinsAndRenamingMovesBuckets) {
  THashCollectionItem* first = AddNamed(c, "img1");
  THashCollectionItem* second = AddNamed(c, "x");
  second->SetName("IMG1");
  EXPECT_EQ(c.IndexOfName("img1"), 1);
  EXPECT_EQ(c.IndexOfName("x"), -1);
  first->SetName("img1");  // same name: nothing happens, the later one is still in front
  EXPECT_EQ(c.IndexOfName("img1"), 1);
  first->SetName("Img1");  // a change of case is a change: relinked, now the newest
  EXPECT_EQ(c.IndexOfName("img1"), 0);
  second->SetName("background");
  EXPECT_EQ(c.IndexOfName("img1"), 0);
  EXPECT_EQ(c.IndexOfName("background"), 1);
}

TEST_F(HashCollection, DeletingKeepsIndicesAndChainsRight) {
  // "a", "img1" and "b" share bucket 16; deleting from the middle and the head of the chain
  // must keep the rest reachable.
  AddNamed(c, "a");
  AddNamed(c, "img1");
  AddNamed(c, "b");
  AddNamed(c, "fon1");
  c.Delete(0);
  EXPECT_EQ(c.IndexOfName("a"), -1);
  EXPECT_EQ(c.IndexOfName("img1"), 0);
  EXPECT_EQ(c.IndexOfName("b"), 1);
  EXPECT_EQ(c.IndexOfName("fon1"), 2);
  c.Delete(1);  // "b": the head of bucket 16
  EXPECT_EQ(c.IndexOfName("img1"), 0);
  EXPECT_EQ(c.IndexOfName("b"), -1);
  EXPECT_EQ(c.IndexOfName("fon1"), 1);
  c.Clear();
  EXPECT_EQ(c.IndexOfName("img1"), -1);
  AddNamed(c, "img1");
  EXPECT_EQ(c.IndexOfName("img1"), 0);
}

TEST_F(HashCollection, DeletingTheFirstOfThreeLeavesIndicesZeroAndOne) {
  AddNamed(c, "one");
  AddNamed(c, "two");
  AddNamed(c, "three");
  c.Delete(0);
  EXPECT_EQ(c.IndexOfName("two"), 0);
  EXPECT_EQ(c.IndexOfName("three"), 1);
}

TEST_F(HashCollection, MovingAndInsertingKeepEveryIndexRight) {
  AddNamed(c, "p0");
  AddNamed(c, "p1");
  AddNamed(c, "p2");
  c.Items(2)->SetIndex(0);  // p2 p0 p1
  EXPECT_EQ(c.IndexOfName("p2"), 0);
  EXPECT_EQ(c.IndexOfName("p0"), 1);
  EXPECT_EQ(c.IndexOfName("p1"), 2);
  auto* inserted = static_cast<THashCollectionItem*>(c.Insert(1));  // p2 new p0 p1
  inserted->SetName("new");
  EXPECT_EQ(c.IndexOfName("new"), 1);
  EXPECT_EQ(c.IndexOfName("p0"), 2);
  EXPECT_EQ(c.IndexOfName("p1"), 3);
  // A position outside the collection is refused and changes nothing.
  EXPECT_THROW(c.Items(0)->SetIndex(9), fw::EListError);
  EXPECT_EQ(c.IndexOfName("p2"), 0);
}

TEST_F(HashCollection, ItemsMovedToAnotherCollectionAreFoundOnlyThere) {
  THashCollection other{THashCollectionItem::StaticClass()};
  AddNamed(other, "resident");
  AddNamed(c, "stay0");
  THashCollectionItem* mover = AddNamed(c, "mover");
  AddNamed(c, "stay2");
  mover->SetCollection(&other);
  EXPECT_EQ(c.IndexOfName("mover"), -1);
  EXPECT_EQ(c.IndexOfName("stay2"), 1);
  EXPECT_EQ(other.IndexOfName("mover"), 1);
  mover->SetCollection(nullptr);
  EXPECT_EQ(other.IndexOfName("mover"), -1);
  std::unique_ptr<THashCollectionItem> own(mover);  // outside every collection: ours to free
}

TEST_F(HashCollection, AssignCopiesNamesAndRefusesForeignSources) {
  AddNamed(c, "img1");
  AddNamed(c, "img2");
  THashCollection copy{THashCollectionItem::StaticClass()};
  AddNamed(copy, "old");
  copy.Assign(&c);
  EXPECT_EQ(copy.Count(), 2);
  EXPECT_EQ(copy.IndexOfName("old"), -1);
  EXPECT_EQ(copy.IndexOfName("IMG2"), 1);
  EXPECT_THROW(copy.Items(0)->Assign(&c), fw::EConvertError);
}

TEST(HashCollectionLife, ACollectionFreesItsLinkedItems) {
  // Run under the address sanitizer: every item unlinks itself while the buckets still exist.
  auto c = std::make_unique<THashCollection>(THashCollectionItem::StaticClass());
  for (int i = 0; i < 50; ++i) AddNamed(*c, "n" + std::to_string(i % 7));
  EXPECT_EQ(c->IndexOfName("n3"), 45);
  c.reset();
}

// ---------------------------------------------------------------------------------------------
// Library loader

int g_entry_calls = 0;
void OtherEntry() { ++g_entry_calls; }

struct Loader : ::testing::Test {
  void SetUp() override {
    FreeLoadedLibraries();
    // "DDraw.dll" is the platform's own module; "Other.dll" one of the test's.
    kernel::RegisterModule("Other.dll", {{"Create", &OtherEntry}});
    kernel::SetModuleHidden("DDraw.dll", false);
    kernel::ResetLoadCounts();
  }
  void TearDown() override {
    FreeLoadedLibraries();
    kernel::SetUnloadHook(nullptr);
  }
};

std::string LoadError(const std::string& lib, const std::string& entry) {
  try {
    LoadProc(lib, entry);
  } catch (const fw::Exception& e) {
    return e.Message();
  }
  return "no error";
}

TEST_F(Loader, EachLibraryIsLoadedOnceWhateverTheCase) {
  kernel::FARPROC a = LoadProc("DDraw.dll", "DirectDrawCreate");
  kernel::FARPROC b = LoadProc("ddraw.dll", "DirectDrawCreate");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  EXPECT_EQ(kernel::LoadCount("DDraw.dll"), 1);
  kernel::FARPROC c = LoadProc("OTHER.dll", "Create");
  LoadProc("other.DLL", "Create");
  EXPECT_EQ(kernel::LoadCount("Other.dll"), 1);
  g_entry_calls = 0;
  kernel::ProcAs<void (*)()>(c)();
  EXPECT_EQ(g_entry_calls, 1);
}

TEST_F(Loader, MissingLibraryOrEntryNamesTheLibrary) {
  EXPECT_EQ(LoadError("NoSuch.dll", "Create"), "NoSuch.dll not loaded");
  EXPECT_EQ(LoadError("DDraw.dll", "NoSuchEntry"), "DDraw.dll not loaded");
  kernel::SetModuleHidden("DDraw.dll", true);
  FreeLoadedLibraries();
  EXPECT_EQ(LoadError("DDraw.dll", "DirectDrawCreate"), "DDraw.dll not loaded");
  // A failed load is not remembered: once the library is there it is found.
  kernel::SetModuleHidden("DDraw.dll", false);
  EXPECT_NE(LoadProc("DDraw.dll", "DirectDrawCreate"), nullptr);
}

TEST_F(Loader, LibrariesAreFreedInTheOrderTheyWereLoaded) {
  std::vector<std::string> unloaded;
  kernel::SetUnloadHook([&](const std::string& name) { unloaded.push_back(name); });
  LoadProc("other.dll", "Create");
  LoadProc("DDraw.dll", "DirectDrawCreate");
  LoadProc("OTHER.DLL", "Create");
  EXPECT_EQ(kernel::RefCount("Other.dll"), 1);
  FreeLoadedLibraries();
  EXPECT_EQ((std::vector<std::string>{"Other.dll", "DDraw.dll"}), unloaded);
  EXPECT_EQ(kernel::RefCount("Other.dll"), 0);
  EXPECT_EQ(kernel::RefCount("DDraw.dll"), 0);
  FreeLoadedLibraries();  // nothing left: harmless
  EXPECT_EQ(unloaded.size(), 2u);
}

// ---------------------------------------------------------------------------------------------
// DirectX wrapper base and helpers

class TCountingWrapper : public TDirectX {
 public:
  int checks = 0;

 protected:
  void Check() override { ++checks; }
};

TEST(DirectXBase, EveryNonZeroResultIsRecordedAndChecked) {
  TCountingWrapper w;
  EXPECT_EQ(w.LastResult(), 0);
  w.SetLastResult(0);
  EXPECT_EQ(w.checks, 0);
  w.SetLastResult(static_cast<win::HRESULT>(0x887601C2u));
  EXPECT_EQ(w.LastResult(), static_cast<win::HRESULT>(0x887601C2u));
  w.SetLastResult(1);  // a success code other than 0 is checked too
  EXPECT_EQ(w.checks, 2);
  w.SetLastResult(0);
  EXPECT_EQ(w.LastResult(), 0);
  EXPECT_EQ(w.checks, 2);
}

TEST(Helpers, MaxMinAndStrictOverlap) {
  EXPECT_EQ(Max(-3, 2), 2);
  EXPECT_EQ(Min(INT_MIN, INT_MAX), INT_MIN);
  const fw::TRect r = fw::Bounds(0, 0, 10, 10);
  EXPECT_TRUE(RectsOverlap(r, fw::Bounds(9, 9, 5, 5)));
  EXPECT_TRUE(RectsOverlap(r, fw::Bounds(2, 2, 2, 2)));
  EXPECT_FALSE(RectsOverlap(r, fw::Bounds(10, 0, 5, 5)));  // touching on the right
  EXPECT_FALSE(RectsOverlap(r, fw::Bounds(0, -5, 5, 5)));  // touching on the top
}

}  // namespace
