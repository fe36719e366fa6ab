#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/ClassBuilder.h"

using namespace fw;

namespace classestest {

// Records who was told what, in order, in a log shared by all of them. Components are told
// by name, since a component being destroyed is no longer its derived class.
class TLogged : public TComponent {
  FW_CLASS(TLogged, TComponent)
 public:
  TLogged(TComponent* AOwner, const std::string& name, std::vector<std::string>* log)
      : TComponent(nullptr), log_(log) {
    SetName(name);
    if (AOwner) AOwner->InsertComponent(this);
  }
  explicit TLogged(TComponent* AOwner) : TComponent(AOwner) {}
  ~TLogged() override {
    if (log_) log_->push_back("~" + Name());
  }
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (log_ && c != this) log_->push_back(Name() + (op == opInsert ? "+" : "-") + c->Name());
    if (op == opRemove && c == link_) link_ = nullptr;
  }
  std::vector<std::string>* log_ = nullptr;
  TComponent* link_ = nullptr;
};

class TPoint3 : public TPersistent {
  FW_CLASS(TPoint3, TPersistent)
 public:
  int X = 0;
  void Assign(TPersistent* Source) override {
    if (auto* p = dynamic_cast<TPoint3*>(Source)) {
      X = p->X;
      return;
    }
    TPersistent::Assign(Source);
  }
};

class TNamedItem : public TCollectionItem {
  FW_CLASS(TNamedItem, TCollectionItem)
 public:
  explicit TNamedItem(TCollection* c) : TCollectionItem(c) {}
  std::string Name;
  int Value = 0;
  void Assign(TPersistent* Source) override {
    if (auto* i = dynamic_cast<TNamedItem*>(Source)) {
      Value = i->Value;  // like the image list's items: the name is not copied
      return;
    }
    TCollectionItem::Assign(Source);
  }
};

FW_REGISTER(TLogged, nullptr)
FW_REGISTER(TPoint3, nullptr)
FW_REGISTER(TNamedItem, nullptr)

}  // namespace classestest

using namespace classestest;

TEST(Component, OwnerDestroysLastCreatedFirstAndTellsTheRest) {
  std::vector<std::string> log;
  auto owner = MakeOwned<TLogged>(nullptr, "owner", &log);
  auto* a = new TLogged(owner.get(), "a", &log);
  auto* b = new TLogged(owner.get(), "b", &log);
  new TLogged(owner.get(), "c", &log);
  b->link_ = a;
  EXPECT_EQ(owner->ComponentCount(), 3);
  EXPECT_EQ(owner->Components(1), b);
  EXPECT_EQ(b->ComponentIndex(), 1);
  EXPECT_THROW(owner->Components(3), EListError);
  // Inserting told the owner and the ones already there (the owner passes the news on before
  // it logs its own).
  EXPECT_EQ(log, (std::vector<std::string>{"owner+a", "a+b", "owner+b", "a+c", "b+c", "owner+c"}));
  log.clear();
  owner.reset();
  // c goes first (its siblings hear of it), then b, then a, then the owner itself.
  EXPECT_EQ(log, (std::vector<std::string>{"~c", "a-c", "b-c", "owner-c", "~b", "a-b", "owner-b", "~a",
                                           "owner-a", "~owner"}));
}

TEST(Component, SiblingLinkIsDroppedWhenTheOwnerDestroysTheTarget) {
  auto owner = MakeOwned<TComponent>(nullptr);
  auto* target = new TLogged(owner.get(), "t", nullptr);
  auto* holder = new TLogged(owner.get(), "h", nullptr);
  holder->link_ = target;
  target->Free();
  EXPECT_EQ(holder->link_, nullptr);
  EXPECT_EQ(owner->ComponentCount(), 1);
}

TEST(Component, ForgetRemovedClearsOnlyTheFieldsPointingAtTheRemovedComponent) {
  auto owner = MakeOwned<TComponent>(nullptr);
  auto* a = new TLogged(owner.get(), "a", nullptr);
  auto* b = new TLogged(owner.get(), "b", nullptr);
  TLogged* first = a;
  TLogged* second = b;
  TComponent* again = a;
  TLogged* none = nullptr;
  ForgetRemoved(a, first, second, again, none);
  EXPECT_EQ(first, nullptr);
  EXPECT_EQ(again, nullptr);
  EXPECT_EQ(second, b);
  EXPECT_EQ(none, nullptr);
}

TEST(Component, FreeNotificationWorksBothWaysAcrossOwners) {
  std::vector<std::string> log;
  auto left = MakeOwned<TLogged>(nullptr, "left", &log);
  auto right = MakeOwned<TLogged>(nullptr, "right", &log);
  left->FreeNotification(right.get());
  left->link_ = right.get();
  right->link_ = left.get();
  // Either side going tells the other one.
  right.reset();
  EXPECT_EQ(left->link_, nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"left-right", "~right"}));

  auto third = MakeOwned<TLogged>(nullptr, "third", &log);
  third->FreeNotification(left.get());
  third->link_ = left.get();
  left->RemoveFreeNotification(third.get());
  log.clear();
  left.reset();
  EXPECT_EQ(log, (std::vector<std::string>{"~left"}));  // no longer asked to be told
}

TEST(Component, NamesAreIdentifiersAndUniqueWithinTheOwner) {
  auto owner = MakeOwned<TComponent>(nullptr);
  auto* a = new TComponent(owner.get());
  auto* b = new TComponent(owner.get());
  a->SetName("Button1");
  EXPECT_EQ(owner->FindComponent("BUTTON1"), a);
  try {
    b->SetName("button1");
    FAIL();
  } catch (const EComponentError& e) {
    EXPECT_EQ(e.Message(), "A component named button1 already exists");
  }
  EXPECT_THROW(b->SetName("1st"), EComponentError);
  EXPECT_THROW(b->SetName("a b"), EComponentError);
  a->SetName("BUTTON1");  // the same name in other capitals is no clash with itself
  EXPECT_EQ(a->Name(), "BUTTON1");
  b->SetName("");
  EXPECT_EQ(owner->FindComponent(""), nullptr);
}

TEST(Component, StateAndLoaded) {
  auto c = MakeOwned<TComponent>(nullptr);
  c->IncludeState(csLoading);
  c->IncludeState(csReading);
  EXPECT_TRUE(c->ComponentState().Contains(csLoading));
  c->Loaded();
  EXPECT_FALSE(c->ComponentState().Contains(csLoading));
  EXPECT_TRUE(c->ComponentState().Contains(csReading));
}

TEST(Persistent, AssignFromAnUnknownSourceIsTheAssignError) {
  TPoint3 p;
  TPoint3 q;
  q.X = 7;
  p.Assign(&q);
  EXPECT_EQ(p.X, 7);
  auto c = MakeOwned<TComponent>(nullptr);
  try {
    p.Assign(c.get());
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TComponent to a TPoint3");
  }
  try {
    p.Assign(nullptr);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a nil to a TPoint3");
  }
}

TEST(Collection, AddInsertDeleteAndMove) {
  TCollection c(TNamedItem::StaticClass());
  auto* a = static_cast<TNamedItem*>(c.Add());
  auto* b = static_cast<TNamedItem*>(c.Add());
  auto* first = static_cast<TNamedItem*>(c.Insert(0));
  ASSERT_EQ(c.Count(), 3);
  EXPECT_EQ(c.Items(0), first);
  EXPECT_EQ(a->Index(), 1);
  EXPECT_EQ(b->Collection(), &c);
  EXPECT_EQ(c.FindItemID(b->ID()), b);
  b->SetIndex(0);
  EXPECT_EQ(c.Items(0), b);
  EXPECT_EQ(c.Items(1), first);
  EXPECT_EQ(c.Items(2), a);
  EXPECT_THROW(b->SetIndex(3), EListError);
  try {
    c.Items(-1);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (-1)");
  }
  c.Delete(1);
  EXPECT_EQ(c.Count(), 2);
  EXPECT_EQ(c.Items(1), a);
  EXPECT_THROW(c.Delete(2), EListError);
  delete a;  // an item leaves its collection when it goes
  EXPECT_EQ(c.Count(), 1);
  c.Clear();
  EXPECT_EQ(c.Count(), 0);
}

TEST(Collection, AssignMakesOneNewItemPerSourceItem) {
  TCollection src(TNamedItem::StaticClass());
  for (int v : {3, 4, 5}) {
    auto* i = static_cast<TNamedItem*>(src.Add());
    i->Value = v;
    i->Name = "n" + std::to_string(v);
  }
  TCollection dst(TNamedItem::StaticClass());
  auto* old = static_cast<TNamedItem*>(dst.Add());
  old->Value = 99;
  dst.Assign(&src);
  ASSERT_EQ(dst.Count(), 3);
  for (int i = 0; i < 3; ++i) {
    auto* item = static_cast<TNamedItem*>(dst.Items(i));
    EXPECT_NE(item, src.Items(i));
    EXPECT_EQ(item->Value, 3 + i);
    EXPECT_EQ(item->Name, "");  // assigning an item does not copy its name
  }
  dst.Assign(&dst);
  EXPECT_EQ(dst.Count(), 3);
  TPoint3 p;
  EXPECT_THROW(dst.Assign(&p), EConvertError);
}

TEST(Stream, MemoryStreamReadWriteSeek) {
  TMemoryStream s;
  EXPECT_EQ(s.Size(), 0);
  s.WriteBuffer("abcdef", 6);
  EXPECT_EQ(s.Position(), 6);
  EXPECT_EQ(s.Seek(-2, soEnd), 4);
  char buf[8] = {};
  EXPECT_EQ(s.Read(buf, 8), 2);
  EXPECT_EQ(std::string(buf, 2), "ef");
  EXPECT_EQ(s.Seek(1, soBeginning), 1);
  EXPECT_EQ(s.Seek(2, soCurrent), 3);
  s.ReadBuffer(buf, 3);
  EXPECT_EQ(std::string(buf, 3), "def");
  // Short transfers are the read error.
  s.SetPosition(4);
  try {
    s.ReadBuffer(buf, 3);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
  }
  // Before the start or past the end nothing is read; a write past the end fills with zeros.
  s.Seek(-5, soBeginning);
  EXPECT_EQ(s.Read(buf, 4), 0);
  s.SetPosition(8);
  s.WriteBuffer("Z", 1);
  EXPECT_EQ(s.Size(), 9);
  EXPECT_EQ(std::memcmp(static_cast<char*>(s.Memory()) + 6, "\0\0Z", 3), 0);
  s.SetSize(2);
  EXPECT_EQ(s.Position(), 2);
  EXPECT_EQ(std::string(static_cast<char*>(s.Memory()), 2), "ab");
  TMemoryStream copy;
  copy.CopyFrom(s, 0);
  EXPECT_EQ(copy.Size(), 2);
}

TEST(Stream, BytesStreamIsReadOnlyAndBounded) {
  const char data[] = {1, 2, 3};
  TBytesStream s(data, sizeof data);
  EXPECT_EQ(s.Size(), 3);
  EXPECT_EQ(s.ReadValue<std::uint8_t>(), 1);
  EXPECT_THROW(s.WriteBuffer("x", 1), EWriteError);
  EXPECT_THROW(s.SetSize(10), EStreamError);
  s.SetPosition(3);
  EXPECT_THROW(s.ReadValue<std::uint8_t>(), EReadError);
}
